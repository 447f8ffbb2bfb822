#include <string>

#include "mirror/etc_default_files.h"
#include "mirror/mirror_fixture.h"

namespace vant::test {
namespace {

using mirror::lock_dflt_files;
using mirror::put_dflt_fields;

// What the four key fields read as, -1 for absent ones.
std::string fields_of(const User &d) {
    auto v = [&](uint32_t bit, long value) {
        return std::to_string(d.has(bit) ? value : -1) + " ";
    };
    return "nullpw=" + v(PR_U_NULLPW, d.f.u_nullpw) + "life=" + v(PR_U_LIFE, d.f.u_life) +
           "exp=" + v(PR_U_EXP, d.f.u_exp) + "minchg=" + v(PR_U_MINCHG, d.f.u_minchg);
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
