// Preparing and releasing a terminal through the initial-conditions
// program: its arguments, and the result of each way it can end.
#include <sys/stat.h>

#include <string>

#include "login/login_fixture.h"

namespace vant::test {
namespace {

class TerminalSetupTest : public LoginTest {
  protected:
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

TEST_F(TerminalSetupTest, ArgumentsAndSuccess) {
    initcond(0);
    EXPECT_EQ(smp_setup_tty(tty.data(), &text), SMP_DONE);
    EXPECT_EQ(smp_logout_tty(tty.data(), extra.data(), &text), SMP_DONE);
    std::string log = box.read("/initcond.log");
    EXPECT_NE(log.find("initcond getty /dev/tty7\n"), std::string::npos) << log;
    EXPECT_NE(log.find("initcond init /dev/tty7 respawn\n"), std::string::npos) << log;
}

TEST_F(TerminalSetupTest, FailuresAreDescribed) {
    initcond(3);
    EXPECT_EQ(smp_setup_tty(tty.data(), &text), SMP_FAIL);
    EXPECT_STREQ(text, "/tcb/lib/initcond exit status 0x300");
    box.remove("/tcb/lib/initcond");
    EXPECT_EQ(smp_setup_tty(tty.data(), &text), SMP_FAIL);
    EXPECT_STREQ(text, "Could not execute /tcb/lib/initcond (errno 2)");
}

TEST_F(TerminalSetupTest, WithoutProtectedFilesTheTerminalGoesToRoot) {
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
