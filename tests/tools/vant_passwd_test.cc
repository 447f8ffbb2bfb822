// vant-passwd on a terminal, run as alice: her own password (the old one
// first), another user's with and without the authorization, and bad
// input.
#include <string>

#include "tools/tool_fixture.h"

namespace vant::test {
namespace {

class VantPasswdTest : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        password("alice", "Tulip-93x");
        password("bob", "Daisy-17y");
    }
    void grant_auth() const { box.write("/etc/auth/subsystems/auth", "alice:auth\n", 0640); }
};

TEST_F(VantPasswdTest, OwnPasswordNeedsTheOldOne) {
    auto s = passwd({});
    answer(*s, "Old password:", "Tulip-93x");
    answer(*s, "New password:", "Tulip-93x");
    ASSERT_TRUE(s->expect("Password rejected: You may not re-use the same password"))
        << s->screen();
    answer(*s, "New password:", "Orchid-42q");
    answer(*s, "Re-enter new password:", "Orchid-42q");
    EXPECT_TRUE(s->expect("Password changed for alice.")) << s->screen();
    EXPECT_EQ(s->finish(), 0) << s->screen();
    EXPECT_TRUE(holds("alice", "Orchid-42q"));
}

TEST_F(VantPasswdTest, AdministratorSetsAnotherUsersPassword) {
    grant_auth();
    auto s = passwd({"bob"});
    answer(*s, "New password:", "Orchid-42q");
    answer(*s, "Re-enter new password:", "Orchid-42r");
    ASSERT_TRUE(s->expect("The entries differ; try again.")) << s->screen();
    answer(*s, "New password:", "Orchid-42q");
    answer(*s, "Re-enter new password:", "Orchid-42q");
    EXPECT_EQ(s->finish(), 0) << s->screen();
    EXPECT_TRUE(holds("bob", "Orchid-42q"));
}

TEST_F(VantPasswdTest, RefusalsHaveTheirMessagesAndStatuses) {
    struct Row {
        std::vector<std::string> args;
        int status;
        const char *line;
    } rows[] = {
        {{"bob"}, 12, "vant-passwd: bob: you may not change this password"},
        {{"nobody"}, 5, "vant-passwd: nobody: no such user"},
        {{"bo:b"}, 2, "vant-passwd: invalid user name"},
        {{"alice", "bob"}, 2, "vant-passwd: more than one user name"},
    };
    for (const Row &r : rows) {
        Sandbox::Stamp before = box.stamp(entry_path("bob"));
        auto s = passwd(r.args);
        EXPECT_EQ(s->finish(), r.status) << s->screen();
        EXPECT_NE(s->screen().find(r.line), std::string::npos) << s->screen();
        // A refused change is recorded on the account; bad input touches nothing.
        if (r.status != 12) {
            EXPECT_EQ(box.stamp(entry_path("bob")), before);
        }
    }
}

}  // namespace
}  // namespace vant::test
