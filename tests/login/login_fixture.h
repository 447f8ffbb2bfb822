// The Protected Password sandbox with terminals and device assignments,
// and attempts driven as a login or password program drives them.
#pragma once

#include <string>
#include <vector>

#include "databases/databases_fixture.h"
#include "login/attempt.h"
#include "support/leftovers.h"

namespace vant::test {

struct Check {
    int result = 0;
    std::string text;
    smp_attempt *attempt = nullptr;
    int retries = 0, delay = -1;
};

inline constexpr const char *kPassword = "Secret-9";

class LoginTest : public PrpwTest {
  protected:
    std::vector<smp_attempt *> attempts;

    void SetUp() override {
        PrpwTest::SetUp();
        box.write("/etc/auth/system/files",
                  std::string(kPrpwFileControl) +
                      "/etc/auth/system/ttys-t:f_owner=root:f_group=auth:f_mode#0664:f_type=r:"
                      "chkent:\n",
                  0664);
        box.write("/etc/auth/system/devassign",
                  "term1:v_devs=/dev/pts/3,/dev/pts/4:v_type=terminal:chkent:\n", 0664);
        terminals("");
    }
    void TearDown() override {
        for (smp_attempt *a : attempts)
            smp_free_attempt(a);
    }
    // Starts an attempt; the attempt is released when the test ends.
    Check check(const char *user, const char *tty, int request = SMP_LOGIN, int retries = 0,
                uid_t subject = 1000) {
        Check c;
        c.retries = retries;
        char *text = nullptr;
        c.result = smp_check_user(request, const_cast<char *>(user), const_cast<char *>(tty),
                                  subject, &c.attempt, &c.retries, &text, nullptr, &c.delay);
        c.text = text != nullptr ? text : "";
        EXPECT_TRUE(c.attempt == nullptr || c.attempt->status == c.result);
        attempts.push_back(c.attempt);
        return c;
    }
    // A login with a typed password; a refusal is recorded.
    int attempt(const char *user, const char *tty, std::string typed) {
        Check c = check(user, tty);
        int r =
            c.result == SMP_CHECK_PW ? smp_check_pw(typed.data(), c.attempt, nullptr) : c.result;
        if (r != SMP_PW_OK) smp_audit_fail(c.attempt, 0);
        return r;
    }
    // alice with kPassword, and more fields.
    void alice(const std::string &more = "") const {
        entry("alice", std::string("u_id#1000:u_pwd=") + bigcryptmax(kPassword, "ab") + more);
    }
    int user_failures(const char *name) const {
        const pr_passwd *pr = getprpwnam(name);
        return pr != nullptr && PR_ISSET(pr->uflg, PR_U_NUMUNSUCLOG) ? pr->ufld.u_numunsuclog : 0;
    }
    int terminal_failures(const char *name) const {
        const pr_term *t = getprtcnam(name);
        return t != nullptr && PR_T_ISSET(t->uflg, PR_T_FAILURES) ? t->ufld.t_failures : 0;
    }
    void terminals(const std::string &entries) const {
        box.write("/etc/auth/system/ttys", entries, 0664);
    }
    void login_settings(const std::string &text) const { box.write("/etc/default/login", text); }
};

}  // namespace vant::test
