// Every flush to disk the library asks for passes through here, so that an
// operation's cost can be told in flushes and the time they take; a
// whole-machine sync would show too. Include it in one file per program.
#pragma once

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

namespace vant::bench {

struct Flushes {
    long fsyncs = 0;
    long syncs = 0;
    double seconds = 0;
};
inline Flushes flushes;

inline double elapsed(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace vant::bench

extern "C" int fsync(int fd) {
    auto start = std::chrono::steady_clock::now();
    int r = static_cast<int>(syscall(SYS_fsync, fd));
    ++vant::bench::flushes.fsyncs;
    vant::bench::flushes.seconds += vant::bench::elapsed(start);
    return r;
}

extern "C" void sync(void) {
    ++vant::bench::flushes.syncs;
    syscall(SYS_sync);
}
