// Who may change a password, how the new one is obtained, how long it must
// be, and generated passwords within their bounds.
#include "login/password_choice.h"

#include <string.h>

#include <string>

#include "login/attempt.h"
#include "login/login_defaults.h"
#include "login/login_fixture.h"

namespace vant::test {
namespace {

class PasswordChoiceTest : public LoginTest {
  protected:
    void SetUp() override {
        LoginTest::SetUp();
        box.write("/etc/auth/system/authorize", "auth:su,passwd\n");
        box.write("/etc/auth/subsystems/dflt_users", "");
    }
    void grants(const std::string &lines) const {
        box.write("/etc/auth/subsystems/auth", lines, 0640);
    }
    smp_attempt *change(const char *target, uid_t subject) {
        return check(target, nullptr, SMP_PASSWD, 0, subject).attempt;
    }
};

TEST_F(PasswordChoiceTest, WhoMayChangeWhosePassword) {
    struct Row {
        const char *alice, *bob, *grant;
        const char *target;
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
        char *text = nullptr;
        EXPECT_EQ(smp_pw_change(change(r.target, 1000), &text), r.result)
            << r.alice << " / " << r.bob << " / " << r.grant;
    }
    entry("root", "u_id#0:u_pickpw:u_pwd=xx");
    EXPECT_EQ(smp_pw_change(change("root", 0), nullptr), SMP_NO_CHECK);
}

TEST_F(PasswordChoiceTest, HowTheNewPasswordIsObtained) {
    struct Row {
        const char *fields;
        int result;
    } rows[] = {
        {":u_pickpw:u_genpwd", SMP_CHOOSE_OR_GENERATE},
        {":u_pickpw", SMP_MUST_CHOOSE},
        {":u_genpwd", SMP_MUST_GENERATE},
        {"", SMP_FAIL},
    };
    for (const Row &r : rows) {
        entry("alice", std::string("u_id#1000") + r.fields);
        char *text = nullptr;
        EXPECT_EQ(smp_pw_choice(change("alice", 1000), &text), r.result) << r.fields;
        if (r.result == SMP_FAIL) {
            EXPECT_STREQ(text, "User cannot set passwords");
        }
    }
    // An account administrator's own account may be given either kind.
    entry("bob", "u_id#1001");
    grants("bob:auth\n");
    EXPECT_EQ(smp_pw_choice(change("bob", 1000), nullptr), SMP_CHOOSE_OR_GENERATE);
}

TEST_F(PasswordChoiceTest, MinimumLength) {
    struct Row {
        const char *passwd_file, *fields;
        int minimum;
    } rows[] = {
        {"", "u_id#1000", 5},
        {"", "u_id#1000:u_pwseg#1", 5},
        {"PASSLENGTH=12\n", "u_id#1000:u_pwseg#1", 8},
        {"PASSLENGTH=12\n", "u_id#1000", 12},
    };
    for (const Row &r : rows) {
        box.write("/etc/default/passwd", r.passwd_file);
        login::password_settings() = {};
        entry("alice", r.fields);
        smp_attempt *a = change("alice", 1000);
        EXPECT_EQ(login::minimum_pwlen(a->target, login::kTypedAlphabet), r.minimum) << r.fields;
    }
}

TEST_F(PasswordChoiceTest, GeneratedPasswordsKeepTheirBounds) {
    box.write("/etc/default/passwd", "PASSLENGTH=6\n");
    for (const char *maxlen : {"u_maxlen#3", "u_maxlen#9"}) {
        entry("alice", std::string("u_id#1000:u_genpwd:") + maxlen);
        char password[81] = "", *divided = nullptr;
        EXPECT_EQ(smp_generate_pw(password, &divided, change("alice", 1000)), SMP_DONE);
        size_t n = strlen(password);
        EXPECT_GE(n, 6u) << maxlen;
        EXPECT_LE(n, strcmp(maxlen, "u_maxlen#3") == 0 ? 6u : 9u) << maxlen;
        ASSERT_NE(divided, nullptr);
        EXPECT_GE(strlen(divided), n);
    }
}

}  // namespace
}  // namespace vant::test
