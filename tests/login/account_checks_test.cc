// The first service of an attempt: each account and terminal state gives
// its result code and text, and the attempt record carries what later
// services need.
#include <unistd.h>

#include <string>

#include "login/attempt.h"
#include "login/login_fixture.h"
#include "support/child.h"

namespace vant::test {
namespace {

class AccountChecksTest : public LoginTest {
  protected:
    Check check(const char *user, const char *tty, int request = SMP_LOGIN, int retries = 0,
                uid_t subject = 1000) {
        Check c = LoginTest::check(user, tty, request, retries, subject);
        if (c.attempt != nullptr) {
            EXPECT_EQ(c.attempt->status, c.result);
        }
        return c;
    }
};

// One account state per row, checked at login without a terminal.
TEST_F(AccountChecksTest, AccountStatesDecideWhatComesNext) {
    struct Row {
        const char *fields;
        const char *defaults;
        int result;
    } rows[] = {
        {"u_id#1000:u_pwd=abcdefghijklm", "", SMP_CHECK_PW},
        {"u_id#1000:u_pwd=abcdefghijklm:u_lock", "", SMP_CHECK_PW},
        {"u_id#1000:u_nullpw", "", SMP_NO_CHECK},
        {"u_id#1000", "", SMP_MUST_SET_PW},
        {"u_id#1000:u_nullpw:u_succhg#0", "", SMP_MUST_SET_PW},
        {"u_id#1000:u_nullpw:u_succhg#1000:u_exp#100", "", SMP_MUST_SET_PW},
        {"u_id#1000:u_nullpw:u_succhg#2000000000:u_exp#100", "", SMP_NO_CHECK},
        {"u_id#1000:u_nullpw:u_lock", "", SMP_ACCT_LOCKED},
        {"u_id#1000:u_nullpw", "u_type=retired", SMP_RETIRED},
        {"u_id#1000:u_nullpw", "u_nullpw@", SMP_NO_CHECK},
        {"u_id#1000", "u_nullpw", SMP_NO_CHECK},
    };
    for (const Row &r : rows) {
        entry("alice", r.fields);
        defaults(std::string("u_maxlen#8") + (*r.defaults ? ":" : "") + r.defaults);
        Check c = check("alice", nullptr);
        EXPECT_EQ(c.result, r.result) << r.fields << " / " << r.defaults;
        EXPECT_EQ(c.text, "") << r.fields;
        EXPECT_EQ(c.delay, -1);
    }
}

TEST_F(AccountChecksTest, MissingUsersAndEntries) {
    EXPECT_EQ(check("nobody", nullptr).result, SMP_NO_USER);
    EXPECT_EQ(check(nullptr, nullptr).result, SMP_NO_USER);
    smp_free_attempt(nullptr);
    EXPECT_EQ(check("../alice", nullptr).result, SMP_NO_USER);
    Check c = check("bob", nullptr);
    EXPECT_EQ(c.result, SMP_FAIL);
    EXPECT_EQ(c.text, "Missing target protected password information");
    entry("bob", "u_id#1001:u_pwd=nopqrstuvwxyz");
    c = check("bob", nullptr, SMP_PASSWD, 0, 1000);
    EXPECT_EQ(c.result, SMP_FAIL);
    EXPECT_EQ(c.text, "Missing subject protected password information");
    entry("alice", "u_id#1000:u_type=retired");
    EXPECT_EQ(check("alice", nullptr, SMP_PASSWD, 0, 1000).result, SMP_RETIRED);
}

TEST_F(AccountChecksTest, TerminalLocksAndDelay) {
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    struct Row {
        const char *entry;
        int result;
        int delay;
    } rows[] = {
        {"tty1:t_devname=tty1:t_logdelay#7:chkent:\n", SMP_CHECK_PW, 7},
        {"tty1:t_devname=tty1:t_failures#3:t_maxtries#3:chkent:\n", SMP_TERM_LOCKED, 0},
        {"tty1:t_devname=tty1:t_failures#9:t_maxtries#0:chkent:\n", SMP_CHECK_PW, 0},
        {"tty1:t_devname=tty1:t_lock:chkent:\n", SMP_TERM_LOCKED, 0},
    };
    for (const Row &r : rows) {
        terminals(r.entry);
        Check c = check("alice", "/dev/tty1");
        EXPECT_EQ(c.result, r.result) << r.entry;
        EXPECT_EQ(c.delay, r.delay) << r.entry;
        EXPECT_STREQ(c.attempt->tty_name, "tty1");
    }
}

TEST_F(AccountChecksTest, TerminalNamesComeFromDeviceAssignments) {
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    terminals("term1:t_devname=term1:t_lock:chkent:\n");
    Check c = check("alice", "/dev/pts/4");
    EXPECT_STREQ(c.attempt->tty_name, "term1");
    EXPECT_EQ(c.result, SMP_TERM_LOCKED);
    c = check("alice", "/dev/averyveryverylongname");
    EXPECT_STREQ(c.attempt->tty_name, "averyveryver");
}

// Integrity is required; lookups take the protected entries alone, so that
// the conventional files need not agree.
TEST_F(AccountChecksTest, MissingTerminalEntryUnderIntegrity) {
    mirroring(true, true);
    set_override_mode(OVERRIDE_PROTECTED_ONLY);
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    Check c = check("alice", "/dev/tty5");
    EXPECT_EQ(c.result, SMP_FAIL);
    EXPECT_EQ(c.text, "Cannot access terminal control database entry");
    // Root on the console goes on in override mode, with the terminal taken
    // for locked.
    entry("root", "u_id#0:u_pwd=abcdefghijklm");
    EXPECT_EQ(check("root", "/dev/console").result, SMP_CHECK_PW);
    entry("root", "u_id#0:u_nullpw");
    c = check("root", "/dev/console");
    EXPECT_EQ(c.result, SMP_OVERRIDDEN);
    EXPECT_EQ(c.text, "Terminal locked");
    EXPECT_EQ(c.attempt->override, 1);
    EXPECT_NE(c.attempt->term_locked, 0);
    EXPECT_EQ(check("alice", nullptr, SMP_OVERRIDE_LOGIN).attempt->override, 0);
}

TEST_F(AccountChecksTest, RootOnlyOnTheConsoleItNames) {
    entry("root", "u_id#0:u_pwd=abcdefghijklm");
    terminals("tty01:t_devname=tty01:chkent:\n");
    login_settings("CONSOLE=/dev/console\n");
    Check c = check("root", "/dev/tty01");
    EXPECT_EQ(c.result, SMP_FAIL);
    EXPECT_EQ(c.text, "Not on system console");
    EXPECT_EQ(check("root", nullptr).result, SMP_CHECK_PW);
    EXPECT_EQ(check("root", "/dev/tty01", SMP_SWITCH).result, SMP_CHECK_PW);
}

TEST_F(AccountChecksTest, RetriesAreSettled) {
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    EXPECT_EQ(check("alice", nullptr, SMP_LOGIN, -5).retries, 1);
    EXPECT_EQ(check("alice", nullptr, SMP_LOGIN, 0).retries, 3);
    EXPECT_EQ(check("alice", nullptr, SMP_LOGIN, 4).retries, 4);
    box.write("/etc/default/passwd", "RETRIES=5\n");
    EXPECT_EQ(check("alice", nullptr, SMP_LOGIN, 0).retries, 5);
}

TEST_F(AccountChecksTest, RecordHoldsCopiesOfBothEntries) {
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    Check c = check("alice", nullptr, SMP_PASSWD, 0, 1000);
    ASSERT_EQ(c.result, SMP_CHECK_PW);
    EXPECT_STREQ(c.attempt->pw.pw_name, "alice");
    EXPECT_STREQ(c.attempt->pw.pw_dir, "/home/alice");
    EXPECT_STREQ(c.attempt->target.ufld.u_pwd, "abcdefghijklm");
    EXPECT_STREQ(c.attempt->subject.ufld.u_name, "alice");
    EXPECT_EQ(c.attempt->request, SMP_PASSWD);
}

TEST_F(AccountChecksTest, UnprivilegedCallerIsRefused) {
    entry("alice", "u_id#1000:u_nullpw");
    if (getuid() != 0) GTEST_SKIP() << "needs root to take another identity";
    auto r = run_child([this] {
        if (setegid(100) != 0 || seteuid(1000) != 0) _exit(100);
        _exit(check("alice", nullptr).result);
    });
    EXPECT_EQ(r.exit_status, SMP_NOPRIV);
}

}  // namespace
}  // namespace vant::test
