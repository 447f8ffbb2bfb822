#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "passwords/passwords_fixture.h"
#include "tools/pty_session.h"

namespace vant::test {
namespace {

constexpr tcflag_t kEchoFlags = ECHO | ECHOE | ECHOK | ECHONL;

// A stream that reads the given text and then end of file.
FILE *stream_of(const std::string &text) {
    int fds[2];
    if (pipe(fds) != 0 || write(fds[1], text.data(), text.size()) != ssize_t(text.size()))
        return nullptr;
    close(fds[1]);
    return fdopen(fds[0], "r");
}

using GetpasswdTest = PasswordsTest;

// The prompt and newline go to the out stream; nothing of a longer password
// is left after a shorter one; a stream other than stdin is closed.
TEST_F(GetpasswdTest, ReadsOneLineWithinTheLimitAndDiscardsTheRest) {
    auto r = run_child([] {
        dup2(fileno(stream_of("abcdefgh\nxyz\n" + std::string(90, 'p') + "\nnegative\ntail")),
             STDIN_FILENO);
        for (int maxlen : {3, 0, 500, -4, 80, 80}) {
            const char *p = fgetpasswd("pw:", maxlen, stdin, stdout);
            printf("[%s]%d", p, pw_was_eof());
            for (size_t i = strlen(p); i <= 80; ++i)
                printf("%s", p[i] != '\0' ? "!" : "");
        }
        FILE *in = stream_of("x\n");
        int fd = fileno(in);
        fgetpasswd("pw:", 80, in, stdout);
        setsid();  // no controlling terminal: no /dev/tty
        printf("%d%s", fcntl(fd, F_GETFD), getpasswd("pw:", 80) == nullptr ? "null" : "read");
    });
    EXPECT_EQ(r.out, "pw:\n[abc]0pw:\n[]0pw:\n[" + std::string(80, 'p') +
                         "]0pw:\n[]0pw:\n[tail]1pw:\n[]1pw:\n-1null");
}

volatile sig_atomic_t handled = 0, echo_on_when_handled = 0;

void note_interrupt(int) {
    struct termios t;
    handled = handled + 1;
    if (tcgetattr(STDERR_FILENO, &t) == 0 && (t.c_lflag & ECHO)) echo_on_when_handled = 1;
}

// Echo is off while reading; the caller's own handler sees an interrupt
// only once echo is back.
TEST_F(GetpasswdTest, EchoIsOffWhileReadingAndBackBeforeAnInterrupt) {
    PtySession s([] {
        struct termios t;
        tcgetattr(STDIN_FILENO, &t);
        t.c_lflag |= kEchoFlags;
        tcsetattr(STDIN_FILENO, TCSANOW, &t);
        struct sigaction own {
        }, now{};
        own.sa_handler = note_interrupt;
        sigaction(SIGINT, &own, nullptr);
        const char *p = getpasswd("Password:", 80);
        sigaction(SIGINT, nullptr, &now);
        return p != nullptr && handled > 0 && echo_on_when_handled &&
                       now.sa_handler == note_interrupt
                   ? 0
                   : 1;
    });
    ASSERT_TRUE(s.expect("Password:")) << s.screen();
    EXPECT_EQ(s.local_modes() & kEchoFlags, 0u);
    s.type("sec\x03");
    EXPECT_EQ(s.finish("\x03"), 0);  // an interrupt just before the read is seen at the next key
    EXPECT_EQ(s.local_modes() & kEchoFlags, kEchoFlags);
    EXPECT_EQ(s.screen().find("sec"), std::string::npos) << s.screen();
}

}  // namespace
}  // namespace vant::test
