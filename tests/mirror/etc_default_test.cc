#include <string>

#include "mirror/etc_default_files.h"
#include "mirror/mirror_fixture.h"

namespace vant::test {
namespace {

using mirror::lock_dflt_files;
using mirror::put_dflt_fields;
using mirror::validate_dflt_fields;

constexpr long kAbsent = -1;

struct Field {
    const char *label;
    uint32_t bit;
    vant_time_t pr_field::*seconds;  // null: u_nullpw
};
constexpr Field kFields[] = {{"nullpw", PR_U_NULLPW, nullptr},
                             {"life", PR_U_LIFE, &pr_field::u_life},
                             {"exp", PR_U_EXP, &pr_field::u_exp},
                             {"minchg", PR_U_MINCHG, &pr_field::u_minchg}};

long value(const User &d, const Field &field) {
    if (!d.has(field.bit)) return kAbsent;
    return field.seconds == nullptr ? d.f.u_nullpw : d.f.*field.seconds;
}

void set(User &d, const Field &field, long v) {
    if (v == kAbsent) return;
    if (field.seconds == nullptr) d.f.u_nullpw = static_cast<unsigned char>(v);
    if (field.seconds != nullptr) d.f.*field.seconds = static_cast<vant_time_t>(v);
    PR_SET(d.fl, field.bit);
}

// What the four key fields read as, absent ones included.
std::string fields_of(const User &d) {
    std::string text;
    for (const Field &field : kFields)
        text += std::string(field.label) + "=" + std::to_string(value(d, field)) + " ";
    return text;
}

class DfltTest : public DefaultFilesTest {
  protected:
    // The two files as given; null: no such file.
    void lay_out(const char *login, const char *passwd) const {
        for (auto [path, text] : {std::pair{kDfltLogin, login}, std::pair{kDfltPasswd, passwd}}) {
            box.remove(path);
            if (text != nullptr) box.write(path, text);
        }
    }
    std::string what_reads(int result) const {
        User d;
        EXPECT_EQ(mirror::get_dflt_fields(&d.f, &d.fl), result);
        return fields_of(d);
    }
    // A whole update; the result of replace_dflt_files, or -1.
    static int update(int present, const User &d) {
        if (lock_dflt_files() != 1 || put_dflt_fields(present, &d.f, &d.fl) != 1) {
            mirror::unlock_dflt_files();
            return -1;
        }
        return mirror::replace_dflt_files();
    }
};

TEST_F(DfltTest, ReadsTheFirstValueOfEachKeyLine) {
    const char *const rows[][3] = {
        // /etc/default/login, /etc/default/passwd, what reads
        {"CONSOLE=/dev/console\nPASSREQ=NO\nIDLEWEEKS=6\n", "MINWEEKS=1\nMAXWEEKS=8\n",
         "nullpw=1 life=3628800 exp=4838400 minchg=604800 "},
        {nullptr, nullptr, "nullpw=-1 life=-1 exp=-1 minchg=-1 "},
        {"PASSREQ=YES\n", "MINWEEKS=5000\n", "nullpw=0 life=-1 exp=-1 minchg=2147040000 "},
        {"PASSREQ=yes\n", "MINWEEKS=-2\n", "nullpw=1 life=-1 exp=-1 minchg=0 "},
        {"PASSREQ=\n", "MINWEEKS=2\nMINWEEKS=3\n", "nullpw=-1 life=-1 exp=-1 minchg=1209600 "},
        {"", "MINWEEKSX=5\n# MINWEEKS=5\n", "nullpw=-1 life=-1 exp=-1 minchg=-1 "}};
    for (const auto &r : rows) {
        lay_out(r[0], r[1]);
        EXPECT_EQ(what_reads(1), r[2]) << (r[0] ? r[0] : "-") << " / " << (r[1] ? r[1] : "-");
    }
    // /etc/default/login is read first; a file whose writer has left its
    // lock behind ends the read.
    lay_out("IDLEWEEKS=2\n", "MINWEEKS=1\n");
    box.write("/etc/default/passwd-t", "");
    EXPECT_EQ(what_reads(0), "nullpw=-1 life=1209600 exp=-1 minchg=-1 ");
    box.write("/etc/default/login-t", "");
    EXPECT_EQ(what_reads(0), "nullpw=-1 life=-1 exp=-1 minchg=-1 ");
    set_open_lock(OPEN_NO_WAIT);
    EXPECT_EQ(what_reads(1), "nullpw=-1 life=1209600 exp=-1 minchg=604800 ");
}

// Reconciling: the regime and what each side holds decide the result and
// what each side becomes; a missing "PASSREQ" line means "YES". A row:
// integrity, authority, the database's value, the file's, the result, then
// the database's and the file's values after.
void check(const Field &field, const long (&c)[7]) {
    SCOPED_TRACE(::testing::Message() << field.label << " regime " << c[0] << c[1] << " db " << c[2]
                                      << " file " << c[3]);
    User db, file;
    set(db, field, c[2]);
    set(file, field, c[3]);
    EXPECT_EQ(validate_dflt_fields(c[0], c[1], &db.f, &db.fl, &file.f, &file.fl), c[4]);
    EXPECT_EQ(std::pair(value(db, field), value(file, field)), std::pair(c[5], c[6]));
}

TEST(DfltValidateTest, NullPasswordSettingAndAgingFieldsInWeeks) {
    const long A = kAbsent, t = 3 * kWeek, h = kWeek / 2, f = 5 * kWeek;
    const long nullpw[][7] = {{1, 1, 1, A, -1, 1, 0}, {1, 1, 0, A, 1, 0, 0}, {1, 1, 0, 1, -1, 0, 1},
                              {0, 0, 0, 1, 1, 1, 1},  {0, 0, 1, A, 1, 1, A}, {0, 1, 0, 1, 1, 0, 1},
                              {0, 1, A, 1, 1, 1, 1}};
    for (const auto &c : nullpw)
        check(kFields[0], c);
    const long aging[][7] = {{1, 1, t + h - 1, t, 1, t + h - 1, t},
                             {1, 1, t + h, t, -1, t + h, t},
                             {1, 0, t, A, -1, t, A},
                             {0, 0, t + 1000, t, 1, t + 1000, t},
                             {0, 0, f, t, 1, t, t},
                             {0, 1, f, t, 1, f, t},
                             {0, 1, A, t, 1, t, t}};
    for (const Field &field : {kFields[1], kFields[2], kFields[3]})
        for (const auto &c : aging)
            check(field, c);
    // The first failure ends the reconciliation; what was done before stays.
    User db = User().nullpw(0).life(kWeek).minchg(kWeek), file = User().life(2 * kWeek);
    EXPECT_EQ(validate_dflt_fields(1, 1, &db.f, &db.fl, &file.f, &file.fl), -1);
    EXPECT_TRUE(file.has(PR_U_NULLPW));
}

TEST_F(DfltTest, KeyLinesAreRewrittenInPlaceAppendedOrDropped) {
    struct Row {
        const char *passwd, *login;
        int present;
        User record;
        const char *passwd_after, *login_after;  // null: no such file
    };
    const Row rows[] = {
        {"# password defaults\nMAXWEEKS=2\nPATH=/bin\n",
         "CONSOLE=/dev/console\nPASSREQ=YES\nTIMEOUT=60\n", 1,
         User().minchg(3 * kWeek + kWeek / 2).exp(10 * kWeek).life(5 * kWeek).nullpw(1),
         "# password defaults\nMAXWEEKS=10\nPATH=/bin\nMINWEEKS=4\n",
         "CONSOLE=/dev/console\nPASSREQ=NO\nTIMEOUT=60\nIDLEWEEKS=5\n"},
        {"# c\nMINWEEKS=1\nPATH=x\nMAXWEEKS=2\n", "PASSREQ=NO\nIDLEWEEKS=3\nTIMEOUT=60\n", 0,
         User().minchg(kWeek).exp(2 * kWeek).life(3 * kWeek).nullpw(1), "# c\nPATH=x\n",
         "TIMEOUT=60\n"},
        {nullptr, nullptr, 1, User().nullpw(0).life(5 * kWeek), nullptr,
         "IDLEWEEKS=5\nPASSREQ=YES\n"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(::testing::Message()
                     << (r.passwd ? r.passwd : "-") << " present " << r.present);
        lay_out(r.login, r.passwd);
        EXPECT_EQ(update(r.present, r.record), 1);
        for (auto [path, text] :
             {std::pair{kDfltPasswd, r.passwd_after}, std::pair{kDfltLogin, r.login_after}})
            EXPECT_EQ(box.exists(path) ? box.read(path) : "(none)", text ? text : "(none)");
        EXPECT_NOTHING_LEFT_BEHIND(box);
    }
    // A file whose lines stay the same is not written, even when it has
    // two lines of a key.
    lay_out("CONSOLE=/dev/console\n", "MAXWEEKS=8\nX=1\nMAXWEEKS=9\nMINWEEKS=3\n");
    touch(kDfltPasswd, -100);
    touch(kDfltLogin, -100);
    Sandbox::Stamp passwd = box.stamp(kDfltPasswd), login = box.stamp(kDfltLogin);
    EXPECT_EQ(update(1, User().minchg(3 * kWeek).exp(8 * kWeek)), 1);
    EXPECT_EQ(box.stamp(kDfltPasswd), passwd);
    EXPECT_EQ(box.stamp(kDfltLogin), login);
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

TEST_F(DfltTest, LocksAreTakenBothOrNone) {
    box.write("/etc/default/login-t", "");  // left by a writer that died
    EXPECT_EQ(lock_dflt_files(), 0);
    EXPECT_EQ(left_behind(box), std::vector<std::string>{"/etc/default/login-t"});
    EXPECT_EQ(naps.delays.size(), 19u);
}

}  // namespace
}  // namespace vant::test
