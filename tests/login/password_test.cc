#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "login/attempt.h"
#include "login/login_defaults.h"
#include "login/login_fixture.h"
#include "login/password_choice.h"
#include "support/recorder_log.h"

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
    void passwd_settings(const std::string &text) const {
        box.write("/etc/default/passwd", text);
        login::password_settings() = {};
    }
    void settings(const std::string &text) const {
        passwd_settings(text);
        login::getpwdefaults();
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
        {"u_id#1000:u_genpwd", "u_id#1001:u_cmdpriv=auth", "alice:passwd\n", "bob",
         SMP_CANNOT_CHANGE},
        {"u_id#1000:u_genpwd", "u_id#1001:u_cmdpriv=su", "alice:passwd\n", "bob", SMP_NO_CHECK},
    };
    for (const Row &r : rows) {
        entry("alice", r.alice);
        entry("bob", r.bob);
        box.write("/etc/auth/subsystems/auth", r.grant, 0640);
        EXPECT_EQ(smp_pw_change(change(r.target), nullptr), r.result)
            << r.alice << " / " << r.bob << " / " << r.grant;
    }
    entry("root", "u_id#0:u_pickpw:u_pwd=xx");
    EXPECT_EQ(smp_pw_change(change("root", 0), nullptr), SMP_NO_CHECK);
}

// The password typed at login is the current one; without a checker the
// real superuser may set even a short one.
TEST_F(PasswordTest, BuiltInRules) {
    const std::string shift = "Cannot be circular shift of login name",
                      differ = "Passwords must differ by at least 3 positions";
    struct Row {
        const char *settings, *fields, *current, *proposed;
        std::string reason;
    } rows[] = {
        {"", "", "", "abcdefgh", kBadChars},
        {"", "", "", "ab1cdefg", ""},
        {"", "", "", "ab1", "Too short (must be at least 5 characters)"},
        {"PASSLENGTH=3\n", "", "", "bob", shift},
        {"PASSLENGTH=3\n", "", "", "bBo", shift},
        {"", "", "Secret-99", "Secret-98", differ},
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

// The checker judges the last of the passwords proposed so far; a reason
// rejects, whatever the letter; a dying checker leaves the built-in rules.
TEST_F(PasswordTest, CheckerProtocol) {
    entry("bob", "u_id#1001:u_pickpw");
    passwd_settings("GOODPW=YES\n");
    std::string log = box.path("/goodpw.log");
    box.write("/usr/bin/goodpw",
              "#!/bin/sh\necho \"$*\" >> " + log +
                  "\nwhile read -r pw; do\n  while read -r l && [ -n \"$l\" ]; do echo \"$l\" >> " +
                  log + "; done" +
                  "\n  case \"$pw\" in *die*) exit 3;; *bad*) echo 'nToo simple.';;"
                  " *plain*) echo 'x';; *) echo 'gLooks fine';; esac\ndone\n",
              0755);
    smp_attempt *a = change("bob", 1001);
    EXPECT_EQ(propose(a, "first-good"), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, "Looks fine");
    EXPECT_EQ(propose(a, "plainword"), SMP_NEW_PW_OK);
    EXPECT_EQ(propose(a, "very-bad1"), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, "Too simple");
    EXPECT_EQ(propose(a, "abcdie"), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, kBadChars);
    log = box.read("/goodpw.log");
    EXPECT_EQ(log.rfind("-m -d /usr/lib/goodpw/checks/user/weak\n", 0), 0u) << log;
    EXPECT_NE(log.find("first-good\nplainword\nvery-bad1\n"), std::string::npos) << log;
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

// The NIS program gets the counted parts only; a failing one leaves the entry.
TEST_F(PasswordTest, NisProgram) {
    defaults("u_maxlen#8:u_pwseg#1");
    entry("alice", "u_id#1000:u_pickpw");
    box.write("/bin/passwd", "");
    link(box.path("/bin/passwd").c_str(), box.path("/bin/yppasswd").c_str());
    box.mkdir("/etc/yp");
    std::string log = box.path("/yppwd.log");
    box.write("/etc/yp/yppwd",
              "#!/bin/sh\necho \"$#:$1\" > " + log + "\ncat >> " + log + "\nexit $(cat " +
                  box.path("/status") + ")\n",
              0755);
    box.write("/status", "0");
    EXPECT_EQ(set(change(), "LongSecret-99", "LongSecret-99"), SMP_DONE);
    std::string stored = getprpwnam("alice")->ufld.u_pwd;
    EXPECT_EQ(box.read("/yppwd.log"), "1:alice\n1\n\n" + stored.substr(0, 13) + "\n");
    std::string before = box.read(entry_path("alice"));
    box.write("/status", "1");
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

// Unusable checker files are reported and change nothing.
TEST_F(PasswordTest, CheckerSettingsAndUnusableCheckerFiles) {
    settings("GOODPW=NONE\n");
    EXPECT_TRUE(login::password_settings().no_goodpw && login::password_settings().no_check);
    box.write("/usr/bin/goodpw", "#!/bin/sh\n", 0755);
    settings("GOODPW=YES\nCHECKDIR=/usr/lib/rules\n");
    EXPECT_EQ(login::password_settings().goodpw_prog, "/usr/bin/goodpw");
    EXPECT_EQ(login::password_settings().checkdir, "/usr/lib/rules");
    box.remove("/usr/bin/goodpw");
    settings("GOODPW=YES\n");
    settings("GOODPW=bin/goodpw\nCHECKDIR=rules\n");
    EXPECT_FALSE(login::password_settings().goodpw_prog.has_value());
    EXPECT_FALSE(login::password_settings().checkdir.has_value());
    std::vector<std::string> reports;
    for (const Delivery &d : read_deliveries(box.recorder_log()))
        if (size_t n = d.args.size(); n >= 9 && d.args[6] == "4")
            reports.push_back(d.args[n - 3] + " " + d.args[n - 2] + " " + d.args[n - 1]);
    EXPECT_EQ(reports,
              (std::vector<std::string>{
                  std::to_string(ENOENT) + " The goodpw binary file is missing /usr/bin/goodpw",
                  "22 The goodpw binary file is missing bin/goodpw",
                  "22 The goodpw additional checks file is missing rules"}));
}

}  // namespace
}  // namespace vant::test
