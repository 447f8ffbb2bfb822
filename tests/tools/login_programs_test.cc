// vant-login and vant-passwd on a terminal. The programs run in a tree
// that alice owns and whose group auth is alice's effective group, as a
// site's login program would: vant-passwd as alice (user id 1000, or the
// test's own user id when the test does not run as root).
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "login/login_fixture.h"
#include "tools/pty_session.h"

namespace vant::test {
namespace {

class ProgramTest : public LoginTest {
  protected:
    void SetUp() override {
        LoginTest::SetUp();
        bool root = geteuid() == 0;
        alice = root ? RunAs{1000, 21} : RunAs{getuid(), getegid()};
        std::string uid = std::to_string(alice.uid), gid = std::to_string(alice.gid);
        box.write("/etc/passwd", "root:x:0:0:root:/root:/bin/sh\nalice:x:" + uid +
                                     ":100:Alice:/home/alice:/bin/sh\n"
                                     "bob:x:1001:100:Bob:/home/bob:/bin/sh\n");
        box.write("/etc/group", "root:x:0:\nauth:x:" + gid + ":\nusers:x:100:alice,bob\n");
        box.write("/dev/auditw", "");
        terminals("tty1:t_devname=tty1:chkent:\n");
        defaults("u_maxlen#8:u_pickpw:u_nullpw@:u_minchg#0:u_maxtries#3");
    }
    // The tree is handed to alice just before a program runs as alice.
    std::unique_ptr<PtySession> run(const char *program, std::vector<std::string> args,
                                    bool as_alice = false) {
        if (as_alice && geteuid() == 0) {
            for (const auto &e : std::filesystem::recursive_directory_iterator(box.root()))
                lchown(e.path().c_str(), alice.uid, alice.gid);
            lchown(box.root().c_str(), alice.uid, alice.gid);
        }
        return std::make_unique<PtySession>(program, args, as_alice ? alice : RunAs{});
    }
    std::unique_ptr<PtySession> login(std::vector<std::string> args) {
        args.insert(args.begin(), {"-t", "/dev/tty1"});
        return run(VANT_LOGIN_PROGRAM, args);
    }
    std::unique_ptr<PtySession> passwd(std::vector<std::string> args) {
        return run(VANT_PASSWD_PROGRAM, args, true);
    }
    void password(const std::string &name, const std::string &plain) const {
        entry(name, "u_id#" + std::to_string(name == "alice" ? alice.uid : 1001) +
                        ":u_pwd=" + bigcryptmax(plain.c_str(), "ab") + ":u_succhg#" +
                        std::to_string(time(nullptr) - 1000));
    }
    // Whether the typed password is the one the entry now holds.
    static bool holds(const char *name, const std::string &plain) {
        const struct pr_passwd *pr = getprpwnam(name);
        return pr != nullptr && pr->ufld.u_pwd[0] != '\0' &&
               std::string(bigcrypt(plain.c_str(), pr->ufld.u_pwd)) == pr->ufld.u_pwd;
    }
    // Runs the program and checks its status and the line it shows; bad
    // input leaves bob's entry as it was.
    void expect_refusal(const char *program, const std::vector<std::string> &args, int status,
                        const char *line, bool touches_entry = false) {
        Sandbox::Stamp before = box.stamp(entry_path("bob"));
        auto s = program == std::string(VANT_PASSWD_PROGRAM) ? passwd(args) : run(program, args);
        int ended = s->finish();
        EXPECT_TRUE(status >= 0 ? ended == status : ended != 0) << ended << s->screen();
        EXPECT_NE(s->screen().find(line), std::string::npos) << s->screen();
        EXPECT_TRUE(touches_entry || box.stamp(entry_path("bob")) == before) << line;
    }
    RunAs alice;
};

// Typing a password: echo must be off while the prompt is up.
void answer(PtySession &s, const std::string &prompt, const std::string &password) {
    ASSERT_TRUE(s.expect(prompt)) << s.screen();
    EXPECT_FALSE(s.echo_on()) << "echo on at " << prompt;
    s.type(password + "\n");
}

TEST_F(ProgramTest, FirstLoginSetsAPasswordAndTheNextLoginShowsIt) {
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

TEST_F(ProgramTest, GeneratedPasswordIsTypedBackToAcceptIt) {
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

TEST_F(ProgramTest, WrongPasswordsLockTheAccount) {
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

TEST_F(ProgramTest, UnknownUserIsAskedForAPasswordAndRefusedAlike) {
    auto s = login({"--no-exec"});
    ASSERT_TRUE(s->expect("login: ")) << s->screen();
    s->type("nobody\n");
    answer(*s, "Password:", "whatever");
    EXPECT_TRUE(s->expect("Login incorrect")) << s->screen();
    s->type("\x04");
    EXPECT_EQ(s->finish(), 15) << s->screen();
}

TEST_F(ProgramTest, SignalsAtThePasswordPromptRestoreEcho) {
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

TEST_F(ProgramTest, LoginRunsTheShellAsTheUser) {
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

TEST_F(ProgramTest, OwnPasswordNeedsTheOldOne) {
    password("alice", "Tulip-93x");
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

TEST_F(ProgramTest, AdministratorSetsAnotherUsersPassword) {
    password("alice", "Tulip-93x");
    password("bob", "Daisy-17y");
    box.write("/etc/auth/subsystems/auth", "alice:auth\n", 0640);
    auto s = passwd({"bob"});
    answer(*s, "New password:", "Orchid-42q");
    answer(*s, "Re-enter new password:", "Orchid-42r");
    ASSERT_TRUE(s->expect("The entries differ; try again.")) << s->screen();
    answer(*s, "New password:", "Orchid-42q");
    answer(*s, "Re-enter new password:", "Orchid-42q");
    EXPECT_EQ(s->finish(), 0) << s->screen();
    EXPECT_TRUE(holds("bob", "Orchid-42q"));
}

// Bad input gives one line and changes nothing; a refused change is
// recorded on the account.
TEST_F(ProgramTest, RefusalsHaveTheirMessagesAndStatuses) {
    password("alice", "Tulip-93x");
    password("bob", "Daisy-17y");
    expect_refusal(VANT_PASSWD_PROGRAM, {"bob"}, 12,
                   "vant-passwd: bob: you may not change this password", true);
    expect_refusal(VANT_PASSWD_PROGRAM, {"nobody"}, 5, "vant-passwd: nobody: no such user");
    expect_refusal(VANT_PASSWD_PROGRAM, {"bo:b"}, 2, "vant-passwd: invalid user name");
    expect_refusal(VANT_PASSWD_PROGRAM, {"alice", "bob"}, 2,
                   "vant-passwd: more than one user name");
    mirroring(true, true, "u_maxtries#3");
    expect_refusal(VANT_LOGIN_PROGRAM, {"bo:b"}, -1, "vant-login: invalid user name");
    expect_refusal(VANT_LOGIN_PROGRAM, {"--frobnicate"}, -1,
                   "vant-login: unknown option: --frobnicate");
    expect_refusal(VANT_LOGIN_PROGRAM, {"-t", "/dev/nosuch", "bob"}, -1,
                   "vant-login: bob: Cannot access terminal control");
}

}  // namespace
}  // namespace vant::test
