// Running the spelling checker on one word: the word goes in on its
// standard input, and whatever it prints means it does not know the word.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "passwords/accept_pw.h"
#include "passwords/wipe.h"
#include "platform/root.h"

namespace vant::passwords {
namespace {

constexpr size_t kAnswerSize = 80;
constexpr size_t kDiscardLimit = 64 * 1024;

// The checker runs with a fixed environment, whatever the caller's is.
const char *const kCheckerEnvironment[] = {"PATH=/usr/bin:/bin", "H_SPELL=/dev/null", "IFS=' \t\n'",
                                           nullptr};

struct Pipe {
    int fd[2] = {-1, -1};
    bool open() { return pipe2(fd, O_CLOEXEC) == 0; }
    void close_end(int i) {
        if (fd[i] >= 0) close(fd[i]);
        fd[i] = -1;
    }
    ~Pipe() {
        close_end(0);
        close_end(1);
    }
};

// The child: the two pipe ends become its standard input and output. They
// are moved above 2 first, so that neither is overwritten by the other's dup2.
[[noreturn]] void run_checker(int in, int out, const char *shell, const char *program) {
    in = fcntl(in, F_DUPFD_CLOEXEC, 3);
    out = fcntl(out, F_DUPFD_CLOEXEC, 3);
    if (in < 0 || out < 0 || dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0) _exit(1);
    const char *argv[] = {"sh", program, nullptr};
    // execve never writes its vectors; their type is older than const.
    execve(shell, const_cast<char *const *>(argv), const_cast<char *const *>(kCheckerEnvironment));
    _exit(1);
}

bool write_all(int fd, const char *data, size_t length) {
    while (length > 0) {
        ssize_t n = write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// A checker that ends before reading must not kill the caller with SIGPIPE:
// the signal is held back during the write, and one that the write raised
// is taken off again.
void write_word(int fd, const char *word) {
    sigset_t pipe_only, previous, pending;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    sigprocmask(SIG_BLOCK, &pipe_only, &previous);
    sigpending(&pending);
    bool was_pending = sigismember(&pending, SIGPIPE);
    if (write_all(fd, word, strlen(word))) write_all(fd, "\n", 1);
    struct timespec no_wait = {0, 0};
    if (!was_pending) sigtimedwait(&pipe_only, nullptr, &no_wait);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

// Only whether the checker answered at all matters, but one that lists more
// than was read must not die of SIGPIPE for it, which would count as a
// checker that cannot be run. The rest is dropped, up to a bound, so that a
// checker that never stops talking cannot hold the caller.
void discard_rest(int fd) {
    char sink[512];
    for (size_t total = 0; total < kDiscardLimit;) {
        ssize_t n = read(fd, sink, sizeof sink);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += static_cast<size_t>(n);
    }
    wipe(sink, sizeof sink);
}

int wait_for(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace

int do_spell(const char *word) {
    const std::string shell = platform::host_path("/bin/sh");
    const std::string program = platform::host_path(kSpellProgram);
    Pipe to_checker, from_checker;
    if (!to_checker.open() || !from_checker.open()) return -1;
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0)
        run_checker(to_checker.fd[0], from_checker.fd[1], shell.c_str(), program.c_str());
    to_checker.close_end(0);
    from_checker.close_end(1);
    write_word(to_checker.fd[1], word);
    to_checker.close_end(1);
    char answer[kAnswerSize];
    ssize_t n;
    do {
        n = read(from_checker.fd[0], answer, sizeof answer);
    } while (n < 0 && errno == EINTR);
    wipe(answer, sizeof answer);  // the checker echoes the words it does not know
    if (n > 0) discard_rest(from_checker.fd[0]);
    from_checker.close_end(0);
    int status = wait_for(child);
    if (WIFSIGNALED(status) || n < 0) return -1;
    return n == 0 ? 1 : 0;
}

}  // namespace vant::passwords
