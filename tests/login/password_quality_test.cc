// Judging proposed passwords: the built-in rules, the site's checker and
// its protocol, and a checker that dies.
#include <unistd.h>

#include <string>

#include "login/attempt.h"
#include "login/login_fixture.h"

namespace vant::test {
namespace {

class PasswordQualityTest : public LoginTest {
  protected:
    void SetUp() override {
        LoginTest::SetUp();
        entry("bob", "u_id#1001:u_pickpw");
        // Every word is unknown to this spelling checker.
        box.write("/usr/bin/spell", "#!/bin/sh\ncat\n", 0755);
    }
    int propose(const std::string &password, std::string *text = nullptr, int *retries = nullptr) {
        std::string p = password;
        if (attempt == nullptr) attempt = check("bob", nullptr, SMP_PASSWD, 0, 1001).attempt;
        char *reason = nullptr;
        int result = smp_try_pw(p.data(), attempt, retries, &reason);
        if (text != nullptr) *text = reason != nullptr ? reason : "";
        return result;
    }
    void checker() {
        box.write("/etc/default/passwd", "GOODPW=YES\n");
        std::string log = box.path("/goodpw.log");
        box.write("/usr/bin/goodpw",
                  "#!/bin/sh\necho \"args:$*\" >> " + log +
                      "\nwhile IFS= read -r pw; do\n"
                      "  while IFS= read -r line && [ -n \"$line\" ]; do echo \"prev:$line\" >> " +
                      log + "; done\n  echo \"pw:$pw\" >> " + log +
                      "\n  case \"$pw\" in *die*) exit 3;; *bad*) echo 'nToo simple.';;"
                      " *plain*) echo 'x';; *) echo 'gLooks fine';; esac\ndone\n",
                  0755);
    }
    smp_attempt *attempt = nullptr;
};

TEST_F(PasswordQualityTest, BuiltInRules) {
    struct Row {
        const char *password;
        const char *reason;
    } rows[] = {
        {"abcdefgh", "Must contain at least two alphabetic and one numeric or special characters"},
        {"a1234567", "Must contain at least two alphabetic and one numeric or special characters"},
        {"ab1cdefg", ""},
        {"bobbob1", ""},
        {"ab1", "Too short (must be at least 5 characters)"},
    };
    for (const Row &r : rows) {
        std::string text;
        int result = propose(r.password, &text);
        EXPECT_EQ(result, *r.reason ? SMP_NEW_PW_REJECTED : SMP_NEW_PW_OK) << r.password;
        EXPECT_EQ(text, r.reason) << r.password;
    }
}

TEST_F(PasswordQualityTest, RotationsOfTheLoginName) {
    box.write("/etc/default/passwd", "PASSLENGTH=3\n");
    std::string text;
    for (const char *rotation : {"bob", "OBB", "bBo", "BOB"}) {
        EXPECT_EQ(propose(rotation, &text), SMP_NEW_PW_REJECTED) << rotation;
        EXPECT_EQ(text, "Cannot be circular shift of login name") << rotation;
    }
}

TEST_F(PasswordQualityTest, NewPasswordMustDifferFromTheOld) {
    propose("x");
    strcpy(attempt->entered_pw, "Secret-99");
    std::string text;
    EXPECT_EQ(propose("Secret-98", &text), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, "Passwords must differ by at least 3 positions");
    EXPECT_EQ(propose("Secret-99x", &text), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(propose("Secret-99xy", &text), SMP_NEW_PW_OK);
    EXPECT_EQ(propose("Secret-99", &text), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, "You may not re-use the same password");
}

TEST_F(PasswordQualityTest, EmptyPasswordsAndRetries) {
    int retries = 3;
    std::string text;
    EXPECT_EQ(propose("", &text, &retries), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, "You are not permitted to set a null password");
    EXPECT_EQ(retries, 2);
    entry("bob", "u_id#1001:u_pickpw:u_nullpw");
    attempt = nullptr;
    EXPECT_EQ(propose("", &text, &retries), SMP_NEW_PW_OK);
    EXPECT_EQ(retries, 2);
}

TEST_F(PasswordQualityTest, NoChecksAtAll) {
    box.write("/etc/default/passwd", "GOODPW=NONE\n");
    EXPECT_EQ(propose("abcdefgh"), SMP_NEW_PW_OK);
    // Without a checker the real superuser may set even a short one.
    EXPECT_EQ(propose("abc"), getuid() == 0 ? SMP_NEW_PW_OK : SMP_NEW_PW_REJECTED);
}

TEST_F(PasswordQualityTest, CheckerProtocol) {
    checker();
    std::string text;
    EXPECT_EQ(propose("first-good", &text), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, "Looks fine");  // a reason rejects, whatever the letter
    EXPECT_EQ(propose("plainword", &text), SMP_NEW_PW_OK);
    EXPECT_EQ(propose("very-bad1", &text), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, "Too simple");
    std::string log = box.read("/goodpw.log");
    EXPECT_EQ(log.rfind("args:-m -d /usr/lib/goodpw/checks/user/weak\n", 0), 0u) << log;
    EXPECT_NE(log.find("prev:first-good\nprev:plainword\npw:very-bad1\n"), std::string::npos)
        << log;
}

TEST_F(PasswordQualityTest, DyingCheckerFallsBackToTheBuiltInRules) {
    checker();
    std::string text;
    EXPECT_EQ(propose("abcdie", &text), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(text, "Must contain at least two alphabetic and one numeric or special characters");
    EXPECT_EQ(propose("plain-1", &text), SMP_NEW_PW_OK);  // a new checker runs
}

TEST_F(PasswordQualityTest, OtherPasswords) {
    box.write("/etc/default/passwd", "PASSLENGTH=6\n");
    std::string p = "ab1cd", q = "ab1cdef";
    char *text = nullptr;
    EXPECT_EQ(goodpw_set_other_checks(3), SMP_FAIL);  // no checker program is named
    EXPECT_EQ(goodpw_check_other(p.data(), nullptr, &text), SMP_NEW_PW_REJECTED);
    EXPECT_EQ(goodpw_check_other(q.data(), nullptr, &text), SMP_NEW_PW_OK);
}

}  // namespace
}  // namespace vant::test
