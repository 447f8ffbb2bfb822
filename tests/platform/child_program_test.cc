// Child programs, and the transfers that carry what they are told and say.
#include "platform/child_program.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/transfer.h"

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

// How the child ended: "exit N" or "signal N".
std::string ending(ChildProgram &child) {
    int status = 0;
    if (child.wait(status) <= 0) return "not waited for";
    return WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                             : "signal " + std::to_string(WTERMSIG(status));
}

TEST(ChildProgramTest, RequestGoesInReplyAndHowTheChildEndedComeBack) {
    struct Row {
        const char *command;
        ChildStream input;
        bool talks;  // is sent a word, then the end of its input
        const char *reply, *ended;
    } rows[] = {
        {"read word; echo \"$GREETING $word\"; exit 3", ChildStream::pipe, true, "hello world\n",
         "exit 3"},
        {"cat; echo end", ChildStream::null, false, "end\n", "exit 0"},
        {"kill -KILL $$", ChildStream::pipe, false, "", "signal 9"},
    };
    for (const Row &row : rows) {
        ChildProgram child;
        ASSERT_TRUE(start_shell(child, row.command, row.input));
        if (row.talks) {
            ASSERT_TRUE(child.send("world\n", 6));
            child.end_input();
        }
        EXPECT_EQ(whole_reply(child), row.reply) << row.command;
        EXPECT_EQ(ending(child), row.ended) << row.command;
    }
}

// A child saying more than the bound, or never reading, can neither hold
// nor kill the caller.
TEST(ChildProgramTest, ChildThatSaysTooMuchOrNeverReadsCannotHoldOrKillTheCaller) {
    ChildProgram talker;
    ASSERT_TRUE(start_shell(talker, "while echo more; do :; done"));
    char buffer[16];
    talker.discard(buffer, sizeof buffer, 4096);
    EXPECT_NE(ending(talker), "not waited for");

    ChildProgram deaf;
    ASSERT_TRUE(start_shell(deaf, "exec 0<&-; echo closed"));
    EXPECT_EQ(whole_reply(deaf), "closed\n");
    std::string request(1 << 17, 'a');  // more than a pipe holds
    EXPECT_FALSE(deaf.send(request.data(), request.size()));
    sigset_t pending;
    sigpending(&pending);
    EXPECT_FALSE(sigismember(&pending, SIGPIPE));
    EXPECT_EQ(ending(deaf), "exit 0");
}

// More than a pipe holds, so both ends see short counts.
TEST(TransferTest, WholeBufferCrossesAPipeInShortPieces) {
    constexpr size_t kLarge = 1 << 18;
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::string sent(kLarge, 'x'), got(kLarge + 10, '\0');
    sent.back() = 'y';
    std::thread writer([&] {
        EXPECT_TRUE(platform::write_all(ends[1], sent.data(), sent.size()));
        close(ends[1]);
    });
    EXPECT_EQ(platform::read_full(ends[0], got.data(), got.size()), static_cast<ssize_t>(kLarge));
    writer.join();
    EXPECT_EQ(got.substr(0, kLarge), sent);
    close(ends[0]);
}

}  // namespace
}  // namespace vant::test
