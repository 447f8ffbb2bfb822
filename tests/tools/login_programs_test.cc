// vant-login and vant-passwd on a terminal; vant-passwd runs as alice (1000,
// or the test's own user when not root) in a tree she owns, group auth hers.
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
        alice = geteuid() == 0 ? RunAs{1000, 21} : RunAs{};
        box.write("/etc/passwd",
                  "root:x:0:0:root:/root:/bin/sh\nalice:x:" + std::to_string(alice.uid) +
                      ":100:Alice:/home/alice:/bin/sh\n"
                      "bob:x:1001:100:Bob:/home/bob:/bin/sh\n");
        box.write("/etc/group",
                  "root:x:0:\nauth:x:" + std::to_string(alice.gid) + ":\nusers:x:100:alice,bob\n");
        terminals("tty1:t_devname=tty1:chkent:\n");
        defaults("u_maxlen#8:u_pickpw:u_nullpw@:u_minchg#0:u_maxtries#3");
    }
    static std::unique_ptr<PtySession> login(std::vector<std::string> args) {
        args.insert(args.begin(), {"-t", "/dev/tty1", "--no-exec"});
        return std::make_unique<PtySession>(VANT_LOGIN_PROGRAM, args);
    }
    // As alice, the tree handed to her first.
    std::unique_ptr<PtySession> passwd(const std::vector<std::string> &args) {
        if (geteuid() == 0) {
            for (const auto &e : std::filesystem::recursive_directory_iterator(box.root()))
                lchown(e.path().c_str(), alice.uid, alice.gid);
            lchown(box.root().c_str(), alice.uid, alice.gid);
        }
        return std::make_unique<PtySession>(VANT_PASSWD_PROGRAM, args, alice);
    }
    void password(const std::string &name, const std::string &plain) const {
        entry(name, "u_id#" + std::to_string(name == "alice" ? alice.uid : 1001) +
                        ":u_pwd=" + bigcryptmax(plain.c_str(), "ab") + ":u_succhg#" +
                        std::to_string(time(nullptr) - 1000));
    }
    RunAs alice;
};

// A dialogue, then the exit status: "text" waits for the text; "prompt|word"
// sees echo off at the prompt and types the word; "prompt>keys" types keys.
void converse(PtySession &s, const std::vector<std::string> &steps, int status) {
    for (const std::string &step : steps) {
        size_t at = step.find_first_of("|>");
        ASSERT_TRUE(s.expect(step.substr(0, at))) << "no " << step << " in " << s.screen();
        if (at == std::string::npos) continue;
        EXPECT_TRUE(step[at] == '>' || !s.echo_on()) << "echo on at " << step;
        s.type(step.substr(at + 1) + (step[at] == '|' ? "\n" : ""));
    }
    EXPECT_EQ(s.finish(), status) << s.screen();
}

TEST_F(ProgramTest, FirstLoginsSetAChosenOrGeneratedPasswordAndTheNextShowsTheLastLogins) {
    entry("alice", "u_id#" + std::to_string(alice.uid) + ":u_pickpw");
    converse(*login({"alice"}),
             {"You must set a new password", "New password:|abc",
              "Password rejected:", "New password:|Tulip-93x", "Re-enter new password:|Tulip-93x",
              "Shell: /bin/sh", "LOGNAME=alice"},
             0);
    converse(*login({"alice"}), {"Password:|Tulip-93x", "Last successful login for alice: NEVER"},
             0);

    entry("bob", "u_id#1001:u_pickpw@:u_genpwd");
    auto s = login({"bob"});
    ASSERT_TRUE(s->expect("Generated password: ") && s->expect(" (")) << s->screen();
    size_t start = s->screen().rfind("Generated password: ") + 20;
    std::string generated = s->screen().substr(start, s->screen().rfind(" (") - start);
    converse(*s, {"press Return for another:|" + generated}, 0);
    converse(*login({"bob"}), {"Password:|" + generated, "Shell: /bin/sh"}, 0);
}

// A signal at the prompt ends the program, echo back on; an unknown user
// is asked for a password and refused like a known one.
TEST_F(ProgramTest, SignalsAtThePasswordPromptRestoreEchoAndUnknownUsersAreRefusedAlike) {
    password("alice", "Tulip-93x");
    converse(*login({}), {"login: >nobody\n", "Password:|whatever", "Login incorrect>\x04"}, 15);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        Sandbox::Stamp before = box.stamp(entry_path("alice"));
        auto s = login({"alice"});
        ASSERT_TRUE(s->expect("Password:")) << s->screen();
        ASSERT_FALSE(s->echo_on());
        s->signal(sig);
        EXPECT_EQ(s->finish(), 128 + sig);
        EXPECT_TRUE(s->echo_on()) << "signal " << sig;
        EXPECT_EQ(box.stamp(entry_path("alice")), before);
    }
}

// One's own password needs the old one; an administrator's change of
// another's, the new one twice alike; others' are refused.
TEST_F(ProgramTest, PasswordsAreChangedByTheirOwnersAndAdministratorsAndRefusalsHaveTheirStatus) {
    password("alice", "Tulip-93x");
    password("bob", "Daisy-17y");
    converse(*passwd({}),
             {"Old password:|Tulip-93x", "New password:|Tulip-93x",
              "Password rejected: You may not re-use the same password", "New password:|Orchid-42q",
              "Re-enter new password:|Orchid-42q", "Password changed for alice."},
             0);
    converse(*login({"alice"}), {"Password:|Orchid-42q", "Shell: /bin/sh"}, 0);
    box.write("/etc/auth/subsystems/auth", "alice:auth\n", 0640);
    converse(*passwd({"bob"}),
             {"New password:|Orchid-42q", "Re-enter new password:|Orchid-42r",
              "The entries differ; try again.", "New password:|Orchid-42q",
              "Re-enter new password:|Orchid-42q"},
             0);
    converse(*login({"bob"}), {"Password:|Orchid-42q", "Shell: /bin/sh"}, 0);
    box.write("/etc/auth/subsystems/auth", "", 0640);
    // Bad input changes nothing; a refused change is recorded on the account.
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {{"bob"}, "12 vant-passwd: bob: you may not change this password"},
        {{"nobody"}, "5 vant-passwd: nobody: no such user"},
        {{"bo:b"}, "2 vant-passwd: invalid user name"},
        {{"alice", "bob"}, "2 vant-passwd: more than one user name"},
        {{"bo:b"}, "2 vant-login: invalid user name"},
        {{"--frobnicate"}, "2 vant-login: unknown option: --frobnicate"},
        {{"-t", "/dev/nosuch", "bob"}, "10 vant-login: bob: Cannot access terminal control"},
    };
    for (const auto &[args, refusal] : refusals) {
        bool by_login = refusal.find("vant-login") != std::string::npos;
        Sandbox::Stamp before = box.stamp(entry_path("bob"));
        auto s = by_login ? std::make_unique<PtySession>(VANT_LOGIN_PROGRAM, args) : passwd(args);
        converse(*s, {refusal.substr(refusal.find(' ') + 1)}, std::stoi(refusal));
        EXPECT_TRUE(std::stoi(refusal) == 12 || box.stamp(entry_path("bob")) == before) << refusal;
    }
}

}  // namespace
}  // namespace vant::test
