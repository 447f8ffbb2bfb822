// Password entry: from streams that are not terminals, and on a
// pseudo-terminal that is the reader's controlling terminal, so that
// getpasswd finds it as /dev/tty.
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "passwords/passwords_fixture.h"
#include "support/child.h"
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

TEST_F(GetpasswdTest, ReadsOneLineWithinTheLimitAndDiscardsTheRest) {
    auto r = run_child([] {
        FILE *in = stream_of("abcdefgh\nxyz\n" + std::string(90, 'p') + "\nnegative\ntail");
        dup2(fileno(in), STDIN_FILENO);
        for (int maxlen : {3, 0, 500, -4, 80, 80}) {
            printf("[%s]", fgetpasswd("pw:", maxlen, stdin, nullptr));
            printf("%d", pw_was_eof());
        }
        // Without a controlling terminal /dev/tty cannot be opened.
        setsid();
        printf("%s", getpasswd("pw:", 80) == nullptr ? "null" : "read");
    });
    EXPECT_EQ(r.out, "[abc]0[]0[" + std::string(80, 'p') + "]0[]0[tail]1[]1null");
    EXPECT_EQ(r.err, "pw:\npw:\npw:\npw:\npw:\npw:\n");
}

// The prompt and newline go to the out stream, and the in stream is
// closed. A null prompt only clears the buffer; a shorter password leaves
// nothing of a longer one.
TEST_F(GetpasswdTest, StreamsAndTheBufferClearedBeforeEachRead) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size), *in = stream_of("secret\nnot read\n");
    int fd = fileno(in);
    EXPECT_STREQ(fgetpasswd("Password: ", 80, in, out), "secret");
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
    fclose(out);
    EXPECT_EQ(std::string(text, size), "Password: \n");
    free(text);
    char *p = fgetpasswd("pw:", 80, stream_of("a-much-longer-secret"), stderr);
    EXPECT_STREQ(p, "a-much-longer-secret");
    EXPECT_EQ(pw_was_eof(), 1);
    FILE *untouched = stream_of("ab\n");
    EXPECT_EQ(fgetpasswd(nullptr, 80, untouched, nullptr), p);
    EXPECT_EQ(pw_was_eof(), 0);
    for (int i = 0; i <= 80; ++i)
        ASSERT_EQ(p[i], '\0') << i;
    fgetpasswd("pw:", 80, stream_of("a-much-longer-secret\n"), stderr);
    EXPECT_STREQ(fgetpasswd("pw:", 80, untouched, stderr), "ab");
    for (int i = 2; i <= 80; ++i)
        ASSERT_EQ(p[i], '\0') << i;
}

// The reader has the terminal as its controlling terminal, with every
// echo flag on.
std::unique_ptr<PtySession> reader(const std::function<int()> &body) {
    return std::make_unique<PtySession>([body] {
        struct termios t;
        tcgetattr(STDIN_FILENO, &t);
        t.c_lflag |= kEchoFlags;
        tcsetattr(STDIN_FILENO, TCSANOW, &t);
        return body();
    });
}

TEST_F(GetpasswdTest, OnTheTerminalEchoIsOffWhileReadingAndBackAfter) {
    auto s = reader([] {
        const char *p = getpasswd("Password:", 80);
        return p != nullptr && strcmp(p, "secret") == 0 ? 0 : 1;
    });
    ASSERT_TRUE(s->expect("Password:")) << s->screen();
    EXPECT_EQ(s->local_modes() & kEchoFlags, 0u);
    s->type("secret\n");
    EXPECT_EQ(s->finish(), 0);
    EXPECT_EQ(s->screen(), "Password:\r\n");
    EXPECT_EQ(s->local_modes() & kEchoFlags, kEchoFlags);
}

volatile sig_atomic_t handled = 0, echo_on_when_handled = 0;

void note_interrupt(int) {
    struct termios t;
    handled = handled + 1;
    if (tcgetattr(STDERR_FILENO, &t) == 0 && (t.c_lflag & ECHO)) echo_on_when_handled = 1;
}

TEST_F(GetpasswdTest, AnInterruptReachesTheCallerOnlyAfterEchoIsBack) {
    auto s = reader([] {
        struct sigaction own {
        }, now{};
        own.sa_handler = note_interrupt;
        sigaction(SIGINT, &own, nullptr);
        const char *p = getpasswd("Password:", 80);
        sigaction(SIGINT, nullptr, &now);
        bool good = p != nullptr && handled > 0 && echo_on_when_handled;
        return good && now.sa_handler == note_interrupt ? 0 : 1;
    });
    ASSERT_TRUE(s->expect("Password:")) << s->screen();
    s->type("sec\x03");
    // An interrupt that comes just before the reader blocks is seen only
    // at the next key.
    EXPECT_EQ(s->finish("\x03"), 0);
    EXPECT_EQ(s->local_modes() & kEchoFlags, kEchoFlags);
    EXPECT_EQ(s->screen().find("sec"), std::string::npos) << s->screen();
}

}  // namespace
}  // namespace vant::test
