#include "platform/child_program.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <utility>

#include "platform/root.h"
#include "platform/transfer.h"

namespace vant::platform {
namespace {

struct Pipe {
    Descriptor read;
    Descriptor write;
};

bool open_pipe(ChildStream kind, Pipe &made) {
    if (kind != ChildStream::pipe) return true;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    made.read.reset(ends[0]);
    made.write.reset(ends[1]);
    return true;
}

// The descriptor that is to become a child's stream, moved above 2 so that
// setting up one stream never overwrites the source of the other; -1 when
// it cannot be had.
int stream_source(ChildStream kind, int pipe_end) {
    int fd = kind == ChildStream::null ? open_file("/dev/null", O_RDWR) : pipe_end;
    return fd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

[[noreturn]] void run_child(const ChildCommand &command, int input, int output) {
    const ChildStream kinds[] = {command.input, command.output};
    int sources[] = {-1, -1};
    for (int target : {STDIN_FILENO, STDOUT_FILENO})
        if (kinds[target] != ChildStream::inherited &&
            (sources[target] = stream_source(kinds[target], target == 0 ? input : output)) < 0)
            _exit(1);
    for (int target : {STDIN_FILENO, STDOUT_FILENO})
        if (sources[target] >= 0 && dup2(sources[target], target) < 0) _exit(1);
    if (command.in_child != nullptr) command.in_child();
    // exec never writes its vectors; their type is older than const.
    exec_program(command.path, const_cast<char *const *>(command.argv),
                 const_cast<char *const *>(command.envp));
    _exit(command.exec_failed != nullptr ? command.exec_failed(errno) : 1);
}

// A child that ends before reading must not kill the caller with SIGPIPE:
// the signal is held back during the write, and one that the write raised
// is taken off again.
bool write_holding_sigpipe(int fd, const void *data, size_t length) {
    sigset_t pipe_only, previous, pending;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    sigprocmask(SIG_BLOCK, &pipe_only, &previous);
    sigpending(&pending);
    bool was_pending = sigismember(&pending, SIGPIPE);
    bool written = write_all(fd, data, length);
    struct timespec no_wait = {0, 0};
    if (!was_pending) sigtimedwait(&pipe_only, nullptr, &no_wait);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return written;
}

}  // namespace

ChildProgram::~ChildProgram() {
    int status;
    wait(status);
}

bool ChildProgram::start(const ChildCommand &command) {
    Pipe in, out;
    pid_t child = -1;
    if (open_pipe(command.input, in) && open_pipe(command.output, out)) {
        // Output still buffered would otherwise come after the program's own.
        fflush(stdout);
        fflush(stderr);
        child = fork();
    }
    if (child == 0) run_child(command, in.read.get(), out.write.get());
    if (child < 0) return false;
    pid_ = child;
    input_ = std::move(in.write);
    output_ = std::move(out.read);
    return true;
}

bool ChildProgram::send(const void *data, size_t length) {
    return input_.is_open() && write_holding_sigpipe(input_.get(), data, length);
}

void ChildProgram::end_input() {
    input_.reset();
}

ssize_t ChildProgram::receive(void *buffer, size_t size) {
    return output_.is_open() ? read_some(output_.get(), buffer, size) : -1;
}

bool ChildProgram::output_ready(int milliseconds) {
    if (!output_.is_open()) return false;
    struct pollfd p = {output_.get(), POLLIN, 0};
    int n;
    while ((n = poll(&p, 1, milliseconds)) < 0 && errno == EINTR) {
    }
    return n > 0;
}

void ChildProgram::discard(void *buffer, size_t size, size_t limit) {
    for (size_t total = 0; total < limit;) {
        ssize_t n = receive(buffer, size);
        if (n <= 0) break;
        total += static_cast<size_t>(n);
    }
}

// A signal caught while waiting must not leave the caller running beside
// the program it is meant to wait for.
pid_t ChildProgram::wait(int &status) {
    input_.reset();
    output_.reset();
    if (pid_ < 0) return -1;
    pid_t result;
    do {
        result = waitpid(pid_, &status, 0);
    } while (result < 0 && errno == EINTR);
    pid_ = -1;
    return result;
}

}  // namespace vant::platform
