// A login attempt driven as a login program drives it: the account check,
// the typed password, and the refused attempt counted, audited and turned
// into locks; counts made in parallel are never lost.
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "login/attempt.h"
#include "login/login_fixture.h"

namespace vant::test {
namespace {

constexpr const char *kPassword = "Secret-9";

std::string alice_fields() {
    return std::string("u_id#1000:u_pwd=") + bigcryptmax(kPassword, "ab");
}

class FailedAttemptsTest : public LoginTest {
  protected:
    // One attempt with a typed password; a refusal is recorded.
    int attempt(const char *user, const char *tty, const char *typed) {
        std::string p = typed;
        Check c = check(user, tty);
        smp_attempt *a = c.attempt;
        char *text = nullptr;
        int r = c.result;
        if (r == SMP_CHECK_PW) r = smp_check_pw(p.data(), a, &text);
        if (r != SMP_PW_OK) smp_audit_fail(a, 0);
        return r;
    }
    int user_failures(const char *name) {
        const pr_passwd *pr = getprpwnam(name);
        return pr != nullptr && PR_ISSET(pr->uflg, PR_U_NUMUNSUCLOG) ? pr->ufld.u_numunsuclog : -1;
    }
    int terminal_failures(const char *name) {
        const pr_term *t = getprtcnam(name);
        return t != nullptr && PR_T_ISSET(t->uflg, PR_T_FAILURES) ? t->ufld.t_failures : -1;
    }
};

TEST_F(FailedAttemptsTest, WrongPasswordsLockTheAccountAndAreAudited) {
    entry("alice", alice_fields() + ":u_maxtries#3");
    terminals("tty1:t_devname=tty1:chkent:\n");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(attempt("alice", "/dev/tty1", "wrong"), SMP_BAD_PW);
    EXPECT_EQ(user_failures("alice"), 3);
    EXPECT_EQ(terminal_failures("tty1"), 3);
    const pr_passwd *pr = getprpwnam("alice");
    EXPECT_STREQ(pr->ufld.u_unsuctty, "tty1");
    const pr_term *t = getprtcnam("tty1");
    EXPECT_EQ(t->ufld.t_unsucuid, 1000);
    EXPECT_EQ(attempt("alice", "/dev/tty1", kPassword), SMP_ACCT_LOCKED);
    EXPECT_TRUE(audited("account lockout denies account access"));
}

TEST_F(FailedAttemptsTest, TheTerminalLocksItselfAfterItsTries) {
    entry("alice", alice_fields());
    terminals("tty1:t_devname=tty1:t_maxtries#2:chkent:\n");
    EXPECT_EQ(attempt("alice", "/dev/tty1", "wrong"), SMP_BAD_PW);
    EXPECT_EQ(attempt("alice", "/dev/tty1", "wrong"), SMP_BAD_PW);
    EXPECT_EQ(attempt("alice", "/dev/tty1", kPassword), SMP_TERM_LOCKED);
    EXPECT_EQ(terminal_failures("tty1"), 3);
}

TEST_F(FailedAttemptsTest, UnknownUserCountsOnTheTerminalOnly) {
    terminals("tty1:t_devname=tty1:chkent:\n");
    box.write("/dev/auditw", "");
    EXPECT_EQ(attempt("mallory", "/dev/tty1", "x"), SMP_NO_USER);
    EXPECT_EQ(terminal_failures("tty1"), 1);
    EXPECT_FALSE(box.exists("/tcb/files/auth/m/mallory"));
    EXPECT_NE(box.read("/dev/auditw").find("< bad >"), std::string::npos);
}

// A terminal name that cannot be an entry's name changes no database,
// whether or not the site requires terminal entries.
TEST_F(FailedAttemptsTest, MalformedTerminalNamesWriteNothing) {
    entry("alice", alice_fields());
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

// A lock set by an administrator while an attempt is under way survives the
// attempt's failure count.
TEST_F(FailedAttemptsTest, ALockSetDuringTheAttemptIsKept) {
    entry("alice", alice_fields());
    std::string p = "wrong";
    Check c = check("alice", nullptr);
    ASSERT_EQ(c.result, SMP_CHECK_PW);
    smp_attempt *a = c.attempt;
    char *text = nullptr;
    pr_passwd locked = *getprpwnam("alice");
    locked.ufld.u_lock = 1;
    PR_SET(locked.uflg, PR_U_LOCK);
    ASSERT_EQ(putprpwnam("alice", &locked), 1);
    EXPECT_EQ(smp_check_pw(p.data(), a, &text), SMP_BAD_PW);
    smp_audit_fail(a, 0);
    const pr_passwd *after = getprpwnam("alice");
    EXPECT_TRUE(PR_ISSET(after->uflg, PR_U_LOCK) && after->ufld.u_lock);
    EXPECT_EQ(after->ufld.u_numunsuclog, 1);
}

TEST_F(FailedAttemptsTest, ParallelFailuresAreAllCounted) {
    entry("alice", alice_fields());
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
}

TEST_F(FailedAttemptsTest, AccountStateAfterAMatchingPassword) {
    struct Row {
        const char *fields;
        int result;
    } rows[] = {
        {"", SMP_PW_OK},
        {":u_lock", SMP_ACCT_LOCKED},
        {":u_type=retired", SMP_RETIRED},
        {":u_succhg#0", SMP_PW_EXPIRED},
        {":u_succhg#1000:u_exp#100", SMP_PW_EXPIRED},
        {":u_succhg#2000000000:u_minchg#100", SMP_PW_TOO_SOON},
        {":u_succhg#1000:u_minchg#100", SMP_PW_OK},
    };
    for (const Row &r : rows) {
        entry("alice", alice_fields() + r.fields);
        EXPECT_EQ(attempt("alice", nullptr, kPassword), r.result) << r.fields;
    }
}

// A password longer than the segments that count still matches after the
// system limits the segments.
TEST_F(FailedAttemptsTest, OnlyTheCountedSegmentsAreCompared) {
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
