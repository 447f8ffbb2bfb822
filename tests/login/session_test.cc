// Around a session: the last-login lines, the logoff record, and the
// terminal prepared and released through the initial-conditions program.
#include <stdlib.h>
#include <time.h>

#include <string>

#include "login/attempt.h"
#include "login/login_fixture.h"

namespace vant::test {
namespace {

class SessionTest : public LoginTest {
  protected:
    std::string lines(const std::string &fields, int request = SMP_LOGIN) {
        entry("alice", "u_id#1000:u_nullpw:" + fields);
        char *good = nullptr, *bad = nullptr;
        EXPECT_EQ(smp_get_messages(check("alice", nullptr, request).attempt, &good, &bad),
                  SMP_DONE);
        std::string both = std::string(good) + "|" + bad;
        free(good);
        free(bad);
        return both;
    }
    std::string tty = "/dev/tty7", extra = "respawn";
    char *text = nullptr;
};

TEST_F(SessionTest, LastLoginLines) {
    setenv("TZ", "UTC", 1);
    tzset();
    const std::string never = "Last successful login for alice: NEVER|";
    const std::pair<const char *, std::string> rows[] = {
        {"", never + "Last unsuccessful login for alice: NEVER"},
        {"u_unsuctty=tty3", never + "Last unsuccessful login for alice: NEVER on tty3"},
        {"u_numunsuclog#1", never + " 1 unsuccessful login for alice: NEVER"},
        {"u_numunsuclog#12:u_unsuctty=tty3",
         never + "  12 unsuccessful logins for alice: NEVER on tty3"},
        {"u_suclog#86400:u_suctty=tty1",
         "Last successful login for alice: Fri Jan  2 00:00:00 1970 on tty1|Last unsuccessful "
         "login for alice: NEVER"},
    };
    for (const auto &[fields, shown] : rows)
        EXPECT_EQ(lines(fields), shown) << fields;
    EXPECT_EQ(lines("u_succhg#86400:u_numunsuclog#4:u_unsuctty=tty3:u_suctty=tty1", SMP_PASSWD),
              "Last successful password change for alice: Fri Jan  2 00:00:00 1970|"
              "Last unsuccessful password change for alice: NEVER");
}

TEST_F(SessionTest, LogoffIsRecordedOnTheTerminalAndAudited) {
    entry("alice", "u_id#1000:u_nullpw");
    terminals("tty1:t_devname=tty1:chkent:\n");
    box.write("/dev/auditw", "");
    std::string tty1 = "/dev/tty1", user = "alice", bob = "bob";
    EXPECT_EQ(smp_audit_logoff(tty1.data(), user.data(), &text), SMP_DONE);
    EXPECT_EQ(getprtcnam("tty1")->ufld.t_prevuid, 1000);
    EXPECT_NE(box.read("/dev/auditw").find("alice"), std::string::npos);
    EXPECT_EQ(smp_audit_logoff(tty1.data(), bob.data(), &text), SMP_FAIL);
    EXPECT_STREQ(text, "Cannot reread protected password entry");
}

TEST_F(SessionTest, TerminalSetupAndItsFailures) {
    std::string script = "#!/bin/sh\necho \"$0 $*\" >> " + box.path("/initcond.log") + "\nexit ";
    box.mkdir("/tcb/lib");
    box.write("/tcb/lib/initcond", script + "0\n", 0755);
    EXPECT_EQ(smp_setup_tty(tty.data(), &text), SMP_DONE);
    EXPECT_EQ(smp_logout_tty(tty.data(), extra.data(), &text), SMP_DONE);
    std::string log = box.read("/initcond.log");
    EXPECT_NE(log.find("initcond getty /dev/tty7\n"), std::string::npos) << log;
    EXPECT_NE(log.find("initcond init /dev/tty7 respawn\n"), std::string::npos) << log;
    box.write("/tcb/lib/initcond", script + "3\n", 0755);
    EXPECT_EQ(smp_setup_tty(tty.data(), &text), SMP_FAIL);
    EXPECT_STREQ(text, "/tcb/lib/initcond exit status 0x300");
    box.remove("/tcb/lib/initcond");
    EXPECT_EQ(smp_setup_tty(tty.data(), &text), SMP_FAIL);
    EXPECT_STREQ(text, "Could not execute /tcb/lib/initcond (errno 2)");
}

}  // namespace
}  // namespace vant::test
