// Tests of the /etc/default key lines: reading them, reconciling them with
// the database's values, and rewriting them under their lock files.
#include <string>

#include "mirror/etc_default_files.h"
#include "mirror/mirror_fixture.h"

namespace vant::test {
namespace {

using mirror::lock_dflt_files;
using mirror::put_dflt_fields;
using mirror::replace_dflt_files;
using mirror::unlock_dflt_files;
using mirror::validate_dflt_fields;

constexpr long kAbsent = -1;

struct Field {
    const char *label;
    uint32_t bit;
    vant_time_t pr_field::*seconds;  // null: u_nullpw
};
constexpr Field kNullpw = {"nullpw", PR_U_NULLPW, nullptr};
constexpr Field kAging[] = {{"life", PR_U_LIFE, &pr_field::u_life},
                            {"exp", PR_U_EXP, &pr_field::u_exp},
                            {"minchg", PR_U_MINCHG, &pr_field::u_minchg}};

long value(const User &d, const Field &field) {
    if (!d.has(field.bit)) return kAbsent;
    return field.seconds == nullptr ? d.f.u_nullpw : d.f.*field.seconds;
}

void set(User &d, const Field &field, long v) {
    if (v == kAbsent) return;
    if (field.seconds == nullptr) {
        d.nullpw(static_cast<int>(v));
    } else {
        d.f.*field.seconds = static_cast<vant_time_t>(v);
        PR_SET(d.fl, field.bit);
    }
}

// What the four key fields read as, absent ones included.
std::string fields_of(const User &d) {
    std::string text;
    for (const Field &field : {kNullpw, kAging[0], kAging[1], kAging[2]})
        text += std::string(field.label) + "=" + std::to_string(value(d, field)) + " ";
    return text;
}

using DfltTest = DefaultFilesTest;

// ---------------------------------------------------------------------
// Reading

TEST_F(DfltTest, ReadsTheFirstValueOfEachKeyLine) {
    struct Row {
        const char *login, *passwd;  // null: no such file
        const char *read;
    };
    const Row rows[] = {
        {"CONSOLE=/dev/console\nPASSREQ=NO\nIDLEWEEKS=6\n", "MINWEEKS=1\nMAXWEEKS=8\n",
         "nullpw=1 life=3628800 exp=4838400 minchg=604800 "},
        {nullptr, nullptr, "nullpw=-1 life=-1 exp=-1 minchg=-1 "},
        {"PASSREQ=YES\n", "MINWEEKS=5000\n", "nullpw=0 life=-1 exp=-1 minchg=2147040000 "},
        {"PASSREQ=yes\n", "MINWEEKS=-2\n", "nullpw=1 life=-1 exp=-1 minchg=0 "},
        {"PASSREQ=YES \n", "MINWEEKS=4x\n", "nullpw=1 life=-1 exp=-1 minchg=2419200 "},
        {"PASSREQ=\n", "MINWEEKS=2\nMINWEEKS=3\n", "nullpw=-1 life=-1 exp=-1 minchg=1209600 "},
        {"PASSREQ\n", "X=1\nMINWEEKS=7", "nullpw=-1 life=-1 exp=-1 minchg=4233600 "},
        {"IDLEWEEKS\n", "MINWEEKS=\nMAXWEEKS=1\n", "nullpw=-1 life=-1 exp=604800 minchg=-1 "},
        {"", "MINWEEKSX=5\n# MINWEEKS=5\n", "nullpw=-1 life=-1 exp=-1 minchg=-1 "},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(::testing::Message()
                     << (r.login ? r.login : "-") << " / " << (r.passwd ? r.passwd : "-"));
        box.remove(kDfltLogin);
        box.remove(kDfltPasswd);
        if (r.login != nullptr) box.write(kDfltLogin, r.login);
        if (r.passwd != nullptr) box.write(kDfltPasswd, r.passwd);
        User d;
        EXPECT_EQ(mirror::get_dflt_fields(&d.f, &d.fl), 1);
        EXPECT_EQ(fields_of(d), r.read);
    }
}

// /etc/default/login is read first; a file whose writer has left its lock
// behind ends the read.
TEST_F(DfltTest, AFileLeftLockedEndsTheRead) {
    box.write(kDfltLogin, "IDLEWEEKS=2\n");
    box.write(kDfltPasswd, "MINWEEKS=1\n");
    box.write("/etc/default/passwd-t", "");
    User d;
    EXPECT_EQ(mirror::get_dflt_fields(&d.f, &d.fl), 0);
    EXPECT_EQ(fields_of(d), "nullpw=-1 life=1209600 exp=-1 minchg=-1 ");
    box.write("/etc/default/login-t", "");
    d = User();
    EXPECT_EQ(mirror::get_dflt_fields(&d.f, &d.fl), 0);
    EXPECT_EQ(fields_of(d), "nullpw=-1 life=-1 exp=-1 minchg=-1 ");
    set_open_lock(OPEN_NO_WAIT);
    EXPECT_EQ(mirror::get_dflt_fields(&d.f, &d.fl), 1);
    EXPECT_EQ(fields_of(d), "nullpw=-1 life=1209600 exp=-1 minchg=604800 ");
}

// ---------------------------------------------------------------------
// Reconciling: the regime and what each side holds decide the result and
// what the database side becomes; a missing "PASSREQ" line means "YES".

struct Case {
    int integrity, authority;
    long db, file;  // kAbsent: not present
    int result;
    long db_after, file_after;
};

void check(const Field &field, const Case &c) {
    SCOPED_TRACE(::testing::Message() << field.label << " regime " << c.integrity << c.authority
                                      << " db " << c.db << " file " << c.file);
    User db, file;
    set(db, field, c.db);
    set(file, field, c.file);
    EXPECT_EQ(validate_dflt_fields(c.integrity, c.authority, &db.f, &db.fl, &file.f, &file.fl),
              c.result);
    EXPECT_EQ(value(db, field), c.db_after);
    EXPECT_EQ(value(file, field), c.file_after);
}

TEST(DfltValidateTest, NullPasswordSetting) {
    const Case cases[] = {
        {1, 1, kAbsent, kAbsent, 1, kAbsent, kAbsent},
        {1, 1, 1, kAbsent, -1, 1, 0},
        {1, 1, 0, kAbsent, 1, 0, 0},
        {1, 1, kAbsent, 0, -1, kAbsent, 0},
        {1, 1, 1, 1, 1, 1, 1},
        {1, 1, 0, 1, -1, 0, 1},
        {1, 0, 0, 1, -1, 0, 1},
        {0, 0, 0, 1, 1, 1, 1},
        {0, 0, kAbsent, 1, 1, 1, 1},
        {0, 0, 1, kAbsent, 1, 1, kAbsent},
        {0, 1, 0, 1, 1, 0, 1},
        {0, 1, kAbsent, 1, 1, 1, 1},
        {0, 1, 1, kAbsent, 1, 1, kAbsent},
    };
    for (const Case &c : cases)
        check(kNullpw, c);
}

TEST(DfltValidateTest, AgingFieldsInWeeks) {
    const long w = kWeek, half = kWeek / 2;
    const Case cases[] = {
        // Integrity on: presence and rounded weeks must agree.
        {1, 1, kAbsent, kAbsent, 1, kAbsent, kAbsent},
        {1, 1, 3 * w + half - 1, 3 * w, 1, 3 * w + half - 1, 3 * w},
        {1, 1, 3 * w + half, 3 * w, -1, 3 * w + half, 3 * w},
        {1, 0, 3 * w, kAbsent, -1, 3 * w, kAbsent},
        {1, 1, kAbsent, 3 * w, -1, kAbsent, 3 * w},
        // The files authoritative: different weeks are replaced.
        {0, 0, 3 * w + 1000, 3 * w, 1, 3 * w + 1000, 3 * w},
        {0, 0, 5 * w, 3 * w, 1, 3 * w, 3 * w},
        {0, 0, kAbsent, 3 * w, 1, 3 * w, 3 * w},
        {0, 0, 5 * w, kAbsent, 1, 5 * w, kAbsent},
        // The database authoritative: only gaps are filled.
        {0, 1, 5 * w, 3 * w, 1, 5 * w, 3 * w},
        {0, 1, kAbsent, 3 * w, 1, 3 * w, 3 * w},
    };
    for (const Field &field : kAging)
        for (const Case &c : cases)
            check(field, c);
}

// The first failure ends the reconciliation; what was done before stays.
TEST(DfltValidateTest, StopsAtTheFirstFailure) {
    User db = User().nullpw(0).life(kWeek).minchg(kWeek), file = User().life(2 * kWeek);
    EXPECT_EQ(validate_dflt_fields(1, 1, &db.f, &db.fl, &file.f, &file.fl), -1);
    EXPECT_TRUE(file.has(PR_U_NULLPW));
    EXPECT_EQ(validate_dflt_fields(1, 1, nullptr, &db.fl, &file.f, &file.fl), -1);
    EXPECT_EQ(validate_dflt_fields(0, 1, &db.f, &db.fl, &file.f, nullptr), -1);
}

// ---------------------------------------------------------------------
// Rewriting

class DfltWriteTest : public DefaultFilesTest {
  protected:
    // A whole update; the result of replace_dflt_files, or -1.
    static int update(int present, const User &d) {
        if (lock_dflt_files() != 1) return -1;
        if (put_dflt_fields(present, &d.f, &d.fl) != 1) {
            unlock_dflt_files();
            return -1;
        }
        return replace_dflt_files();
    }
};

TEST_F(DfltWriteTest, KeyLinesAreRewrittenInPlaceAppendedOrDropped) {
    struct Row {
        const char *passwd, *login;
        int present;
        User record;
        const char *passwd_after, *login_after;  // null: no such file
    };
    const User all = User().minchg(kWeek).exp(2 * kWeek).life(3 * kWeek).nullpw(1);
    const Row rows[] = {
        {"# password defaults\nMAXWEEKS=2\nPATH=/bin\n",
         "CONSOLE=/dev/console\nPASSREQ=YES\nTIMEOUT=60\n", 1,
         User().minchg(3 * kWeek + kWeek / 2).exp(10 * kWeek).life(5 * kWeek).nullpw(1),
         "# password defaults\nMAXWEEKS=10\nPATH=/bin\nMINWEEKS=4\n",
         "CONSOLE=/dev/console\nPASSREQ=NO\nTIMEOUT=60\nIDLEWEEKS=5\n"},
        {"# c\nMINWEEKS=1\nPATH=x\nMAXWEEKS=2\n", "PASSREQ=NO\nIDLEWEEKS=3\nTIMEOUT=60\n", 1,
         User().life(5 * kWeek), "# c\nPATH=x\n", "IDLEWEEKS=5\nTIMEOUT=60\n"},
        {"# c\nMINWEEKS=1\nPATH=x\nMAXWEEKS=2\n", "PASSREQ=NO\nIDLEWEEKS=3\nTIMEOUT=60\n", 0, all,
         "# c\nPATH=x\n", "TIMEOUT=60\n"},
        {"MAXWEEKS=8\nX=1\nMAXWEEKS=9\n", nullptr, 1, User().exp(8 * kWeek).minchg(kWeek),
         "MAXWEEKS=8\nX=1\nMINWEEKS=1\n", nullptr},
        {nullptr, nullptr, 1, User().minchg(kWeek), "MINWEEKS=1\n", nullptr},
        {nullptr, nullptr, 1, User().nullpw(0).life(5 * kWeek), nullptr,
         "IDLEWEEKS=5\nPASSREQ=YES\n"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(::testing::Message()
                     << (r.passwd ? r.passwd : "-") << " present " << r.present);
        box.remove(kDfltPasswd);
        box.remove(kDfltLogin);
        if (r.passwd != nullptr) box.write(kDfltPasswd, r.passwd);
        if (r.login != nullptr) box.write(kDfltLogin, r.login);
        EXPECT_EQ(update(r.present, r.record), 1);
        for (auto [path, text] :
             {std::pair{kDfltPasswd, r.passwd_after}, std::pair{kDfltLogin, r.login_after}})
            EXPECT_EQ(box.exists(path) ? box.read(path) : "(none)", text ? text : "(none)");
        EXPECT_NOTHING_LEFT_BEHIND(box);
    }
}

// A file whose lines stay the same is not written, even when it has two
// lines of a key.
TEST_F(DfltWriteTest, AFileWhoseLinesStayTheSameIsNotWritten) {
    box.write(kDfltPasswd, "MAXWEEKS=8\nX=1\nMAXWEEKS=9\nMINWEEKS=3\n");
    box.write(kDfltLogin, "CONSOLE=/dev/console\n");
    touch(kDfltPasswd, -100);
    touch(kDfltLogin, -100);
    Sandbox::Stamp passwd = box.stamp(kDfltPasswd), login = box.stamp(kDfltLogin);
    EXPECT_EQ(update(1, User().minchg(3 * kWeek).exp(8 * kWeek)), 1);
    EXPECT_EQ(box.stamp(kDfltPasswd), passwd);
    EXPECT_EQ(box.stamp(kDfltLogin), login);
    EXPECT_EQ(box.read(kDfltPasswd), "MAXWEEKS=8\nX=1\nMAXWEEKS=9\nMINWEEKS=3\n");
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

TEST_F(DfltWriteTest, LocksAreTakenBothOrNone) {
    box.write("/etc/default/login-t", "");  // left by a writer that died
    EXPECT_EQ(lock_dflt_files(), 0);
    EXPECT_EQ(left_behind(box), std::vector<std::string>{"/etc/default/login-t"});
    EXPECT_EQ(naps.delays.size(), 19u);

    box.remove("/etc/default/login-t");
    box.write(kDfltPasswd, "MINWEEKS=1\n");
    ASSERT_EQ(lock_dflt_files(), 1);
    EXPECT_EQ(left_behind(box),
              (std::vector<std::string>{"/etc/default/login-t", "/etc/default/passwd-t"}));
    User d = User().minchg(2 * kWeek);
    EXPECT_EQ(put_dflt_fields(1, &d.f, &d.fl), 1);
    unlock_dflt_files();
    EXPECT_NOTHING_LEFT_BEHIND(box);
    EXPECT_EQ(box.read(kDfltPasswd), "MINWEEKS=1\n");
}

}  // namespace
}  // namespace vant::test
