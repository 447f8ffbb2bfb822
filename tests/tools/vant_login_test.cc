// vant-login on a terminal: a first login that sets a password, a login
// with the last-login lines, wrong passwords locking the account, signals
// at the password prompt, and bad input.
#include <signal.h>

#include <string>

#include "tools/tool_fixture.h"

namespace vant::test {
namespace {

using VantLoginTest = ToolTest;

TEST_F(VantLoginTest, FirstLoginSetsAPasswordAndTheNextLoginShowsIt) {
    entry("alice", "u_id#" + std::to_string(alice.uid) + ":u_pickpw");
    auto first = login({"--no-exec", "alice"});
    ASSERT_TRUE(first->expect("You must set a new password")) << first->screen();
    answer(*first, "New password:", "abc");
    ASSERT_TRUE(first->expect("Password rejected:")) << first->screen();
    answer(*first, "New password:", "Tulip-93x");
    answer(*first, "Re-enter new password:", "Tulip-93x");
    ASSERT_TRUE(first->expect("Shell: /bin/sh")) << first->screen();
    EXPECT_TRUE(first->expect("LOGNAME=alice")) << first->screen();
    EXPECT_EQ(first->finish(), 0) << first->screen();
    EXPECT_TRUE(holds("alice", "Tulip-93x"));

    auto next = login({"--no-exec", "alice"});
    answer(*next, "Password:", "Tulip-93x");
    EXPECT_TRUE(next->expect("Last successful login for alice: NEVER")) << next->screen();
    EXPECT_TRUE(next->expect("Last unsuccessful login for alice:")) << next->screen();
    EXPECT_EQ(next->finish(), 0) << next->screen();
}

TEST_F(VantLoginTest, GeneratedPasswordIsTypedBackToAcceptIt) {
    entry("alice", "u_id#" + std::to_string(alice.uid) + ":u_pickpw@:u_genpwd");
    auto s = login({"--no-exec", "alice"});
    ASSERT_TRUE(s->expect("Generated password: ")) << s->screen();
    ASSERT_TRUE(s->expect(" (")) << s->screen();
    std::string shown = s->screen();
    size_t start = shown.rfind("Generated password: ") + 20;
    std::string generated = shown.substr(start, shown.rfind(" (") - start);
    answer(*s, "press Return for another:", generated);
    EXPECT_EQ(s->finish(), 0) << s->screen();
    EXPECT_TRUE(holds("alice", generated)) << generated;
}

TEST_F(VantLoginTest, WrongPasswordsLockTheAccount) {
    password("alice", "Tulip-93x");
    auto s = login({"--no-exec", "alice"});
    for (const char *wrong : {"guess1", "guess2", "guess3"}) {
        answer(*s, "Password:", wrong);
        EXPECT_TRUE(s->expect("Login incorrect")) << s->screen();
    }
    EXPECT_EQ(s->finish(), 6) << s->screen();
    EXPECT_NE(box.read(entry_path("alice")).find("u_numunsuclog#3"), std::string::npos);
    auto locked = login({"--no-exec", "alice"});
    answer(*locked, "Password:", "Tulip-93x");
    EXPECT_EQ(locked->finish(), 7) << locked->screen();
    EXPECT_NE(locked->screen().find("vant-login: alice: account locked"), std::string::npos)
        << locked->screen();
}

TEST_F(VantLoginTest, UnknownUserIsAskedForAPasswordAndRefusedAlike) {
    auto s = login({"--no-exec"});
    ASSERT_TRUE(s->expect("login: ")) << s->screen();
    s->type("nobody\n");
    answer(*s, "Password:", "whatever");
    EXPECT_TRUE(s->expect("Login incorrect")) << s->screen();
    s->type("\x04");
    EXPECT_EQ(s->finish(), 15) << s->screen();
}

TEST_F(VantLoginTest, SignalsAtThePasswordPromptRestoreEcho) {
    password("alice", "Tulip-93x");
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        Sandbox::Stamp before = box.stamp(entry_path("alice"));
        auto s = login({"--no-exec", "alice"});
        ASSERT_TRUE(s->expect("Password:")) << s->screen();
        ASSERT_FALSE(s->echo_on());
        s->signal(sig);
        EXPECT_EQ(s->finish(), 128 + sig);
        EXPECT_TRUE(s->echo_on()) << "signal " << sig;
        EXPECT_EQ(box.stamp(entry_path("alice")), before);
    }
}

TEST_F(VantLoginTest, BadInputGivesOneLineAndChangesNothing) {
    password("alice", "Tulip-93x");
    Sandbox::Stamp before = box.stamp(entry_path("alice"));
    struct Row {
        std::vector<std::string> args;
        const char *line;
    } rows[] = {
        {{"al:ice"}, "vant-login: invalid user name"},
        {{"--frobnicate"}, "vant-login: unknown option: --frobnicate"},
        {{"-t", "/dev/nosuch", "alice"}, "vant-login: alice: Cannot access terminal control"},
    };
    mirroring(true, true, "u_maxtries#3");
    for (const Row &r : rows) {
        auto s = run(VANT_LOGIN_PROGRAM, r.args);
        EXPECT_NE(s->finish(), 0) << s->screen();
        EXPECT_NE(s->screen().find(r.line), std::string::npos) << s->screen();
    }
    EXPECT_EQ(box.stamp(entry_path("alice")), before);
}

TEST_F(VantLoginTest, LoginRunsTheShellAsTheUser) {
    if (geteuid() != 0) GTEST_SKIP() << "changing identities needs root";
    password("alice", "Tulip-93x");
    auto s = login({"alice"});
    answer(*s, "Password:", "Tulip-93x");
    ASSERT_TRUE(s->expect("Last successful login for alice:")) << s->screen();
    s->type("echo \"uid=$(id -u) home=$HOME\"; exit 3\n");
    EXPECT_TRUE(s->expect("uid=1000 home=/home/alice")) << s->screen();
    EXPECT_EQ(s->finish(), 3) << s->screen();
    EXPECT_NE(box.read(entry_path("alice")).find("u_suclog#"), std::string::npos);
}

}  // namespace
}  // namespace vant::test
