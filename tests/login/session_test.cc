// Around a session: the last-login lines a login program prints, the
// logoff record, whether an account belongs to a person, and the terminal
// prepared and released through the initial-conditions program.
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <string>

#include "login/attempt.h"
#include "login/login_fixture.h"

namespace vant::test {
namespace {

class SessionTest : public LoginTest {
  protected:
    void SetUp() override {
        LoginTest::SetUp();
        setenv("TZ", "UTC", 1);
        tzset();
    }
    std::pair<std::string, std::string> lines(const std::string &fields, int request = SMP_LOGIN) {
        entry("alice", "u_id#1000:u_nullpw:" + fields);
        char *good = nullptr, *bad = nullptr;
        EXPECT_EQ(smp_get_messages(check("alice", nullptr, request).attempt, &good, &bad),
                  SMP_DONE);
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
    void initcond(int status) {
        box.mkdir("/tcb/lib");
        box.write("/tcb/lib/initcond",
                  "#!/bin/sh\necho \"$0 $*\" >> " + box.path("/initcond.log") + "\nexit " +
                      std::to_string(status) + "\n",
                  0755);
    }
    std::string tty = "/dev/tty7", extra = "respawn";
    char *text = nullptr;
};

TEST_F(SessionTest, LastLoginLines) {
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
    EXPECT_EQ(lines("").first, "Last successful login for alice: NEVER");
    EXPECT_EQ(lines("u_suclog#86400:u_suctty=tty1").first,
              "Last successful login for alice: " + when(86400) + " on tty1");
    // Password changes speak of changes only.
    auto both = lines("u_succhg#86400:u_numunsuclog#4:u_unsuctty=tty3:u_suctty=tty1", SMP_PASSWD);
    EXPECT_EQ(both.first, "Last successful password change for alice: " + when(86400));
    EXPECT_EQ(both.second, "Last unsuccessful password change for alice: NEVER");
}

TEST_F(SessionTest, LogoffIsRecordedOnTheTerminalAndAudited) {
    entry("alice", "u_id#1000:u_nullpw");
    terminals("tty1:t_devname=tty1:chkent:\n");
    box.write("/dev/auditw", "");
    std::string tty1 = "/dev/tty1", user = "alice", nobody = "nobody", bob = "bob";
    EXPECT_EQ(smp_audit_logoff(tty1.data(), user.data(), &text), SMP_DONE);
    const pr_term *t = getprtcnam("tty1");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->ufld.t_prevuid, 1000);
    EXPECT_TRUE(PR_T_ISSET(t->uflg, PR_T_PREVTIME));
    EXPECT_NE(box.read("/dev/auditw").find("alice"), std::string::npos);
    EXPECT_EQ(smp_audit_logoff(nullptr, user.data(), &text), SMP_DONE);
    EXPECT_EQ(smp_audit_logoff(tty1.data(), nobody.data(), &text), SMP_NO_USER);
    EXPECT_EQ(smp_audit_logoff(tty1.data(), nullptr, &text), SMP_DONE);
    EXPECT_EQ(smp_audit_logoff(tty1.data(), bob.data(), &text), SMP_FAIL);
    EXPECT_STREQ(text, "Cannot reread protected password entry");
}

TEST_F(SessionTest, IndividualAccounts) {
    struct Row {
        const char *fields;
        int individual;
    } rows[] = {
        {"u_id#1000", 1}, {"u_id#1000:u_type=admin", 0}, {"u_id#1000:u_type=general", 1},
        {"u_id#0", 0},    {"u_type=general", 1},
    };
    for (const Row &r : rows) {
        entry("alice", r.fields);
        EXPECT_EQ(smp_user_is_individual(check("alice", nullptr).attempt), r.individual)
            << r.fields;
    }
    EXPECT_EQ(smp_user_is_individual(nullptr), 0);
}

TEST_F(SessionTest, TerminalSetupAndItsFailures) {
    initcond(0);
    EXPECT_EQ(smp_setup_tty(tty.data(), &text), SMP_DONE);
    EXPECT_EQ(smp_logout_tty(tty.data(), extra.data(), &text), SMP_DONE);
    std::string log = box.read("/initcond.log");
    EXPECT_NE(log.find("initcond getty /dev/tty7\n"), std::string::npos) << log;
    EXPECT_NE(log.find("initcond init /dev/tty7 respawn\n"), std::string::npos) << log;
    initcond(3);
    EXPECT_EQ(smp_setup_tty(tty.data(), &text), SMP_FAIL);
    EXPECT_STREQ(text, "/tcb/lib/initcond exit status 0x300");
    box.remove("/tcb/lib/initcond");
    EXPECT_EQ(smp_setup_tty(tty.data(), &text), SMP_FAIL);
    EXPECT_STREQ(text, "Could not execute /tcb/lib/initcond (errno 2)");
}

TEST_F(SessionTest, WithoutProtectedFilesTheTerminalGoesToRoot) {
    box.write("/etc/default/security", "TCBFILES=OFF\n");
    box.write("/dev/tty7", "", 0600);
    EXPECT_EQ(smp_setup_tty(tty.data(), &text), SMP_DONE);
    struct stat st;
    ASSERT_EQ(stat(box.path("/dev/tty7").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0622u);
    EXPECT_EQ(st.st_uid, 0u);
}

}  // namespace
}  // namespace vant::test
