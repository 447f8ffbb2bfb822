// The module driven by the test's own PAM client and by pamtester under
// pam_wrapper, against a sandbox system.
#include <security/pam_appl.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "login/login_fixture.h"
#include "support/child.h"

namespace vant::test {
namespace {

const std::string kAsked = "secret: Password: \n", kTyped = std::string(kPassword) + "\n",
                  kNew = "secret: New password: \n", kAgain = "secret: Retype new password: \n";

std::string line(const std::string &stage, int result) {
    return stage + ": " + std::to_string(result) + "\n";
}

class PamTest : public LoginTest {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "the login services need root or the auth group";
        LoginTest::SetUp();
        terminals("tty1:t_devname=tty1:chkent:\n");
        box.mkdir("/pam.d");
        service("auth account password session", "");
    }
    void service(const std::string &types, const std::string &options) const {
        std::string all, type;
        for (std::istringstream in(types); in >> type;)
            all += type + " required " + VANT_PAM_MODULE + " root=" + box.root() + " " + options +
                   "\n";
        box.write("/pam.d/vant", all);
    }
    std::string run(const std::string &command, const std::string &input) const {
        box.write("/input", input);
        std::string line = command + " <" + box.path("/input") + " 2>&1";
        return run_child([&] { execl("/bin/sh", "sh", "-c", line.c_str(), nullptr); }).out;
    }
    std::string client(const std::string &user, const std::string &stages,
                       const std::string &input) const {
        return run(std::string(VANT_PAM_CLIENT) + " " + box.path("/pam.d") + " vant " + user +
                       " /dev/tty1 " + stages,
                   input);
    }
};

TEST_F(PamTest, WrongPasswordIsCountedAndAuditedUntilTheAccountLocks) {
    alice(":u_pickpw:u_maxtries#2");
    box.write("/dev/auditw", "");
    EXPECT_EQ(client("alice", "-n auth", ""), line("auth", PAM_CONV_ERR));
    EXPECT_EQ(client("mallory", "auth", "x\n"), kAsked + line("auth", PAM_USER_UNKNOWN));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(client("alice", "auth", "wrong\n"), kAsked + line("auth", PAM_AUTH_ERR));
    EXPECT_EQ(user_failures("alice"), 2);
    EXPECT_NE(box.read("/dev/auditw").find("alice"), std::string::npos);
    EXPECT_EQ(client("alice", "auth", kTyped), kAsked + line("auth", PAM_PERM_DENIED));
    EXPECT_NE(client("alice", "open", "").find("   3 unsuccessful logins for alice: "),
              std::string::npos);
}

TEST_F(PamTest, PasswordChanges) {
    alice(":u_pickpw:u_succhg#0");
    EXPECT_EQ(client("alice", "auth account expired auth",
                     kTyped + "letters\nN3w-pass\nN3w-pass\nN3w-pass\n"),
              kAsked + line("auth", 0) + line("account", PAM_NEW_AUTHTOK_REQD) + kNew +
                  "error: Must contain at least two alphabetic and one numeric or special "
                  "characters\n" +
                  kNew + kAgain + line("expired", 0) + kAsked + line("auth", 0));
    alice(":u_genpwd:u_succhg#0");
    std::string out = client("alice", "auth expired auth", kTyped + "@shown\n@shown\n");
    EXPECT_NE(out.find("info: Your new password is: "), std::string::npos) << out;
    EXPECT_NE(out.find(line("expired", 0) + kAsked + line("auth", 0)), std::string::npos) << out;
}

TEST_F(PamTest, TheAccountIsJudgedWithoutAPassword) {
    const std::pair<const char *, int> rows[] = {
        {"", 0}, {":u_lock", PAM_PERM_DENIED}, {":u_type=retired", PAM_ACCT_EXPIRED}};
    for (const auto &[fields, result] : rows) {
        alice(std::string(":u_pickpw") + fields);
        EXPECT_EQ(client("alice", "account", ""), line("account", result)) << fields;
    }
    entry("root", "u_id#0:u_pwd=abcdefghijklm");
    login_settings("CONSOLE=/dev/console\n");
    EXPECT_EQ(client("root", "account", ""),
              "error: Not on system console\n" + line("account", PAM_PERM_DENIED));
}

TEST_F(PamTest, PamtesterLogsInAndOut) {
#ifdef VANT_SANITIZED
    GTEST_SKIP() << "pamtester is not built with the sanitizers, so it cannot load the module";
#endif
    alice(":u_pickpw:u_numunsuclog#2:u_unsuclog#86400:u_unsuctty=tty2");
    std::string out = run(std::string("LD_PRELOAD=") + VANT_PAM_WRAPPER +
                              " PAM_WRAPPER=1 PAM_WRAPPER_SERVICE_DIR=" + box.path("/pam.d") +
                              " pamtester -I tty=/dev/tty1 vant alice authenticate acct_mgmt "
                              "open_session close_session",
                          kTyped);
    for (const char *shown : {"Last successful login for alice: NEVER", "   2 unsuccessful logins",
                              "session has successfully been closed"})
        EXPECT_NE(out.find(shown), std::string::npos) << out;
    const pr_passwd *pr = getprpwnam("alice");
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_SUCLOG) && !PR_ISSET(pr->uflg, PR_U_NUMUNSUCLOG));
    EXPECT_EQ(getprtcnam("tty1")->ufld.t_prevuid, 1000);
}

}  // namespace
}  // namespace vant::test
