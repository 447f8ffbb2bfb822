// Running the spelling checker on one word: the word goes in on its
// standard input, and whatever it prints means it does not know the word.
#include <string.h>
#include <sys/wait.h>

#include <string>

#include "passwords/accept_pw.h"
#include "passwords/wipe.h"
#include "platform/child_program.h"
#include "platform/root.h"

namespace vant::passwords {
namespace {

constexpr size_t kAnswerSize = 80;
constexpr size_t kDiscardLimit = 64 * 1024;

// The checker runs with a fixed environment, whatever the caller's is.
const char *const kCheckerEnvironment[] = {"PATH=/usr/bin:/bin", "H_SPELL=/dev/null", "IFS=' \t\n'",
                                           nullptr};

}  // namespace

int do_spell(const char *word) {
    const std::string program = platform::host_path(kSpellProgram);
    const char *const argv[] = {"sh", program.c_str(), nullptr};
    platform::ChildProgram checker;
    if (!checker.start({.path = "/bin/sh",
                        .argv = argv,
                        .envp = kCheckerEnvironment,
                        .input = platform::ChildStream::pipe,
                        .output = platform::ChildStream::pipe}))
        return -1;
    if (checker.send(word, strlen(word))) checker.send("\n", 1);
    checker.end_input();
    char answer[kAnswerSize];
    ssize_t n = checker.receive(answer, sizeof answer);
    // Only whether the checker answered at all matters, but one that lists
    // more than was read must not die of SIGPIPE for it, which would count as
    // a checker that cannot be run.
    if (n > 0) checker.discard(answer, sizeof answer, kDiscardLimit);
    wipe(answer, sizeof answer);  // the checker echoes the words it does not know
    int status = 0;
    checker.wait(status);
    if (WIFSIGNALED(status) || n < 0) return -1;
    return n == 0 ? 1 : 0;
}

}  // namespace vant::passwords
