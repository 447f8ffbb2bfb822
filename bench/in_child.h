// Runs a measurement in a child process, for what must not touch the
// benchmark's own process (a root fixed for the process, a chroot, an
// identity change), and hands its figures back through a pipe.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <type_traits>

namespace vant::bench {

// `measure()`'s result, or `failed` when the child gives none.
template <typename T, typename Measure>
T in_child(T failed, Measure measure) {
    static_assert(std::is_trivially_copyable_v<T>);
    int fds[2];
    if (pipe(fds) != 0) abort();
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        T value = measure();
        _exit(write(fds[1], &value, sizeof value) == sizeof value ? 0 : 1);
    }
    close(fds[1]);
    T value = failed;
    if (read(fds[0], &value, sizeof value) != sizeof value) value = failed;
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return value;
}

}  // namespace vant::bench
