// The last-login lines a login program prints, the logoff record and the
// test whether an account belongs to a person.
#include <stdlib.h>
#include <time.h>

#include <string>

#include "login/attempt.h"
#include "login/login_fixture.h"

namespace vant::test {
namespace {

class LoginMessagesTest : public LoginTest {
  protected:
    void SetUp() override {
        LoginTest::SetUp();
        setenv("TZ", "UTC", 1);
        tzset();
    }
    smp_attempt *start(const char *user, int request = SMP_LOGIN) {
        return check(user, nullptr, request).attempt;
    }
    std::pair<std::string, std::string> lines(const std::string &fields, int request = SMP_LOGIN) {
        entry("alice", "u_id#1000:u_nullpw:" + fields);
        char *good = nullptr, *bad = nullptr;
        EXPECT_EQ(smp_get_messages(start("alice", request), &good, &bad), SMP_DONE);
        std::pair<std::string, std::string> both{good, bad};
        free(good);
        free(bad);
        return both;
    }
    static std::string when(time_t t) {
        char text[128];
        strftime(text, sizeof text, "%c", gmtime(&t));
        return text;
    }
};

TEST_F(LoginMessagesTest, FailureLineFollowsCountAndTerminal) {
    struct Row {
        const char *fields;
        std::string failure;
    } rows[] = {
        {"", "Last unsuccessful login for alice: NEVER"},
        {"u_unsuctty=tty3", "Last unsuccessful login for alice: NEVER on tty3"},
        {"u_numunsuclog#1", " 1 unsuccessful login for alice: NEVER"},
        {"u_numunsuclog#1:u_unsuctty=tty3", " 1 unsuccessful login for alice: NEVER on tty3"},
        {"u_numunsuclog#12:u_unsuctty=tty3", "  12 unsuccessful logins for alice: NEVER on tty3"},
        {"u_numunsuclog#12", "  12 unsuccessful logins for alice: NEVER"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(lines(r.fields).second, r.failure) << r.fields;
}

TEST_F(LoginMessagesTest, SuccessLineShowsTimeAndTerminal) {
    EXPECT_EQ(lines("").first, "Last successful login for alice: NEVER");
    EXPECT_EQ(lines("u_suclog#86400:u_suctty=tty1").first,
              "Last successful login for alice: " + when(86400) + " on tty1");
}

TEST_F(LoginMessagesTest, PasswordChangesSpeakOfChangesOnly) {
    auto both = lines("u_succhg#86400:u_numunsuclog#4:u_unsuctty=tty3:u_suctty=tty1", SMP_PASSWD);
    EXPECT_EQ(both.first, "Last successful password change for alice: " + when(86400));
    EXPECT_EQ(both.second, "Last unsuccessful password change for alice: NEVER");
}

TEST_F(LoginMessagesTest, LogoffIsRecordedOnTheTerminalAndAudited) {
    entry("alice", "u_id#1000:u_nullpw");
    terminals("tty1:t_devname=tty1:chkent:\n");
    box.write("/dev/auditw", "");
    std::string tty = "/dev/tty1", user = "alice", nobody = "nobody";
    char *text = nullptr;
    EXPECT_EQ(smp_audit_logoff(tty.data(), user.data(), &text), SMP_DONE);
    const pr_term *t = getprtcnam("tty1");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->ufld.t_prevuid, 1000);
    EXPECT_TRUE(PR_T_ISSET(t->uflg, PR_T_PREVTIME));
    EXPECT_NE(box.read("/dev/auditw").find("alice"), std::string::npos);
    EXPECT_EQ(smp_audit_logoff(nullptr, user.data(), &text), SMP_DONE);
    EXPECT_EQ(smp_audit_logoff(tty.data(), nobody.data(), &text), SMP_NO_USER);
    EXPECT_EQ(smp_audit_logoff(tty.data(), nullptr, &text), SMP_DONE);
    std::string bob = "bob";
    EXPECT_EQ(smp_audit_logoff(tty.data(), bob.data(), &text), SMP_FAIL);
    EXPECT_STREQ(text, "Cannot reread protected password entry");
}

TEST_F(LoginMessagesTest, IndividualAccounts) {
    struct Row {
        const char *fields;
        int individual;
    } rows[] = {
        {"u_id#1000", 1}, {"u_id#1000:u_type=admin", 0}, {"u_id#1000:u_type=general", 1},
        {"u_id#0", 0},    {"u_type=general", 1},
    };
    for (const Row &r : rows) {
        entry("alice", r.fields);
        smp_attempt *a = start("alice");
        EXPECT_EQ(smp_user_is_individual(a), r.individual) << r.fields;
    }
    EXPECT_EQ(smp_user_is_individual(nullptr), 0);
}

}  // namespace
}  // namespace vant::test
