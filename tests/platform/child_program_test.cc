#include "platform/child_program.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

namespace vant::test {
namespace {

using platform::ChildProgram;
using platform::ChildStream;

bool start_shell(ChildProgram &child, const char *command) {
    static const char *const environment[] = {"GREETING=hello", nullptr};
    const char *const argv[] = {"sh", "-c", command, nullptr};
    return child.start({.path = "/bin/sh",
                        .argv = argv,
                        .envp = environment,
                        .input = ChildStream::pipe,
                        .output = ChildStream::pipe});
}

std::string whole_reply(ChildProgram &child) {
    std::string reply;
    char buffer[64];
    for (ssize_t n; (n = child.receive(buffer, sizeof buffer)) > 0;)
        reply.append(buffer, static_cast<size_t>(n));
    return reply;
}

std::string ending(ChildProgram &child) {
    int status = 0;
    if (child.wait(status) <= 0) return "not waited for";
    return WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                             : "signal " + std::to_string(WTERMSIG(status));
}

// A child saying more than the bound, or no longer reading, can neither hold
// nor kill the caller.
TEST(ChildProgramTest, ChildThatSaysTooMuchOrNeverReadsCannotHoldOrKillTheCaller) {
    ChildProgram talker;
    ASSERT_TRUE(start_shell(talker, "while echo more; do :; done"));
    char buffer[16];
    talker.discard(buffer, sizeof buffer, 4096);
    EXPECT_NE(ending(talker), "not waited for");
    ChildProgram deaf;
    ASSERT_TRUE(start_shell(deaf, "read word; exec 0<&-; echo \"$GREETING $word\"; exit 3"));
    ASSERT_TRUE(deaf.send("world\n", 6));
    EXPECT_EQ(whole_reply(deaf), "hello world\n");
    std::string request(1 << 17, 'a');  // more than a pipe holds
    EXPECT_FALSE(deaf.send(request.data(), request.size()));
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
    EXPECT_EQ(ending(deaf), "exit 3");
}

}  // namespace
}  // namespace vant::test
