// The module driven by real PAM applications against a sandbox system: the
// test's own client (pam_start_confdir) and pamtester under pam_wrapper,
// each with a service directory of the test's own.
#include <security/pam_appl.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "login/login_fixture.h"

namespace vant::test {
namespace {

const std::string kAsked = "secret: Password: \n", kTyped = std::string(kPassword) + "\n";

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
        service("");
    }
    std::string module_line(const std::string &type, const std::string &options) const {
        return type + " required " + VANT_PAM_MODULE + " root=" + box.root() + " " + options + "\n";
    }
    // Every module type with the same options.
    void service(const std::string &options) const {
        std::string all;
        for (const char *type : {"auth", "account", "password", "session"})
            all += module_line(type, options);
        box.write("/pam.d/vant", all);
    }
    // The dialogue and the results, one line each.
    std::string run(const std::string &command, const std::string &input) const {
        box.write("/input", input);
        FILE *p = popen((command + " <" + box.path("/input") + " 2>&1").c_str(), "r");
        std::string out;
        char buffer[512];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        pclose(p);
        return out;
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
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(client("alice", "auth", "wrong\n"), kAsked + line("auth", PAM_AUTH_ERR));
    EXPECT_EQ(user_failures("alice"), 2);
    EXPECT_NE(box.read("/dev/auditw").find("alice"), std::string::npos);
    EXPECT_EQ(client("alice", "auth", kTyped), kAsked + line("auth", PAM_PERM_DENIED));
    EXPECT_NE(client("alice", "open", "").find("   3 unsuccessful logins for alice: "),
              std::string::npos);
}

// A stacked module takes the password typed once; an unknown user, a
// password-less account without nullok and an over-long password get the
// dialogue of a wrong password; a conversation without answers counts
// nothing.
TEST_F(PamTest, PasswordsTypedAndRefused) {
    alice(":u_pickpw");
    entry("bob", "u_id#1001:u_nullpw");
    box.write("/pam.d/vant", module_line("auth", "") + module_line("auth", "try_first_pass"));
    EXPECT_EQ(client("alice", "auth", kTyped), kAsked + line("auth", 0));
    box.write("/pam.d/vant", module_line("auth", "use_first_pass"));
    EXPECT_EQ(client("alice", "auth", ""), line("auth", PAM_AUTHTOK_RECOVERY_ERR));
    service("");
    EXPECT_EQ(client("alice", "auth", ""), kAsked + line("auth", PAM_CONV_ERR));
    EXPECT_EQ(client("alice", "-n auth", ""), line("auth", PAM_CONV_ERR));
    EXPECT_EQ(user_failures("alice"), 0);
    EXPECT_EQ(client("bob", "auth", "\n"), kAsked + line("auth", PAM_AUTH_ERR));
    EXPECT_EQ(client("alice", "auth", std::string(81, 'x') + "\n"),
              kAsked + line("auth", PAM_AUTH_ERR));
    EXPECT_EQ(user_failures("alice"), 1);
    EXPECT_EQ(client("mallory", "auth", "x\n"), kAsked + line("auth", PAM_USER_UNKNOWN));
    service("nullok");
    EXPECT_EQ(client("bob", "auth account", ""), line("auth", 0) + line("account", 0));
}

TEST_F(PamTest, AnExpiredPasswordIsChangedUnderThePasswordRules) {
    alice(":u_pickpw:u_succhg#0");
    EXPECT_EQ(client("alice", "auth account expired auth",
                     kTyped + "letters\nN3w-pass\nN3w-pass\nN3w-pass\n"),
              kAsked + line("auth", 0) + line("account", PAM_NEW_AUTHTOK_REQD) +
                  "secret: New password: \n"
                  "error: Must contain at least two alphabetic and one numeric or special "
                  "characters\n"
                  "secret: New password: \n"
                  "secret: Retype new password: \n" +
                  line("expired", 0) + kAsked + line("auth", 0));
    // A generated password is shown and typed back.
    alice(":u_genpwd:u_succhg#0");
    std::string out = client("alice", "auth expired auth", kTyped + "@shown\n@shown\n");
    EXPECT_NE(out.find("info: Your new password is: "), std::string::npos) << out;
    EXPECT_NE(out.find(line("expired", 0) + kAsked + line("auth", 0)), std::string::npos) << out;
}

// The password program's change: the caller is the process's user, here an
// administrator who is not asked for the current password.
TEST_F(PamTest, AnAdministratorChangesAnotherUsersPassword) {
    if (getuid() != 0) GTEST_SKIP() << "the caller's account is root's";
    alice(":u_pickpw");
    entry("root", "u_id#0:u_pickpw");
    EXPECT_EQ(client("alice", "chauthtok", "N3w-pass\nN3w-pass\n"),
              "secret: New password: \nsecret: Retype new password: \n" + line("chauthtok", 0));
    EXPECT_EQ(client("alice", "auth", "N3w-pass\n"), kAsked + line("auth", 0));
}

// A user who proved who they are by other means: the account stage alone.
TEST_F(PamTest, TheAccountIsJudgedWithoutAPassword) {
    const std::pair<const char *, int> rows[] = {{"", PAM_SUCCESS},
                                                 {":u_lock", PAM_PERM_DENIED},
                                                 {":u_type=retired", PAM_ACCT_EXPIRED},
                                                 {":u_succhg#0", PAM_NEW_AUTHTOK_REQD}};
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
    box.write("/dev/auditw", "");
    std::string out = run(std::string("LD_PRELOAD=") + VANT_PAM_WRAPPER +
                              " PAM_WRAPPER=1 PAM_WRAPPER_SERVICE_DIR=" + box.path("/pam.d") +
                              " pamtester -I tty=/dev/tty1 vant alice authenticate acct_mgmt "
                              "open_session close_session",
                          kTyped);
    for (const char *shown :
         {"Last successful login for alice: NEVER",
          "   2 unsuccessful logins for alice: ", "session has successfully been closed"})
        EXPECT_NE(out.find(shown), std::string::npos) << out;
    const pr_passwd *pr = getprpwnam("alice");
    ASSERT_NE(pr, nullptr);
    EXPECT_TRUE(PR_ISSET(pr->uflg, PR_U_SUCLOG));
    EXPECT_FALSE(PR_ISSET(pr->uflg, PR_U_NUMUNSUCLOG));
    const pr_term *t = getprtcnam("tty1");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->ufld.t_prevuid, 1000);
}

}  // namespace
}  // namespace vant::test
