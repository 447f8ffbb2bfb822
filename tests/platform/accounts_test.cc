#include "platform/accounts.h"

#include "support/sandbox.h"

namespace vant::test {
namespace {

using Names = std::vector<std::string>;

class AccountsTest : public SandboxTest {};

// Accounts come from the root; the enumeration skips NIS inclusion lines.
TEST_F(AccountsTest, UsersAndGroupsComeFromTheRoot) {
    EXPECT_STREQ(platform::getpwuid(7)->pw_name, "auth");
    EXPECT_STREQ(platform::getgrnam("users")->gr_mem[1], "bob");
    box.write("/etc/passwd", std::string(kDefaultPasswd) + "+carol::::::\n-dave\n");
    for (int round = 0; round < 2; ++round) {  // the enumeration rewinds
        Names names;
        platform::setpwent();
        while (struct passwd *p = platform::getpwent())
            names.push_back(p->pw_name);
        EXPECT_EQ(names, (Names{"root", "daemon", "auth", "alice", "bob"}));
    }
    platform::endpwent();
    EXPECT_EQ(platform::getpwnam("+carol"), nullptr);
}

}  // namespace
}  // namespace vant::test
