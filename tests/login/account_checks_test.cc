// The first services of an attempt: each account and terminal state gives
// its result code and text; refused attempts are counted, audited and
// turned into locks, and counts made in parallel are never lost.
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "login/attempt.h"
#include "login/login_fixture.h"
#include "support/child.h"

namespace vant::test {
namespace {

using AccountChecksTest = LoginTest;

// Each account state: what the check says of an entry without a password,
// and what a matching password then meets. The lockout rule has a table of
// its own beside the secure files; here each way of being locked out
// reaches both checks.
TEST_F(AccountChecksTest, ResultCodesOfEachAccountState) {
    struct Row {
        const char *fields, *defaults;
        int without_password, after_password;
    } rows[] = {
        {"", "", SMP_MUST_SET_PW, SMP_PW_OK},
        {":u_nullpw", "", SMP_NO_CHECK, SMP_PW_OK},
        {":u_nullpw", "u_nullpw@", SMP_NO_CHECK, SMP_PW_OK},
        {"", "u_nullpw", SMP_NO_CHECK, SMP_PW_OK},
        {":u_nullpw:u_lock", "", SMP_ACCT_LOCKED, SMP_ACCT_LOCKED},
        {":u_nullpw", "u_type=retired", SMP_RETIRED, SMP_RETIRED},
        {":u_nullpw:u_succhg#0", "", SMP_MUST_SET_PW, SMP_PW_EXPIRED},
        {":u_nullpw:u_succhg#1000:u_exp#100", "", SMP_MUST_SET_PW, SMP_PW_EXPIRED},
        {":u_nullpw:u_succhg#2000000000:u_exp#100", "", SMP_NO_CHECK, SMP_PW_OK},
        {":u_nullpw:u_succhg#2000000000:u_minchg#100", "", SMP_NO_CHECK, SMP_PW_TOO_SOON},
        {":u_nullpw:u_succhg#1000:u_minchg#100", "", SMP_NO_CHECK, SMP_PW_OK},
        {":u_nullpw:u_maxtries#3:u_numunsuclog#3", "", SMP_ACCT_LOCKED, SMP_ACCT_LOCKED},
        {":u_nullpw:u_numunsuclog#4", "u_maxtries#4", SMP_ACCT_LOCKED, SMP_ACCT_LOCKED},
        {":u_nullpw:u_succhg#1000:u_life#100", "", SMP_ACCT_LOCKED, SMP_ACCT_LOCKED},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.fields) + " / " + r.defaults);
        defaults(std::string("u_maxlen#8") + (*r.defaults ? ":" : "") + r.defaults);
        entry("alice", std::string("u_id#1000") + r.fields);
        Check c = check("alice", nullptr);
        EXPECT_EQ(c.result, r.without_password);
        EXPECT_EQ(c.text, "");
        EXPECT_EQ(c.delay, -1);
        alice(r.fields);
        box.write("/recorder.log", "");
        c = check("alice", nullptr);
        ASSERT_EQ(c.result, SMP_CHECK_PW);
        std::string typed = kPassword;
        char *text = nullptr;
        EXPECT_EQ(smp_check_pw(typed.data(), c.attempt, &text), r.after_password);
        EXPECT_EQ(smp_check_account(c.attempt, &text), r.after_password);
        EXPECT_EQ(audited("account lockout denies account access"),
                  r.after_password == SMP_ACCT_LOCKED);
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
        int result, delay;
    } rows[] = {
        {"tty1:t_devname=tty1:t_logdelay#7:chkent:\n", SMP_CHECK_PW, 7},
        {"tty1:t_devname=tty1:t_failures#3:t_maxtries#3:chkent:\n", SMP_TERM_LOCKED, 0},
        {"tty1:t_devname=tty1:t_failures#2:t_maxtries#3:chkent:\n", SMP_CHECK_PW, 0},
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
    // Names come from the device assignments, or are the path's last part.
    terminals("term1:t_devname=term1:t_lock:chkent:\n");
    Check c = check("alice", "/dev/pts/4");
    EXPECT_STREQ(c.attempt->tty_name, "term1");
    EXPECT_EQ(c.result, SMP_TERM_LOCKED);
    EXPECT_STREQ(check("alice", "/dev/averyveryverylongname").attempt->tty_name, "averyveryver");
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

TEST_F(AccountChecksTest, RetriesAndTheRecordsCopies) {
    entry("alice", "u_id#1000:u_pwd=abcdefghijklm");
    EXPECT_EQ(check("alice", nullptr, SMP_LOGIN, -5).retries, 1);
    EXPECT_EQ(check("alice", nullptr, SMP_LOGIN, 0).retries, 3);
    EXPECT_EQ(check("alice", nullptr, SMP_LOGIN, 4).retries, 4);
    box.write("/etc/default/passwd", "RETRIES=5\n");
    EXPECT_EQ(check("alice", nullptr, SMP_LOGIN, 0).retries, 5);
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

// Which failure each result records, at login and at a password change:
// the counts of failed logins (user and terminal), and the time of a
// failed change.
TEST_F(AccountChecksTest, WhatEachRefusalRecords) {
    struct Row {
        int status, always;
        bool login_counted, login_marked, change_marked;
    } rows[] = {
        {SMP_TERM_LOCKED, 0, true, false, false}, {SMP_NO_USER, 0, true, false, false},
        {SMP_ACCT_LOCKED, 0, true, false, false}, {SMP_BAD_PW, 0, true, false, true},
        {SMP_RETIRED, 0, true, false, true},      {SMP_NEW_PW_REJECTED, 0, true, true, true},
        {SMP_PW_MISMATCH, 0, true, true, true},   {SMP_CANNOT_CHANGE, 0, false, false, true},
        {SMP_PW_OK, 0, false, false, false},      {SMP_PW_OK, 1, true, false, true},
    };
    for (const Row &r : rows) {
        for (int request : {SMP_LOGIN, SMP_PASSWD}) {
            SCOPED_TRACE(std::to_string(r.status) + "/" + std::to_string(request));
            alice();
            terminals("tty1:t_devname=tty1:chkent:\n");
            smp_attempt *a = check("alice", "/dev/tty1", request).attempt;
            a->status = r.status;
            smp_audit_fail(a, r.always);
            bool counted = request == SMP_LOGIN && r.login_counted;
            EXPECT_EQ(user_failures("alice"), counted ? 1 : 0);
            EXPECT_EQ(terminal_failures("tty1"), counted ? 1 : 0);
            bool marked = request == SMP_LOGIN ? r.login_marked : r.change_marked;
            EXPECT_EQ(PR_ISSET(getprpwnam("alice")->uflg, PR_U_UNSUCCHG) != 0, marked);
        }
    }
}

TEST_F(AccountChecksTest, UnknownUserCountsOnTheTerminalOnly) {
    terminals("tty1:t_devname=tty1:chkent:\n");
    box.write("/dev/auditw", "");
    EXPECT_EQ(attempt("mallory", "/dev/tty1", "x"), SMP_NO_USER);
    EXPECT_EQ(terminal_failures("tty1"), 1);
    EXPECT_FALSE(box.exists("/tcb/files/auth/m/mallory"));
    EXPECT_NE(box.read("/dev/auditw").find("< bad >"), std::string::npos);
}

// A terminal name that cannot be an entry's name changes no database,
// whether or not the site requires terminal entries.
TEST_F(AccountChecksTest, MalformedTerminalNamesWriteNothing) {
    alice();
    const std::string ttys = "tty1:t_devname=tty1:chkent:\n";
    terminals(ttys);
    for (bool required : {true, false}) {
        mirroring(required, true);
        for (const char *tty : {"/dev/tt:y", "/dev/tt\ny"}) {
            attempt("alice", tty, "wrong");
            EXPECT_EQ(box.read("/etc/auth/system/ttys"), ttys) << tty;
            EXPECT_EQ(box.read(entry_path("alice")).find("u_unsuctty"), std::string::npos) << tty;
        }
    }
}

TEST_F(AccountChecksTest, ParallelFailuresAreAllCounted) {
    alice();
    terminals("tty1:t_devname=tty1:chkent:\n");
    constexpr int kProcesses = 8, kTries = 10;
    pid_t children[kProcesses];
    for (pid_t &child : children) {
        child = fork();
        if (child == 0) {
            int wrong = 0;
            for (int i = 0; i < kTries; ++i)
                wrong += attempt("alice", "/dev/tty1", "wrong") == SMP_BAD_PW;
            _exit(wrong == kTries ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(user_failures("alice"), kProcesses * kTries);
    EXPECT_EQ(terminal_failures("tty1"), kProcesses * kTries);
    EXPECT_STREQ(getprpwnam("alice")->ufld.u_unsuctty, "tty1");
    EXPECT_EQ(getprtcnam("tty1")->ufld.t_unsucuid, 1000);
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

// A password longer than the segments that count still matches after the
// system limits the segments.
TEST_F(AccountChecksTest, OnlyTheCountedSegmentsAreCompared) {
    std::string stored = bigcryptmax("abcdefghijkl", "ab");
    ASSERT_EQ(stored.size(), 24u);
    defaults("u_maxlen#8:u_pwseg#1");
    entry("alice", "u_id#1000:u_pwd=" + stored);
    EXPECT_EQ(attempt("alice", nullptr, "abcdefghijkl"), SMP_PW_OK);
    EXPECT_EQ(attempt("alice", nullptr, "abcdefgh"), SMP_PW_OK);
    EXPECT_EQ(attempt("alice", nullptr, "abcdefgX"), SMP_BAD_PW);
}

}  // namespace
}  // namespace vant::test
