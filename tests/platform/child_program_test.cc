#include "platform/child_program.h"

#include <signal.h>
#include <sys/wait.h>

#include <string>

#include <gtest/gtest.h>

namespace vant::test {
namespace {

using platform::ChildProgram;
using platform::ChildStream;

// Runs a shell command with pipes on both streams.
bool start_shell(ChildProgram &child, const char *command, ChildStream input = ChildStream::pipe) {
    static const char *const environment[] = {"GREETING=hello", nullptr};
    const char *const argv[] = {"sh", "-c", command, nullptr};
    return child.start({.path = "/bin/sh",
                        .argv = argv,
                        .envp = environment,
                        .input = input,
                        .output = ChildStream::pipe});
}

std::string whole_reply(ChildProgram &child) {
    std::string reply;
    char buffer[64];
    for (ssize_t n; (n = child.receive(buffer, sizeof buffer)) > 0;)
        reply.append(buffer, static_cast<size_t>(n));
    return reply;
}

TEST(ChildProgramTest, RequestGoesInReplyAndHowTheChildEndedComeBack) {
    struct Row {
        const char *command;
        ChildStream input;
        bool talks;  // is sent a word, then the end of its input
        const char *reply;
        bool exited;
        int code;  // the exit status or the signal
    } rows[] = {
        {"read word; echo \"$GREETING $word\"; exit 3", ChildStream::pipe, true, "hello world\n",
         true, 3},
        {"cat; echo end", ChildStream::null, false, "end\n", true, 0},
        {"kill -KILL $$", ChildStream::pipe, false, "", false, SIGKILL},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.command);
        ChildProgram child;
        ASSERT_TRUE(start_shell(child, row.command, row.input));
        if (row.talks) {
            ASSERT_TRUE(child.send("world\n", 6));
            child.end_input();
        }
        EXPECT_EQ(whole_reply(child), row.reply);
        int status = 0;
        ASSERT_GT(child.wait(status), 0);
        ASSERT_EQ(WIFEXITED(status) != 0, row.exited);
        EXPECT_EQ(row.exited ? WEXITSTATUS(status) : WTERMSIG(status), row.code);
    }
}

TEST(ChildProgramTest, ChildSayingMoreThanTheBoundCannotHoldTheCaller) {
    ChildProgram child;
    ASSERT_TRUE(start_shell(child, "while echo more; do :; done"));
    char buffer[16];
    child.discard(buffer, sizeof buffer, 4096);
    int status = 0;
    EXPECT_GT(child.wait(status), 0);
}

TEST(ChildProgramTest, ChildThatNeverReadsCannotKillTheCaller) {
    ChildProgram child;
    ASSERT_TRUE(start_shell(child, "exec 0<&-; echo closed"));
    EXPECT_EQ(whole_reply(child), "closed\n");
    std::string request(1 << 17, 'a');  // more than a pipe holds
    EXPECT_FALSE(child.send(request.data(), request.size()));
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
    int status = 0;
    ASSERT_GT(child.wait(status), 0);
    EXPECT_TRUE(WIFEXITED(status));
}

}  // namespace
}  // namespace vant::test
