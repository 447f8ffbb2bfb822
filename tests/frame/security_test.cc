// The security system call wrappers on the login-uid stand-in.
#include <errno.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include "platform/security_call.h"
#include "support/child.h"
#include "support/sandbox.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

class SecurityCallTest : public SandboxTest {
  protected:
    // A login uid file of the test's own, so nothing of the host changes.
    void use_loginuid(const std::string &content) {
        box.write("/loginuid", content);
        platform::set_loginuid_file_for_tests(strdup(box.path("/loginuid").c_str()));
    }
};

TEST_F(SecurityCallTest, LoginUidIsReadAndWrittenAndUnsetIsMinusOne) {
    use_loginuid("1000\n");
    EXPECT_EQ(getluid(), 1000);
    EXPECT_EQ(setluid(65536 + 1001), 0);  // only the low 16 bits are passed
    EXPECT_EQ(getluid(), 1001);
    use_loginuid("4294967295");
    EXPECT_EQ(getluid(), -1);
    ASSERT_EQ(start(box, {.program = "su"}), 0);
    EXPECT_EQ(starting_luid(), 0xFFFF);
}

TEST_F(SecurityCallTest, PrivilegeVectorsAreKeptPerProcess) {
    use_loginuid("0");
    priv_t vector = 0;
    EXPECT_EQ(getpriv(VANT_PRIV_KERNEL_AUTHS, &vector), 0);
    EXPECT_EQ(vector, 0u);
    priv_t wanted = 0x85;
    EXPECT_EQ(setpriv(VANT_PRIV_KERNEL_AUTHS, &wanted), 0);
    EXPECT_EQ(getpriv(VANT_PRIV_KERNEL_AUTHS, &vector), 0);
    EXPECT_EQ(vector, 0x85u);
    int zero = 0;
    EXPECT_EQ(chpriv(99, &wanted, 5, &zero), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(SecurityCallTest, MissingFacilityRaisesSigsys) {
    platform::set_loginuid_file_for_tests("/nonexistent/loginuid");
    auto r = run_child([] { getluid(); });
    EXPECT_EQ(r.signal, SIGSYS);
    signal(SIGSYS, SIG_IGN);
    errno = 0;
    EXPECT_EQ(setluid(5), -1);
    EXPECT_EQ(errno, ENOSYS);
}

TEST_F(SecurityCallTest, StopIoOfAMissingTerminalFails) {
    use_loginuid("0");
    EXPECT_EQ(stopio("/dev/tty99"), -1);
    EXPECT_EQ(stopio(nullptr), -1);
}

}  // namespace
}  // namespace vant::test
