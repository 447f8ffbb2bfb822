#include "frame/cache_file.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <bit>

#include "platform/clock.h"
#include "platform/root.h"
#include "platform/transfer.h"

namespace vant::frame {
namespace {

constexpr long kLockPauseMs = 1000;

uint32_t little_endian(uint32_t v) {
    if constexpr (std::endian::native == std::endian::big) return __builtin_bswap32(v);
    return v;
}

uint64_t little_endian(uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) return __builtin_bswap64(v);
    return v;
}

int set_lock(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_SETLK, &lock);
}

// A new file has no permissions at all until it is whole, so that no
// unprivileged process opens it half-written and before its lock is taken.
int open_for_update(const char *path) {
    int fd = platform::open_file(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0);
    if (fd < 0 && errno == EEXIST) fd = platform::open_file(path, O_RDWR | O_NOFOLLOW);
    return fd;
}

}  // namespace

uint32_t get32(const char *p) {
    uint32_t v;
    memcpy(&v, p, sizeof v);
    return little_endian(v);
}

void put32(char *p, uint32_t v) {
    v = little_endian(v);
    memcpy(p, &v, sizeof v);
}

uint64_t get64(const char *p) {
    uint64_t v;
    memcpy(&v, p, sizeof v);
    return little_endian(v);
}

void put64(char *p, uint64_t v) {
    v = little_endian(v);
    memcpy(p, &v, sizeof v);
}

int lock_file(int fd, short type, int tries) {
    for (int attempt = 1;; ++attempt) {
        if (set_lock(fd, type) == 0) return 0;
        if (attempt >= tries) return -1;
        platform::nap(kLockPauseMs);
    }
}

void unlock_file(int fd) {
    set_lock(fd, F_UNLCK);
}

int open_cache_for_reading(const char *path) {
    return platform::open_file(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
}

CacheWriter::CacheWriter(const char *path, int lock_tries) : path_(path) {
    fd_ = open_for_update(path);
    if (fd_ < 0) return;
    if (lock_file(fd_, F_WRLCK, lock_tries) != 0 || ftruncate(fd_, 0) != 0) close_file();
}

CacheWriter::~CacheWriter() {
    close_file();
}

void CacheWriter::close_file() {
    if (fd_ < 0) return;
    unlock_file(fd_);
    close(fd_);
    fd_ = -1;
}

bool CacheWriter::write_at(const void *data, size_t length, off_t at) {
    return fd_ >= 0 && platform::pwrite_all(fd_, data, length, at);
}

void CacheWriter::discard() {
    if (fd_ < 0) return;
    platform::unlink_file(path_);
    close_file();
}

void CacheWriter::finish(mode_t mode, uid_t owner, gid_t group) {
    if (fd_ < 0) return;
    // Through the descriptor, so that the file changed is the one written
    // whatever has happened to its name since.
    fchmod(fd_, mode);
    // Only a privileged process can give a file away; for others it stays
    // theirs, which is no reason to fail.
    int owned = fchown(fd_, owner, group);
    (void)owned;
    close_file();
}

}  // namespace vant::frame
