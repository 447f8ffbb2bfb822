// Tests of password entry on a pseudo-terminal that is the reader's
// controlling terminal, so that getpasswd finds it as /dev/tty.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

char kProgram[] = "/bin/login";
char *kArgv[] = {kProgram, nullptr};

constexpr tcflag_t kEchoFlags = ECHO | ECHOE | ECHOK | ECHONL;
constexpr int kPatienceMs = 10000;

class GetpasswdTtyTest : public SandboxTest {
  protected:
    void SetUp() override {
        ASSERT_EQ(set_auth_parameters(1, kArgv), 0);
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(unlockpt(master), 0);
        slave = ioctl(master, TIOCGPTPEER, O_RDWR | O_NOCTTY);
        ASSERT_GE(slave, 0);
        struct termios t;
        ASSERT_EQ(tcgetattr(slave, &t), 0);
        t.c_lflag |= kEchoFlags | ISIG | ICANON;
        ASSERT_EQ(tcsetattr(slave, TCSANOW, &t), 0);
    }
    void TearDown() override {
        if (reader > 0) {
            kill(reader, SIGKILL);
            waitpid(reader, nullptr, 0);
        }
        close(master);
        close(slave);
    }

    // The reader runs in a session of its own with the terminal as its
    // controlling terminal and standard error; body's result is its status.
    void start_reader(const std::function<int()> &body) {
        reader = fork();
        if (reader != 0) return;
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, STDERR_FILENO);
        close(master);
        _exit(body());
    }

    // What the terminal shows, up to and including needle.
    std::string screen_until(const std::string &needle, int patience_ms = kPatienceMs) {
        std::string seen;
        struct pollfd p = {master, POLLIN, 0};
        while (seen.find(needle) == std::string::npos && poll(&p, 1, patience_ms) > 0) {
            char buf[256];
            ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) break;
            seen.append(buf, static_cast<size_t>(n));
        }
        return seen;
    }

    void type(const std::string &keys) {
        ASSERT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    tcflag_t echo_flags() {
        struct termios t {};
        tcgetattr(slave, &t);
        return t.c_lflag & kEchoFlags;
    }

    // The reader's wait status; an interrupt that came before the read
    // began was taken and the read waits, so it is typed again.
    int finish(const std::string &nudge = "") {
        int status = 0;
        for (int waited = 0; waited < kPatienceMs; waited += 10) {
            if (waitpid(reader, &status, WNOHANG) == reader) {
                reader = 0;
                return status;
            }
            if (!nudge.empty() && waited % 1000 == 999) type(nudge);
            usleep(10 * 1000);
        }
        ADD_FAILURE() << "the reader did not finish";
        return -1;
    }

    int master = -1;
    int slave = -1;
    pid_t reader = 0;
};

TEST_F(GetpasswdTtyTest, EchoIsOffWhileReadingAndBackAfter) {
    start_reader([] {
        const char *p = getpasswd("Password:", 80);
        return p != nullptr && strcmp(p, "secret") == 0 ? 0 : 1;
    });
    ASSERT_NE(screen_until("Password:").find("Password:"), std::string::npos);
    EXPECT_EQ(echo_flags(), 0u);
    type("secret\n");
    int status = finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(screen_until("\n"), "\r\n");
    EXPECT_EQ(echo_flags(), kEchoFlags);
}

volatile sig_atomic_t handled = 0;
volatile sig_atomic_t echo_on_when_handled = 0;

void note_interrupt(int) {
    struct termios t;
    handled = handled + 1;
    if (tcgetattr(STDERR_FILENO, &t) == 0 && (t.c_lflag & ECHO)) echo_on_when_handled = 1;
}

TEST_F(GetpasswdTtyTest, InterruptReachesCallerOnlyAfterEchoIsBack) {
    start_reader([] {
        struct sigaction own {};
        own.sa_handler = note_interrupt;
        sigaction(SIGINT, &own, nullptr);
        const char *p = getpasswd("Password:", 80);
        struct sigaction now {};
        sigaction(SIGINT, nullptr, &now);
        return p != nullptr && handled > 0 && echo_on_when_handled &&
                       now.sa_handler == note_interrupt
                   ? 0
                   : 1;
    });
    screen_until("Password:");
    type("sec\x03");
    int status = finish("\x03");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(echo_flags(), kEchoFlags);
    EXPECT_EQ(screen_until("sec", 200).find("sec"), std::string::npos);
}

}  // namespace
}  // namespace vant::test
