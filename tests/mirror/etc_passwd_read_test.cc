// Tests of the mirroring modes and settings, the rounding to weeks and
// days, opening the conventional files past their writers' locks, and
// reading a user's lines into the /etc view.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

#include "mirror/etc_passwd_fixture.h"
#include "platform/clock.h"

namespace vant::test {

NapLog naps;

}  // namespace vant::test

// Replaces the library's nap: waits are counted, never slept.
static void fake_nap(long milliseconds) {
    vant::test::naps.delays.push_back(milliseconds);
    if (vant::test::naps.each) vant::test::naps.each(vant::test::naps.delays.size());
}
[[maybe_unused]] static const bool nap_replaced =
    (vant::platform::set_sleep_function(fake_nap), true);

namespace vant::test {
namespace {

using mirror::get_pw_fields;
using mirror::open_file;
using mirror::open_pw_files;

TEST(MirrorModes, StartAsTheSystemNeedsThemAndRefuseValuesOutOfRange) {
    EXPECT_EQ(get_override_mode(), OVERRIDE_NONE);
    EXPECT_EQ(get_open_lock(), OPEN_WAIT_FOR_LOCK);
    EXPECT_EQ(get_write_mode(), WRITE_MIRROR);

    set_override_mode(OVERRIDE_PROTECTED_ONLY);
    EXPECT_EQ(get_override_mode(), 3);
    set_override_mode(7);
    EXPECT_EQ(get_override_mode(), OVERRIDE_NONE);
    set_override_mode(OVERRIDE_ETC_FILES);
    set_override_mode(-1);
    EXPECT_EQ(get_override_mode(), OVERRIDE_NONE);

    set_open_lock(OPEN_NO_WAIT);
    set_open_lock(2);
    EXPECT_EQ(get_open_lock(), OPEN_NO_WAIT);
    set_write_mode(WRITE_PROTECTED_ONLY);
    set_write_mode(5);
    set_write_mode(-1);
    EXPECT_EQ(get_write_mode(), WRITE_PROTECTED_ONLY);
    set_write_mode(WRITE_MIRROR);
    EXPECT_EQ(get_write_mode(), WRITE_MIRROR);
}

TEST(Rounding, RoundsToTheNearestUnitWithoutOverflow) {
    EXPECT_EQ(mirror::round_to_weeks(302399), 0);
    EXPECT_EQ(mirror::round_to_weeks(302400), 1);
    EXPECT_EQ(mirror::round_to_weeks(906000), 1);
    EXPECT_EQ(mirror::round_to_weeks(2147483647), 3550);
    EXPECT_EQ(mirror::round_to_weeks(2147483647 - 302399), 3550);
    EXPECT_EQ(mirror::round_to_days(43199), 0);
    EXPECT_EQ(mirror::round_to_days(43200), 1);
    EXPECT_EQ(mirror::round_to_days(2147483647), 24855);
    EXPECT_EQ(mirror::round_to_days(2147483647 - 43200), 24855);
    EXPECT_EQ(mirror::round_to_days(-1), 0);
}

TEST(MirroringSettings, IntegrityFieldSwitchesMirroringOn) {
    User defaults;
    int integrity = 5, authority = 5;
    auto evaluate = [&] {
        return mirror::evaluate_mirroring_fields(&integrity, &authority, &defaults.f, &defaults.fl);
    };
    EXPECT_EQ(evaluate(), 0);
    EXPECT_EQ(integrity, 0);
    EXPECT_EQ(authority, 1);

    PR_SET(defaults.fl, PR_U_INTEGRITY);  // u_integrity@
    EXPECT_EQ(evaluate(), 1);
    EXPECT_EQ(integrity, 0);
    EXPECT_EQ(authority, 1);

    defaults.f.u_integrity = 1;
    PR_SET(defaults.fl, PR_U_TCBPW);  // u_tcbpw@
    EXPECT_EQ(evaluate(), 1);
    EXPECT_EQ(integrity, 1);
    EXPECT_EQ(authority, 0);

    set_override_mode(OVERRIDE_NO_INTEGRITY);
    EXPECT_EQ(evaluate(), 1);
    EXPECT_EQ(integrity, 0);

    integrity = authority = 5;
    EXPECT_EQ(mirror::evaluate_mirroring_fields(&integrity, &authority, nullptr, &defaults.fl), 0);
    EXPECT_EQ(integrity, 0);
    EXPECT_EQ(authority, 1);
    EXPECT_EQ(mirror::evaluate_mirroring_fields(nullptr, nullptr, &defaults.f, &defaults.fl), 0);
}

// ---------------------------------------------------------------------
// Opening past a writer's lock

class OpenTest : public PwMirrorTest {
  protected:
    FILE *stream = nullptr;
    void TearDown() override {
        if (stream != nullptr) fclose(stream);
        PwMirrorTest::TearDown();
    }
    void touch(const char *logical, long seconds_ahead) const {
        struct timeval t[2] = {{time(nullptr) + seconds_ahead, 0},
                               {time(nullptr) + seconds_ahead, 0}};
        utimes(box.path(logical).c_str(), t);
    }
};

TEST_F(OpenTest, OpensAtOnceWithoutALock) {
    EXPECT_EQ(open_file(kPasswd, &stream), 1);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(fcntl(fileno(stream), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_TRUE(naps.delays.empty());
    FILE *none = stdin;
    EXPECT_EQ(open_file("/etc/nothing", &none), 0);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(open_file(nullptr, &none), 0);
}

TEST_F(OpenTest, GivesUpOnALockThatNeverChanges) {
    box.write(kPasswdLock, "", 0);
    EXPECT_EQ(open_file(kPasswd, &stream), -1);
    EXPECT_EQ(stream, nullptr);
    // One look finds the lock new, then 18 find it unchanged.
    ASSERT_EQ(naps.delays.size(), 19u);
    for (long delay : naps.delays) {
        EXPECT_GE(delay, 200);
        EXPECT_LE(delay, 1699);
    }
}

TEST_F(OpenTest, WaitsWhileTheLockChangesAndReadsOnceItIsGone) {
    box.write(kPasswdLock, "", 0);
    naps.each = [&](size_t count) {
        if (count < 30)
            touch(kPasswdLock, static_cast<long>(count));
        else
            box.remove(kPasswdLock);
    };
    EXPECT_EQ(open_file(kPasswd, &stream), 1);
    EXPECT_EQ(naps.delays.size(), 30u);
}

TEST_F(OpenTest, WithoutTheOpenLockReadersDoNotWait) {
    box.write(kPasswdLock, "", 0);
    set_open_lock(OPEN_NO_WAIT);
    EXPECT_EQ(open_file(kPasswd, &stream), 1);
    EXPECT_TRUE(naps.delays.empty());
}

TEST_F(OpenTest, OnlyTheEtcFilesModeFailsWithoutPasswd) {
    box.write(kPasswdLock, "", 0);
    EXPECT_EQ(open_pw_files(), 0);
    EXPECT_EQ(mirror::passwd_fp, nullptr);
    ASSERT_NE(mirror::shadow_fp, nullptr);
    mirror::close_pw_files();
    set_override_mode(OVERRIDE_ETC_FILES);
    EXPECT_EQ(open_pw_files(), -1);
    box.remove(kPasswdLock);
    box.remove(kShadow);
    EXPECT_EQ(open_pw_files(), 0);
    EXPECT_NE(mirror::passwd_fp, nullptr);
    EXPECT_EQ(mirror::shadow_fp, nullptr);
    mirror::close_pw_files();
    box.remove(kPasswd);
    EXPECT_EQ(open_pw_files(), -1);
    for (int mode : {OVERRIDE_NONE, OVERRIDE_NO_INTEGRITY, OVERRIDE_PROTECTED_ONLY}) {
        set_override_mode(mode);
        EXPECT_EQ(open_pw_files(), 0) << mode;
    }
}

// ---------------------------------------------------------------------
// Reading a user's lines

class ReadTest : public PwMirrorTest {
  protected:
    User etc;
    // A fresh run of lookups unless `keep` (files rewritten in place are
    // then read from where the last search stopped).
    int read(const char *name, bool keep = false) {
        if (!keep) mirror::close_pw_files();
        EXPECT_EQ(open_pw_files(), 0);
        etc = {};
        return get_pw_fields(name, &etc.f, &etc.fl);
    }
    void passwd_line(const std::string &line) const {
        box.write(kPasswd, std::string("root:x:0:0:root:/root:/bin/sh\n") + line + "\n" +
                               "bob:x:1001:100:Bob:/home/bob:/bin/sh\n");
    }
    void shadow_line(const std::string &line) const {
        box.write(kShadow, "root:*:19000:0:99999:7:::\n" + line + "\n", 0640);
    }
};

TEST_F(ReadTest, LockMarkPasswordAndAgingCharacters) {
    box.remove(kShadow);
    passwd_line("alice:*LK*abc.def,M2:1000:100:Alice:/home/alice:/bin/sh");
    ASSERT_EQ(read("alice"), 0);
    EXPECT_EQ(mirror::shadow_exists, 0);
    EXPECT_STREQ(etc.f.u_name, "alice");
    EXPECT_TRUE(etc.has(PR_U_ID));
    EXPECT_EQ(etc.f.u_id, 1000);
    EXPECT_TRUE(etc.has(PR_U_LOCK));
    EXPECT_EQ(etc.f.u_lock, 1);
    EXPECT_STREQ(etc.f.u_pwd, "abc.def");
    EXPECT_EQ(etc.f.u_exp, 24 * kWeek);
    EXPECT_EQ(etc.f.u_minchg, 4 * kWeek);
    EXPECT_FALSE(etc.has(PR_U_SUCCHG));
    EXPECT_FALSE(etc.has(PR_U_TYPE));

    // The week of the last change follows: "Ab" is 12 + 39 * 64.
    passwd_line("alice:abc.def,..Ab:1000:100:Alice:/home/alice:/bin/sh");
    ASSERT_EQ(read("alice"), 0);
    EXPECT_EQ(etc.f.u_lock, 0);
    EXPECT_TRUE(etc.has(PR_U_EXP) && etc.has(PR_U_MINCHG));
    EXPECT_EQ(etc.f.u_exp, 0);
    EXPECT_EQ(etc.f.u_minchg, 0);
    EXPECT_EQ(etc.f.u_succhg, 2508 * kWeek);

    passwd_line("alice:abc.def,zzzzzz:1000:100:Alice:/home/alice:/bin/sh");
    ASSERT_EQ(read("alice"), 0);
    EXPECT_EQ(etc.f.u_succhg, 3550 * kWeek);
}

TEST_F(ReadTest, AnXPasswordStandsForTheShadowFileOnlyWhenItExists) {
    ASSERT_EQ(read("alice"), 0);
    EXPECT_EQ(mirror::shadow_exists, 1);
    EXPECT_STREQ(etc.f.u_pwd, "abcdefghijklm");
    EXPECT_EQ(etc.f.u_succhg, 19000 * kDay);
    EXPECT_EQ(etc.f.u_minchg, 0);
    EXPECT_EQ(etc.f.u_exp, 24855 * kDay);

    // No shadow line: no password, and the user is compared in weeks.
    box.write(kPasswd, std::string(kDefaultPasswd) + "carol:x:1002:100::/home/carol:/bin/sh\n");
    ASSERT_EQ(read("carol"), 0);
    EXPECT_FALSE(etc.has(PR_U_PWD));
    EXPECT_EQ(mirror::shadow_exists, 0);

    mirror::close_pw_files();
    box.remove(kShadow);
    ASSERT_EQ(read("alice"), 0);
    EXPECT_TRUE(etc.has(PR_U_PWD));
    EXPECT_STREQ(etc.f.u_pwd, "x");
}

TEST_F(ReadTest, RetiredAccountsHaveNoPassword) {
    box.remove(kShadow);
    for (const char *field : {"*RETIRED*", "*LK**RETIRED*"}) {
        passwd_line(std::string("alice:") + field + ":1000:100::/home/alice:/bin/sh");
        ASSERT_EQ(read("alice"), 0) << field;
        EXPECT_TRUE(etc.has(PR_U_TYPE)) << field;
        EXPECT_EQ(etc.f.u_type, 1u << 6) << field;
        EXPECT_FALSE(etc.has(PR_U_PWD)) << field;
        EXPECT_EQ(etc.f.u_lock, field[1] == 'L' ? 1 : 0) << field;
    }
}

TEST_F(ReadTest, ShadowDayCountsInFiveAndNineFields) {
    struct Case {
        const char *line;
        bool succhg, minchg, exp;
        vant_time_t succhg_days, minchg_days, exp_days;
    };
    const Case cases[] = {
        {"alice:h:10957:7:90", true, true, true, 10957, 7, 90},
        {"alice:h:10957:7:90:14:30:20000:", true, true, true, 10957, 7, 90},
        {"alice:h:10957:7:90:::", true, true, true, 10957, 7, 90},
        {"alice:h::7:", false, true, false, 0, 7, 0},
        {"alice:h:99999:-5:0", true, true, true, 24855, 0, 0},
        {"alice:h:10957x:7:90", false, false, false, 0, 0, 0},
        {"alice:h:10957:7:90x:1:2:3:", true, true, false, 10957, 7, 0},
    };
    for (const Case &c : cases) {
        shadow_line(c.line);
        ASSERT_EQ(read("alice"), 0) << c.line;
        EXPECT_STREQ(etc.f.u_pwd, "h") << c.line;
        EXPECT_EQ(etc.has(PR_U_SUCCHG), c.succhg) << c.line;
        EXPECT_EQ(etc.has(PR_U_MINCHG), c.minchg) << c.line;
        EXPECT_EQ(etc.has(PR_U_EXP), c.exp) << c.line;
        EXPECT_EQ(etc.f.u_succhg, c.succhg_days * kDay) << c.line;
        EXPECT_EQ(etc.f.u_minchg, c.minchg_days * kDay) << c.line;
        EXPECT_EQ(etc.f.u_exp, c.exp_days * kDay) << c.line;
    }
    shadow_line("alice:h:10957:7:90");
    ASSERT_EQ(read("alice"), 0);
    EXPECT_EQ(etc.f.u_succhg, 946684800);
    EXPECT_EQ(etc.f.u_minchg, 604800);
    EXPECT_EQ(etc.f.u_exp, 7776000);
}

TEST_F(ReadTest, MalformedAndMissingLines) {
    passwd_line("alice:x:12ab:100::/home/alice:/bin/sh");
    ASSERT_EQ(read("alice"), 0);
    EXPECT_FALSE(etc.has(PR_U_ID));
    EXPECT_EQ(etc.f.u_id, 12);

    passwd_line("alice:x");
    ASSERT_EQ(read("alice"), 0);
    EXPECT_TRUE(etc.has(PR_U_NAME));
    EXPECT_FALSE(etc.has(PR_U_ID));

    EXPECT_EQ(read("nobody"), -1);
    EXPECT_EQ(read(""), -1);
    EXPECT_EQ(get_pw_fields(nullptr, &etc.f, &etc.fl), -1);
    EXPECT_EQ(get_pw_fields("bob", nullptr, &etc.fl), -1);

    // A password too long for the record is cut; no password matches it.
    box.remove(kShadow);
    mirror::close_pw_files();
    passwd_line("alice:" + std::string(200, 'p') + ":1000:100::/home/alice:/bin/sh");
    ASSERT_EQ(read("alice"), 0);
    EXPECT_EQ(strlen(etc.f.u_pwd), size_t{VANT_PWD_LEN});
    EXPECT_EQ(etc.f.u_id, 1000);

    box.write(kPasswd, "alice:x:1000:100::/home/alice:/bin/sh\n");
    mirror::close_pw_files();
    EXPECT_EQ(read("alicex"), -1);
    EXPECT_EQ(read("alic"), -1);
}

TEST_F(ReadTest, AStarPasswordMarksAnOldStylePasswordFile) {
    passwd_line("alice:*:1000:100::/home/alice:/bin/sh");
    ASSERT_EQ(read("alice"), 0);
    EXPECT_EQ(mirror::pre_v3_passwd(), 1);
    ASSERT_EQ(read("bob"), 0);
    EXPECT_EQ(mirror::pre_v3_passwd(), 0);
}

TEST_F(ReadTest, ALookupSeesAFileReplacedSinceTheLastOne) {
    ASSERT_EQ(read("alice"), 0);
    FILE *kept = mirror::shadow_fp;
    ASSERT_EQ(read("bob", true), 0);
    EXPECT_EQ(mirror::shadow_fp, kept);
    EXPECT_EQ(etc.f.u_exp, 90 * kDay);

    box.write("/etc/shadow.new", "bob:newpw:19500:1:45\n", 0640);
    ASSERT_EQ(rename(box.path("/etc/shadow.new").c_str(), box.path(kShadow).c_str()), 0);
    ASSERT_EQ(read("bob", true), 0);
    EXPECT_STREQ(etc.f.u_pwd, "newpw");
    EXPECT_EQ(etc.f.u_exp, 45 * kDay);
}

// ---------------------------------------------------------------------
// The last-login marker

TEST(LastLoginPath, JoinsTheHomeDirectoryAndTheMarkerName) {
    auto path = [](const char *dir) {
        char *p = mirror::lastlogin_path(dir);
        std::string text = p != nullptr ? p : "(null)";
        free(p);
        return text;
    };
    EXPECT_EQ(path("/home/alice"), "/home/alice/.lastlogin");
    EXPECT_EQ(path("/home/alice/"), "/home/alice/.lastlogin");
    EXPECT_EQ(path("home/alice"), "/home/alice/.lastlogin");
    EXPECT_EQ(path("/"), "/.lastlogin");
    EXPECT_EQ(path(""), "(null)");
    EXPECT_EQ(path(nullptr), "(null)");
}

class LastLoginReadTest : public ReadTest {
  protected:
    static constexpr const char *kMarker = "/home/alice/.lastlogin";
    static constexpr time_t kLogin = 1700000000;
    void SetUp() override {
        ReadTest::SetUp();
        passwd_line("alice:x:" + std::to_string(getuid()) + ":100::/home/alice:/bin/sh");
        box.write(kMarker, "", 0400);
    }
    void times(time_t access, time_t modification) const {
        struct timeval t[2] = {{access, 0}, {modification, 0}};
        utimes(box.path(kMarker).c_str(), t);
    }
};

TEST_F(LastLoginReadTest, TheUsersOwnMarkerTwoSecondsApartGivesTheLastLogin) {
    times(kLogin - 2, kLogin);
    ASSERT_EQ(read("alice"), 0);
    EXPECT_TRUE(etc.has(PR_U_SUCLOG));
    EXPECT_EQ(etc.f.u_suclog, kLogin);

    times(kLogin - 3, kLogin);
    ASSERT_EQ(read("alice"), 0);
    EXPECT_FALSE(etc.has(PR_U_SUCLOG));

    times(kLogin, kLogin);
    ASSERT_EQ(read("alice"), 0);
    EXPECT_FALSE(etc.has(PR_U_SUCLOG));
}

TEST_F(LastLoginReadTest, AMarkerOfAnotherUserIsIgnored) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give the marker away";
    times(kLogin - 2, kLogin);
    ASSERT_EQ(lchown(box.path(kMarker).c_str(), getuid() + 1, 0), 0);
    ASSERT_EQ(read("alice"), 0);
    EXPECT_FALSE(etc.has(PR_U_SUCLOG));
}

TEST_F(LastLoginReadTest, NoMarkerIsLookedForWithoutAUserId) {
    times(kLogin - 2, kLogin);
    passwd_line("alice:x::100::/home/alice:/bin/sh");
    ASSERT_EQ(read("alice"), 0);
    EXPECT_FALSE(etc.has(PR_U_SUCLOG));
}

}  // namespace
}  // namespace vant::test
