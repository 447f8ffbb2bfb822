// Changing a password: who may change whose, how the new one is obtained,
// the rules it must pass (built in, or the site's checker and its
// protocol), and storing it, with and without NIS.
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "login/attempt.h"
#include "login/login_defaults.h"
#include "login/login_fixture.h"
#include "login/password_choice.h"

namespace vant::test {
namespace {

const std::string kBadChars =
    "Must contain at least two alphabetic and one numeric or special characters";

class PasswordTest : public LoginTest {
  protected:
    void SetUp() override {
        LoginTest::SetUp();
        box.write("/etc/auth/system/authorize", "auth:su,passwd\n");
        box.write("/etc/auth/subsystems/dflt_users", "");
        box.write("/usr/bin/spell", "#!/bin/sh\ncat\n", 0755);
    }
    void grants(const std::string &lines) const {
        box.write("/etc/auth/subsystems/auth", lines, 0640);
    }
    void passwd_settings(const std::string &text) const {
        box.write("/etc/default/passwd", text);
        login::password_settings() = {};
    }
    smp_attempt *change(const char *target = "alice", uid_t subject = 1000) {
        return check(target, nullptr, SMP_PASSWD, 0, subject).attempt;
    }
    int propose(smp_attempt *a, std::string password, int *retries = nullptr) {
        char *reason = nullptr;
        int result = smp_try_pw(password.data(), a, retries, &reason);
        text = reason != nullptr ? reason : "";
        return result;
    }
    int set(smp_attempt *a, std::string password, std::string again, int *retries = nullptr) {
        char *reason = nullptr;
        int r = smp_set_pw(password.data(), again.data(), a, retries, &reason);
        text = reason != nullptr ? reason : "";
        return r;
    }
    // NIS in use, with a stand-in password program that records what it is
    // given and exits with `status`.
    void nis(int status) {
        if (!box.exists("/etc/yp")) {
            box.write("/bin/passwd", "");
            link(box.path("/bin/passwd").c_str(), box.path("/bin/yppasswd").c_str());
            box.mkdir("/etc/yp");
        }
        std::string log = box.path("/yppwd.log");
        box.write("/etc/yp/yppwd",
                  "#!/bin/sh\necho \"$#:$1\" > " + log + "\ncat >> " + log + "\nexit " +
                      std::to_string(status) + "\n",
                  0755);
    }
    std::string text;
};

TEST_F(PasswordTest, WhoMayChangeWhosePassword) {
    struct Row {
        const char *alice, *bob, *grant, *target;
        int result;
    } rows[] = {
        {"u_id#1000:u_pickpw:u_pwd=xx", "u_id#1001", "", "alice", SMP_CHECK_PW},
        {"u_id#1000:u_pickpw", "u_id#1001", "", "alice", SMP_NO_CHECK},
        {"u_id#1000", "u_id#1001", "", "alice", SMP_CANNOT_CHANGE},
        {"u_id#1000:u_genpwd", "u_id#1001", "alice:auth\n", "bob", SMP_NO_CHECK},
        {"u_id#1000:u_genpwd", "u_id#1001:u_pswduser=alice", "", "bob", SMP_NO_CHECK},
        {"u_id#1000:u_genpwd", "u_id#1001", "", "bob", SMP_CANNOT_CHANGE},
        {"u_id#1000:u_genpwd", "u_id#1001", "alice:passwd\n", "bob", SMP_NO_CHECK},
        {"u_id#1000:u_genpwd", "u_id#1001:u_cmdpriv=auth", "alice:passwd\n", "bob",
         SMP_CANNOT_CHANGE},
        {"u_id#1000:u_genpwd", "u_id#1001:u_cmdpriv=su", "alice:passwd\n", "bob", SMP_NO_CHECK},
    };
    for (const Row &r : rows) {
        entry("alice", r.alice);
        entry("bob", r.bob);
        grants(r.grant);
        EXPECT_EQ(smp_pw_change(change(r.target), nullptr), r.result)
            << r.alice << " / " << r.bob << " / " << r.grant;
    }
    entry("root", "u_id#0:u_pickpw:u_pwd=xx");
    EXPECT_EQ(smp_pw_change(change("root", 0), nullptr), SMP_NO_CHECK);
}

// An account administrator's own account may be given either kind.
TEST_F(PasswordTest, HowTheNewPasswordIsObtained) {
    const std::pair<const char *, int> rows[] = {{":u_pickpw:u_genpwd", SMP_CHOOSE_OR_GENERATE},
                                                 {":u_pickpw", SMP_MUST_CHOOSE},
                                                 {":u_genpwd", SMP_MUST_GENERATE},
                                                 {"", SMP_FAIL}};
    char *reason = nullptr;
    for (const auto &[fields, result] : rows) {
        entry("alice", std::string("u_id#1000") + fields);
        EXPECT_EQ(smp_pw_choice(change(), &reason), result) << fields;
    }
    EXPECT_STREQ(reason, "User cannot set passwords");
    entry("bob", "u_id#1001");
    grants("bob:auth\n");
    EXPECT_EQ(smp_pw_choice(change("bob"), nullptr), SMP_CHOOSE_OR_GENERATE);
}

// The built-in rules, with the password the user typed at login (when
// there is one) as the current one; without a checker the real superuser
// may set even a short one.
TEST_F(PasswordTest, BuiltInRules) {
    const std::string shift = "Cannot be circular shift of login name",
                      differ = "Passwords must differ by at least 3 positions";
    struct Row {
        const char *settings, *fields, *current, *proposed;
        std::string reason;
    } rows[] = {
        {"", "", "", "abcdefgh", kBadChars},
        {"", "", "", "a1234567", kBadChars},
        {"", "", "", "ab1cdefg", ""},
        {"", "", "", "bobbob1", ""},
        {"", "", "", "ab1", "Too short (must be at least 5 characters)"},
        {"PASSLENGTH=3\n", "", "", "bob", shift},
        {"PASSLENGTH=3\n", "", "", "OBB", shift},
        {"PASSLENGTH=3\n", "", "", "bBo", shift},
        {"", "", "Secret-99", "Secret-98", differ},
        {"", "", "Secret-99", "Secret-99x", differ},
        {"", "", "Secret-99", "Secret-99xy", ""},
        {"", "", "Secret-99", "Secret-99", "You may not re-use the same password"},
        {"", "", "", "", "You are not permitted to set a null password"},
        {"", ":u_nullpw", "", "", ""},
        {"GOODPW=NONE\n", "", "", "abcdefgh", ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.proposed) + " / " + r.settings + r.fields);
        passwd_settings(r.settings);
        entry("bob", std::string("u_id#1001:u_pickpw") + r.fields);
        smp_attempt *a = change("bob", 1001);
        strcpy(a->entered_pw, r.current);
        int retries = 3;
        EXPECT_EQ(propose(a, r.proposed, &retries),
                  r.reason.empty() ? SMP_NEW_PW_OK : SMP_NEW_PW_REJECTED);
        EXPECT_EQ(text, r.reason);
        EXPECT_EQ(retries, r.reason.empty() ? 3 : 2);
    }
    EXPECT_EQ(propose(change("bob", 1001), "abc"),
              getuid() == 0 ? SMP_NEW_PW_OK : SMP_NEW_PW_REJECTED);
}

// The site's checker is given every password proposed so far and judges the
// last; a reason rejects, whatever the letter. A dying checker leaves the
// built-in rules; the next proposal starts a new checker.
TEST_F(PasswordTest, CheckerProtocol) {
    entry("bob", "u_id#1001:u_pickpw");
    passwd_settings("GOODPW=YES\n");
    std::string log = box.path("/goodpw.log");
    box.write("/usr/bin/goodpw",
              "#!/bin/sh\necho \"args:$*\" >> " + log +
                  "\nwhile IFS= read -r pw; do\n"
                  "  while IFS= read -r line && [ -n \"$line\" ]; do echo \"prev:$line\" >> " +
                  log + "; done\n  echo \"pw:$pw\" >> " + log +
                  "\n  case \"$pw\" in *die*) exit 3;; *bad*) echo 'nToo simple.';;"
                  " *plain*) echo 'x';; *) echo 'gLooks fine';; esac\ndone\n",
              0755);
    smp_attempt *a = change("bob", 1001);
    EXPECT_EQ(propose(a, "first-good"), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, "Looks fine");
    EXPECT_EQ(propose(a, "plainword"), SMP_NEW_PW_OK);
    EXPECT_EQ(propose(a, "very-bad1"), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, "Too simple");
    log = box.read("/goodpw.log");
    EXPECT_EQ(log.rfind("args:-m -d /usr/lib/goodpw/checks/user/weak\n", 0), 0u) << log;
    EXPECT_NE(log.find("prev:first-good\nprev:plainword\npw:very-bad1\n"), std::string::npos)
        << log;
    EXPECT_EQ(propose(a, "abcdie"), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, kBadChars);
    EXPECT_EQ(propose(a, "plain-1"), SMP_NEW_PW_OK);
}

// A mismatch keeps the entry; empty entries remove the password.
TEST_F(PasswordTest, MismatchAndEmptyEntries) {
    alice(":u_pickpw");
    std::string before = box.read(entry_path("alice"));
    int retries = 3;
    EXPECT_EQ(set(change(), "Secret-9", "Secret-8", &retries), SMP_PW_MISMATCH);
    EXPECT_EQ(retries, 2);
    EXPECT_EQ(box.read(entry_path("alice")), before);
    EXPECT_NOTHING_LEFT_BEHIND(box);
    EXPECT_EQ(set(change(), "", ""), SMP_DONE);
    const pr_passwd *pr = getprpwnam("alice");
    EXPECT_FALSE(PR_ISSET(pr->uflg, PR_U_PWD));
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_SUCCHG));
}

// The NIS program gets the counted parts only; a failing program leaves
// the entry.
TEST_F(PasswordTest, NisProgram) {
    defaults("u_maxlen#8:u_pwseg#1");
    entry("alice", "u_id#1000:u_pickpw");
    nis(0);
    EXPECT_EQ(set(change(), "LongSecret-99", "LongSecret-99"), SMP_DONE);
    std::string stored = getprpwnam("alice")->ufld.u_pwd;
    EXPECT_EQ(box.read("/yppwd.log"), "1:alice\n1\n\n" + stored.substr(0, 13) + "\n");
    std::string before = box.read(entry_path("alice"));
    nis(1);
    EXPECT_EQ(set(change(), "Secret-9", "Secret-9"), SMP_FAIL);
    EXPECT_EQ(text, "NIS password change failed");
    EXPECT_EQ(box.read(entry_path("alice")), before);
    EXPECT_NOTHING_LEFT_BEHIND(box);
}

// The new password, and a failed login's count, go into the entry as it
// stands: a lock set while the user was typing stays.
TEST_F(PasswordTest, ALockSetMeanwhileIsKept) {
    alice(":u_pickpw");
    smp_attempt *change_attempt = change();
    std::string wrong = "wrong";
    smp_attempt *login_attempt = check("alice", nullptr).attempt;
    pr_passwd locked = *getprpwnam("alice");
    locked.ufld.u_lock = 1;
    PR_SET(locked.uflg, PR_U_LOCK);
    ASSERT_EQ(putprpwnam("alice", &locked), 1);
    EXPECT_EQ(smp_check_pw(wrong.data(), login_attempt, nullptr), SMP_BAD_PW);
    smp_audit_fail(login_attempt, 0);
    EXPECT_EQ(set(change_attempt, "Fresh-Pass7", "Fresh-Pass7"), SMP_DONE);
    const pr_passwd *pr = getprpwnam("alice");
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_LOCK) && pr->ufld.u_lock);
    EXPECT_EQ(pr->ufld.u_numunsuclog, 1);
    EXPECT_NEAR(pr->ufld.u_succhg, time(nullptr), 60);
    EXPECT_EQ(attempt("alice", nullptr, "Fresh-Pass7"), SMP_ACCT_LOCKED);
}

}  // namespace
}  // namespace vant::test
