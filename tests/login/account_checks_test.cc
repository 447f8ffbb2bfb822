#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "login/attempt.h"
#include "login/login_fixture.h"
#include "support/child.h"

namespace vant::test {
namespace {

using AccountChecksTest = LoginTest;

// Without a password, then with the right one: each lock reaches both checks.
TEST_F(AccountChecksTest, ResultCodesOfEachAccountState) {
    struct Row {
        const char *fields, *defaults;
        int without_password, after_password;
    } rows[] = {
        {"", "", SMP_MUST_SET_PW, SMP_PW_OK},
        {":u_nullpw", "u_nullpw@", SMP_NO_CHECK, SMP_PW_OK},
        {":u_nullpw:u_lock", "", SMP_ACCT_LOCKED, SMP_ACCT_LOCKED},
        {":u_nullpw", "u_type=retired", SMP_RETIRED, SMP_RETIRED},
        {":u_nullpw:u_succhg#1000:u_exp#100", "", SMP_MUST_SET_PW, SMP_PW_EXPIRED},
        {":u_nullpw:u_succhg#2000000000:u_minchg#100", "", SMP_NO_CHECK, SMP_PW_TOO_SOON},
        {":u_nullpw:u_numunsuclog#4", "u_maxtries#4", SMP_ACCT_LOCKED, SMP_ACCT_LOCKED},
        {":u_nullpw:u_succhg#1000:u_life#100", "", SMP_ACCT_LOCKED, SMP_ACCT_LOCKED},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.fields) + " / " + r.defaults);
        defaults(std::string("u_maxlen#8") + (*r.defaults ? ":" : "") + r.defaults);
        entry("alice", std::string("u_id#1000") + r.fields);
        Check c = check("alice", nullptr);
        EXPECT_EQ(c.result, r.without_password);
        EXPECT_EQ(c.text + std::to_string(c.delay), "-1");  // no text, no delay
        alice(r.fields);
        box.write("/recorder.log", "");
        c = check("alice", nullptr);
        ASSERT_EQ(c.result, SMP_CHECK_PW);
        std::string typed = kPassword;
        EXPECT_EQ(smp_check_pw(typed.data(), c.attempt, nullptr), r.after_password);
        EXPECT_EQ(smp_check_account(c.attempt, nullptr), r.after_password);
        EXPECT_EQ(audited("account lockout denies account access"),
                  r.after_password == SMP_ACCT_LOCKED);
    }
}

TEST_F(AccountChecksTest, MissingEntriesAndRetries) {
    smp_free_attempt(nullptr);
    EXPECT_EQ(check(nullptr, nullptr).result, SMP_NO_USER);
    EXPECT_EQ(check("bob", nullptr).text, "Missing target protected password information");
    entry("bob", "u_id#1001:u_pwd=nopqrstuvwxyz");
    EXPECT_EQ(check("bob", nullptr, SMP_PASSWD).text,
              "Missing subject protected password information");
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    Check c = check("bob", nullptr, SMP_PASSWD);
    ASSERT_EQ(c.result, SMP_CHECK_PW);
    EXPECT_STREQ(c.attempt->subject.ufld.u_name, "alice");
    EXPECT_EQ(c.retries, 3);
    EXPECT_EQ(check("alice", nullptr, SMP_LOGIN, -5).retries, 1);
    box.write("/etc/default/passwd", "RETRIES=5\n");
    EXPECT_EQ(check("alice", nullptr).retries, 5);
}

// Root on the console goes on in override mode, the terminal taken for
// locked; root elsewhere is refused when the site names its console.
TEST_F(AccountChecksTest, TerminalRefusalsAndTheConsole) {
    mirroring(true, true);
    set_override_mode(OVERRIDE_PROTECTED_ONLY);
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    Check c = check("alice", "/dev/tty5");
    EXPECT_EQ(c.result, SMP_FAIL);
    EXPECT_EQ(c.text, "Cannot access terminal control database entry");
    entry("root", "u_id#0:u_nullpw");
    c = check("root", "/dev/console");
    EXPECT_EQ(c.result, SMP_OVERRIDDEN);
    EXPECT_EQ(c.text, "Terminal locked");
    EXPECT_EQ(c.attempt->override, 1);
    EXPECT_NE(c.attempt->term_locked, 0);
    terminals("term1:t_devname=term1:t_lock:chkent:\n");
    c = check("alice", "/dev/pts/4");
    EXPECT_STREQ(c.attempt->tty_name, "term1");
    EXPECT_EQ(c.result, SMP_TERM_LOCKED);
    EXPECT_STREQ(check("alice", "/dev/averyveryverylongname").attempt->tty_name, "averyveryver");
    entry("root", "u_id#0:u_pwd=abcdefghijklm");
    terminals("tty01:t_devname=tty01:chkent:\n");
    login_settings("CONSOLE=/dev/console\n");
    c = check("root", "/dev/tty01");
    EXPECT_EQ(c.result, SMP_FAIL);
    EXPECT_EQ(c.text, "Not on system console");
    EXPECT_EQ(check("root", "/dev/tty01", SMP_SWITCH).result, SMP_CHECK_PW);
}

// An unknown user counts on the terminal alone; a terminal name that
// cannot be an entry's name changes no database.
TEST_F(AccountChecksTest, UnknownUsersAndMalformedTerminals) {
    const std::string ttys = "tty1:t_devname=tty1:chkent:\n";
    terminals(ttys);
    box.write("/dev/auditw", "");
    EXPECT_EQ(attempt("mallory", "/dev/tty1", "x"), SMP_NO_USER);
    EXPECT_EQ(terminal_failures("tty1"), 1);
    EXPECT_FALSE(box.exists("/tcb/files/auth/m/mallory"));
    EXPECT_NE(box.read("/dev/auditw").find("< bad >"), std::string::npos);
    alice();
    terminals(ttys);
    mirroring(true, true);
    attempt("alice", "/dev/tt:y", "wrong");
    EXPECT_EQ(box.read("/etc/auth/system/ttys"), ttys);
}

TEST_F(AccountChecksTest, ParallelFailuresAreAllCounted) {
    alice();
    terminals("tty1:t_devname=tty1:chkent:\n");
    pid_t children[8];
    for (pid_t &child : children) {
        if ((child = fork()) != 0) continue;
        int wrong = 0;
        for (int i = 0; i < 10; ++i)
            wrong += attempt("alice", "/dev/tty1", "wrong") == SMP_BAD_PW;
        _exit(wrong == 10 ? 0 : 1);
    }
    for (pid_t child : children) {
        int status = -1;
        EXPECT_TRUE(waitpid(child, &status, 0) == child && status == 0);
    }
    EXPECT_EQ(user_failures("alice") + terminal_failures("tty1"), 2 * 80);
    EXPECT_STREQ(getprpwnam("alice")->ufld.u_unsuctty, "tty1");
    EXPECT_EQ(getprtcnam("tty1")->ufld.t_unsucuid, 1000);
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

// A longer password still matches once the system limits the segments.
TEST_F(AccountChecksTest, OnlyTheCountedSegmentsAreCompared) {
    defaults("u_maxlen#8:u_pwseg#1");
    entry("alice", "u_id#1000:u_pwd=" + std::string(bigcryptmax("abcdefghijkl", "ab")));
    EXPECT_EQ(attempt("alice", nullptr, "abcdefghijkl"), SMP_PW_OK);
    EXPECT_EQ(attempt("alice", nullptr, "abcdefgh"), SMP_PW_OK);
    EXPECT_EQ(attempt("alice", nullptr, "abcdefgX"), SMP_BAD_PW);
}

}  // namespace
}  // namespace vant::test
