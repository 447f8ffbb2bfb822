// A password change driven as a password program drives it, from the
// account check to the stored password, with and without NIS.
#include <unistd.h>

#include <string>

#include "login/attempt.h"
#include "login/login_fixture.h"

namespace vant::test {
namespace {

class PasswordChangeTest : public LoginTest {
  protected:
    smp_attempt *start(const char *user = "alice") {
        return check(user, nullptr, SMP_PASSWD).attempt;
    }
    int set(smp_attempt *a, std::string password, std::string again, int *retries = nullptr) {
        char *text = nullptr;
        int r = smp_set_pw(password.data(), again.data(), a, retries, &text);
        last_text = text != nullptr ? text : "";
        return r;
    }
    int login_with(const std::string &password) {
        std::string p = password;
        Check c = check("alice", nullptr);
        char *text = nullptr;
        return c.result == SMP_CHECK_PW ? smp_check_pw(p.data(), c.attempt, &text) : c.result;
    }
    // NIS in use, with a stand-in password program that records what it is
    // given and exits with `status`.
    void nis(int status) {
        box.write("/bin/passwd", "");
        link(box.path("/bin/passwd").c_str(), box.path("/bin/yppasswd").c_str());
        box.mkdir("/etc/yp");
        box.write("/etc/yp/yppwd",
                  "#!/bin/sh\necho \"$#:$1\" > " + box.path("/yppwd.log") + "\ncat >> " +
                      box.path("/yppwd.log") + "\nexit " + std::to_string(status) + "\n",
                  0755);
    }
    std::string last_text;
};

TEST_F(PasswordChangeTest, GeneratedPasswordIsStoredAndLogsIn) {
    entry("alice", "u_id#1000:u_genpwd:u_maxlen#10");
    smp_attempt *a = start();
    char *text = nullptr;
    ASSERT_EQ(smp_pw_change(a, &text), SMP_NO_CHECK);
    ASSERT_EQ(smp_pw_choice(a, &text), SMP_MUST_GENERATE);
    char password[81], *divided = nullptr;
    ASSERT_EQ(smp_generate_pw(password, &divided, a), SMP_DONE);
    std::string chosen = password;
    EXPECT_EQ(set(a, password, password), SMP_DONE);
    EXPECT_EQ(login_with(chosen), SMP_PW_OK);
    EXPECT_EQ(login_with(chosen + "x"), SMP_BAD_PW);
    const pr_passwd *pr = getprpwnam("alice");
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_SUCCHG));
    EXPECT_NEAR(pr->ufld.u_succhg, time(nullptr), 60);
}

// A login that must set a password first: a new account, and an expired
// password, each go through choice, judgement and storing, and the new
// password then logs in.
TEST_F(PasswordChangeTest, LoginsThatMustSetAPasswordFirst) {
    box.write("/usr/bin/spell", "#!/bin/sh\ncat\n", 0755);
    struct Row {
        std::string fields;
        const char *typed;
        int first;
    } rows[] = {
        {"u_id#1000:u_pickpw", nullptr, SMP_MUST_SET_PW},
        {"u_id#1000:u_pickpw:u_succhg#0:u_pwd=" + std::string(bigcryptmax("Old-Pass1", "ab")),
         "Old-Pass1", SMP_PW_EXPIRED},
    };
    for (const Row &r : rows) {
        entry("alice", r.fields);
        std::string typed = r.typed != nullptr ? r.typed : "";
        Check c = check("alice", nullptr);
        smp_attempt *a = c.attempt;
        char *text = nullptr;
        int retries = c.retries, result = c.result;
        if (result == SMP_CHECK_PW) result = smp_check_pw(typed.data(), a, &text);
        ASSERT_EQ(result, r.first) << r.fields;
        ASSERT_EQ(smp_pw_choice(a, &text), SMP_MUST_CHOOSE);
        std::string weak = "password", fresh = "Fresh-Pass7";
        EXPECT_EQ(smp_try_pw(weak.data(), a, &retries, &text), SMP_NEW_PW_REJECTED);
        ASSERT_EQ(smp_try_pw(fresh.data(), a, &retries, &text), SMP_NEW_PW_OK);
        EXPECT_EQ(set(a, fresh, fresh), SMP_DONE);
        EXPECT_EQ(login_with("Fresh-Pass7"), SMP_PW_OK) << r.fields;
    }
}

TEST_F(PasswordChangeTest, MismatchCostsARetryAndStoresNothing) {
    entry("alice", "u_id#1000:u_pickpw");
    std::string before = box.read("/tcb/files/auth/a/alice");
    int retries = 3;
    EXPECT_EQ(set(start(), "Secret-9", "Secret-8", &retries), SMP_PW_MISMATCH);
    EXPECT_EQ(retries, 2);
    EXPECT_EQ(box.read("/tcb/files/auth/a/alice"), before);
}

TEST_F(PasswordChangeTest, EmptyEntriesRemoveThePassword) {
    entry("alice", std::string("u_id#1000:u_pickpw:u_pwd=") + bigcryptmax("Secret-9", "ab"));
    EXPECT_EQ(set(start(), "", ""), SMP_DONE);
    const pr_passwd *pr = getprpwnam("alice");
    EXPECT_FALSE(PR_ISSET(pr->uflg, PR_U_PWD));
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_SUCCHG));
}

TEST_F(PasswordChangeTest, NisProgramGetsTheCountedPartsOnly) {
    defaults("u_maxlen#8:u_pwseg#1");
    entry("alice", "u_id#1000:u_pickpw");
    nis(0);
    EXPECT_EQ(set(start(), "LongSecret-99", "LongSecret-99"), SMP_DONE);
    std::string log = box.read("/yppwd.log");
    std::string stored = getprpwnam("alice")->ufld.u_pwd;
    EXPECT_EQ(log, "1:alice\n1\n\n" + stored.substr(0, 13) + "\n");
}

TEST_F(PasswordChangeTest, FailingNisProgramLeavesTheEntry) {
    entry("alice", "u_id#1000:u_pickpw");
    std::string before = box.read("/tcb/files/auth/a/alice");
    nis(1);
    EXPECT_EQ(set(start(), "Secret-9", "Secret-9"), SMP_FAIL);
    EXPECT_EQ(last_text, "NIS password change failed");
    EXPECT_EQ(box.read("/tcb/files/auth/a/alice"), before);
}

// The new password goes into the entry as it stands: a lock set while the
// user was typing stays.
TEST_F(PasswordChangeTest, ALockSetMeanwhileIsKept) {
    entry("alice", "u_id#1000:u_pickpw");
    smp_attempt *a = start();
    pr_passwd locked = *getprpwnam("alice");
    locked.ufld.u_lock = 1;
    PR_SET(locked.uflg, PR_U_LOCK);
    ASSERT_EQ(putprpwnam("alice", &locked), 1);
    EXPECT_EQ(set(a, "Secret-9", "Secret-9"), SMP_DONE);
    const pr_passwd *pr = getprpwnam("alice");
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_LOCK));
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_PWD));
}

}  // namespace
}  // namespace vant::test
