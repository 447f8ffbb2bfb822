// Tests of password entry from streams that are not terminals.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "support/child.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

char kProgram[] = "/bin/login";
char *kArgv[] = {kProgram, nullptr};

// A stream that reads the given text and then end of file.
FILE *stream_of(const std::string &text) {
    int fds[2];
    if (pipe(fds) != 0) return nullptr;
    if (write(fds[1], text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        return nullptr;
    close(fds[1]);
    return fdopen(fds[0], "r");
}

void use_as_stdin(const std::string &text) {
    FILE *in = stream_of(text);
    dup2(fileno(in), STDIN_FILENO);
    fclose(in);
}

class GetpasswdTest : public SandboxTest {
  protected:
    void SetUp() override { ASSERT_EQ(set_auth_parameters(1, kArgv), 0); }
};

TEST_F(GetpasswdTest, ReadsOneLineWithinTheLimitAndDiscardsTheRest) {
    auto r = run_child([] {
        use_as_stdin("abcdefgh\nxyz\n" + std::string(90, 'p') + "\nnegative\ntail");
        for (int maxlen : {3, 0, 500, -4, 80, 80}) {
            const char *p = fgetpasswd("pw:", maxlen, stdin, nullptr);
            printf("[%s]%d", p, pw_was_eof());
        }
    });
    EXPECT_EQ(r.out, "[abc]0[]0[" + std::string(80, 'p') + "]0[]0[tail]1[]1");
    EXPECT_EQ(r.err, "pw:\npw:\npw:\npw:\npw:\npw:\n");
}

TEST_F(GetpasswdTest, PromptAndNewlineGoToOutAndInIsClosed) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    FILE *in = stream_of("secret\nnot read\n");
    int fd = fileno(in);
    EXPECT_STREQ(fgetpasswd("Password: ", 80, in, out), "secret");
    EXPECT_EQ(pw_was_eof(), 0);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
    fclose(out);
    EXPECT_EQ(std::string(text, size), "Password: \n");
    free(text);
}

TEST_F(GetpasswdTest, NullPromptOnlyClearsTheBuffer) {
    char *p = fgetpasswd("pw:", 80, stream_of("secret"), stderr);
    EXPECT_STREQ(p, "secret");
    EXPECT_EQ(pw_was_eof(), 1);
    FILE *untouched = stream_of("more\n");
    EXPECT_EQ(fgetpasswd(nullptr, 80, untouched, nullptr), p);
    EXPECT_EQ(pw_was_eof(), 0);
    for (int i = 0; i <= 80; ++i)
        ASSERT_EQ(p[i], '\0') << i;
    EXPECT_STREQ(fgetpasswd("pw:", 80, untouched, stderr), "more");
}

TEST_F(GetpasswdTest, ShorterPasswordLeavesNothingOfTheLongerOne) {
    char *p = fgetpasswd("pw:", 80, stream_of("a-much-longer-secret\n"), stderr);
    fgetpasswd("pw:", 80, stream_of("ab\n"), stderr);
    EXPECT_STREQ(p, "ab");
    for (int i = 2; i <= 80; ++i)
        ASSERT_EQ(p[i], '\0') << i;
}

TEST_F(GetpasswdTest, NoTerminalGivesNull) {
    auto r = run_child([] {
        setsid();  // no controlling terminal: /dev/tty cannot be opened
        printf("%s", getpasswd("pw:", 80) == nullptr ? "null" : "read");
    });
    EXPECT_EQ(r.out, "null");
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace vant::test
