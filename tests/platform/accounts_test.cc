#include "platform/accounts.h"

#include "support/sandbox.h"

namespace vant::test {
namespace {

using Names = std::vector<std::string>;

class AccountsTest : public SandboxTest {};

TEST_F(AccountsTest, UsersAndGroupsComeFromTheRoot) {
    struct passwd *pw = platform::getpwnam("alice");
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(pw->pw_uid, 1000u);
    EXPECT_STREQ(pw->pw_dir, "/home/alice");
    ASSERT_NE(pw = platform::getpwuid(7), nullptr);
    EXPECT_STREQ(pw->pw_name, "auth");
    struct group *gr = platform::getgrnam("users");
    ASSERT_NE(gr, nullptr);
    EXPECT_EQ(gr->gr_gid, 100u);
    ASSERT_NE(gr->gr_mem[0], nullptr);
    EXPECT_STREQ(gr->gr_mem[1], "bob");
    for (int round = 0; round < 2; ++round) {  // the enumeration rewinds
        Names groups;
        platform::setgrent();
        while (struct group *g = platform::getgrent())
            groups.push_back(g->gr_name);
        EXPECT_EQ(groups, (Names{"root", "daemon", "auth", "users"}));
    }
    platform::endgrent();
}

// The enumeration skips NIS inclusion lines; without the file there are
// no accounts.
TEST_F(AccountsTest, EnumerationSkipsNisInclusionLines) {
    box.write("/etc/passwd",
              std::string(kDefaultPasswd) + "+carol::::::\n-dave\nerin:x:1002:100::/:/bin/sh\n");
    Names names;
    platform::setpwent();
    while (struct passwd *pw = platform::getpwent())
        names.push_back(pw->pw_name);
    platform::endpwent();
    EXPECT_EQ(names, (Names{"root", "daemon", "auth", "alice", "bob", "erin"}));
    EXPECT_EQ(platform::getpwnam("+carol"), nullptr);
    box.remove("/etc/passwd");
    EXPECT_EQ(platform::getpwnam("root"), nullptr);
    platform::setpwent();
    EXPECT_EQ(platform::getpwent(), nullptr);
    platform::endpwent();
}

}  // namespace
}  // namespace vant::test
