#include "platform/transfer.h"

#include <errno.h>
#include <unistd.h>

namespace vant::platform {
namespace {

template <typename Call>
ssize_t uninterrupted(Call call) {
    ssize_t n;
    do {
        n = call();
    } while (n < 0 && errno == EINTR);
    return n;
}

// The one loop: `step(done)` moves what it can of the bytes from `done` on.
// A call that moves nothing ends the transfer short.
template <typename Step>
ssize_t transfer(size_t length, Step step) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = uninterrupted([&] { return step(done); });
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool whole(ssize_t moved, size_t length) {
    return moved >= 0 && static_cast<size_t>(moved) == length;
}

}  // namespace

bool write_all(int fd, const void *data, size_t length) {
    auto *p = static_cast<const char *>(data);
    return whole(transfer(length, [&](size_t done) { return write(fd, p + done, length - done); }),
                 length);
}

bool pwrite_all(int fd, const void *data, size_t length, off_t at) {
    auto *p = static_cast<const char *>(data);
    return whole(transfer(length,
                          [&](size_t done) {
                              return pwrite(fd, p + done, length - done,
                                            at + static_cast<off_t>(done));
                          }),
                 length);
}

bool pread_all(int fd, void *data, size_t length, off_t at) {
    auto *p = static_cast<char *>(data);
    return whole(transfer(length,
                          [&](size_t done) {
                              return pread(fd, p + done, length - done,
                                           at + static_cast<off_t>(done));
                          }),
                 length);
}

ssize_t read_full(int fd, void *data, size_t length) {
    auto *p = static_cast<char *>(data);
    return transfer(length, [&](size_t done) { return read(fd, p + done, length - done); });
}

ssize_t read_some(int fd, void *data, size_t length) {
    return uninterrupted([&] { return read(fd, data, length); });
}

}  // namespace vant::platform
