// A system for the password programs, and their runs on a terminal. The
// programs run as the user alice (user id 1000, or the test's own user id
// when the test does not run as root), in a tree that alice owns and whose
// group auth is alice's effective group, as a site's login program would.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "login/login_fixture.h"
#include "tools/pty_session.h"

namespace vant::test {

class ToolTest : public LoginTest {
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
    void password(const std::string &name, const std::string &plain,
                  const std::string &more = "") const {
        entry(name, "u_id#" + std::to_string(name == "alice" ? alice.uid : 1001) +
                        ":u_pwd=" + bigcryptmax(plain.c_str(), "ab") + ":u_succhg#" +
                        std::to_string(time(nullptr) - 1000) + more);
    }
    // Whether the typed password is the one the entry now holds.
    static bool holds(const char *name, const std::string &plain) {
        const struct pr_passwd *pr = getprpwnam(name);
        return pr != nullptr && pr->ufld.u_pwd[0] != '\0' &&
               std::string(bigcrypt(plain.c_str(), pr->ufld.u_pwd)) == pr->ufld.u_pwd;
    }
    RunAs alice;
};

// Typing a password: echo must be off while the prompt is up.
inline void answer(PtySession &s, const std::string &prompt, const std::string &password) {
    ASSERT_TRUE(s.expect(prompt)) << s.screen();
    EXPECT_FALSE(s.echo_on()) << "echo on at " << prompt;
    s.type(password + "\n");
}

}  // namespace vant::test
