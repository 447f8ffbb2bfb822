#include "platform/root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/child.h"
#include "support/sandbox.h"

namespace vant::test {
namespace {

using platform::host_path;

class RootTest : public SandboxTest {};

// Host facilities stay on the host; files opened for a database are not
// handed on to programs it runs.
TEST_F(RootTest, LogicalPathsAreTakenUnderTheRootHostFacilitiesStayOnTheHost) {
    for (const char *path : {"/etc/auth/system/pw_id_map", "/dev/tty01", "/procfile"})
        EXPECT_EQ(host_path(path), box.path(path));
    for (const char *path : {"relative/file", "/dev/null", "/dev/tty", "/proc/self/loginuid"})
        EXPECT_EQ(host_path(path), path);
    int fd = platform::open_file("/etc/new", O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);
    close(fd);
}

// The kernel marks a set-user-id process secure and the root must be ignored.
TEST_F(RootTest, SetIdProcessIgnoresTheRoot) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a set-id program";
    std::string probe = box.path("/probe");
    std::filesystem::copy_file(VANT_ROOT_PROBE, probe);
    auto plain = run_child([&] { execl(probe.c_str(), "probe", nullptr); });
    EXPECT_EQ(plain.out, box.path("/etc/passwd") + "\n/dev/null\n/proc/self/loginuid\n");
    ASSERT_EQ(chown(probe.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(probe.c_str(), 04755), 0);
    auto setid = run_child([&] { execl(probe.c_str(), "probe", nullptr); });
    EXPECT_EQ(setid.out, "/etc/passwd\n/dev/null\n/proc/self/loginuid\n") << setid.err;
}

}  // namespace
}  // namespace vant::test
