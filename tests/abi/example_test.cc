// The C example client starts, and names its starting identity from the
// system it runs on.
#include <unistd.h>

#include <string>

#include "support/child.h"
#include "support/sandbox.h"

namespace vant::test {
namespace {

class ExampleClientTest : public SandboxTest {};

TEST_F(ExampleClientTest, PrintsStartingIdentityWithNames) {
    box.write("/etc/passwd", "admin:x:" + std::to_string(getuid()) + ":0::/:/bin/sh\n");
    box.write("/etc/group", "staff:x:" + std::to_string(getgid()) + ":\n");
    auto r = run_child([] { execl(VANT_EXAMPLE_CLIENT, "whoami_start", nullptr); });
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_NE(r.out.find("real user:      " + std::to_string(getuid()) + " (admin)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("real group:     " + std::to_string(getgid()) + " (staff)\n"),
              std::string::npos)
        << r.out;
}

}  // namespace
}  // namespace vant::test
