// The map files: locking, loading and rewriting.
//
// A writer rewrites the file in place while it holds a write lock; a reader
// takes a read lock before it looks at anything, so it sees either a whole
// map or the remains of a writer that failed or died, which the size and
// stamp checks reject.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include "frame/map_ids.h"
#include "platform/clock.h"
#include "platform/root.h"
#include "platform/transfer.h"
#include "vant.h"

namespace vant::frame {
namespace {

constexpr int kLockTries = 3;
constexpr long kLockPauseMs = 1000;
constexpr mode_t kMapMode = 0664;
// No source yields more: every id at most once, every name cut to a line piece.
constexpr uint32_t kMaxEntries = kMaxId + 1;
constexpr uint32_t kMaxEntryBytes = 4 + kLinePiece + 1;

int set_lock(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_SETLK, &lock);
}

// Takes N and S from a map file whose size and stamp agree with them.
int read_header(int fd, const struct stat &st, const struct stat &source, IdTable &t) {
    char header[kHeaderBytes], stamp[kStampBytes];
    if (!platform::pread_all(fd, header, sizeof header, 0)) return -1;
    t.count = get32(header);
    t.bytes = get32(header + 4);
    if (t.count > kMaxEntries || t.bytes > kMaxEntries * kMaxEntryBytes) return -1;
    size_t body = body_size(t.count, t.bytes);
    if (static_cast<uint64_t>(st.st_size) != kHeaderBytes + body + kStampBytes) return -1;
    if (!platform::pread_all(fd, stamp, sizeof stamp, static_cast<off_t>(kHeaderBytes + body)))
        return -1;
    return get32(stamp) == static_cast<uint32_t>(source.st_ctime) ? 0 : -1;
}

// Reads a locked map file. A map whose status-change time is the source's
// may have been built just before a second change within that second, so it
// is not used.
int read_locked(int fd, const struct stat &source, IdTable &out) {
    struct stat st;
    IdTable t;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_ctime == source.st_ctime ||
        read_header(fd, st, source, t) != 0)
        return -1;
    size_t body = body_size(t.count, t.bytes);
    if ((t.block = static_cast<char *>(malloc(std::max<size_t>(body, 1)))) == nullptr) return -1;
    if (!platform::pread_all(fd, t.block, body, kHeaderBytes) || !table_is_sound(t)) {
        free_table(t);
        return -1;
    }
    out = t;
    return 0;
}

// Opens the map file for rewriting, creating it when absent. A new file has
// no permissions at all until it is whole, so that no unprivileged process
// opens it half-written and before its lock is taken.
int open_for_update(const char *path) {
    int fd = platform::open_file(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0);
    if (fd < 0 && errno == EEXIST) fd = platform::open_file(path, O_RDWR | O_NOFOLLOW);
    return fd;
}

}  // namespace

int lock_file(int fd, short type) {
    for (int attempt = 1;; ++attempt) {
        if (set_lock(fd, type) == 0) return 0;
        if (attempt == kLockTries) return -1;
        platform::nap(kLockPauseMs);
    }
}

void unlock_file(int fd) {
    set_lock(fd, F_UNLCK);
}

int read_file(IdMap &m, const struct stat &source) {
    // Non-blocking, so that a FIFO put in the map's place cannot hang us.
    int fd = platform::open_file(m.map_path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return -1;
    IdTable t;
    int result = -1;
    if (lock_file(fd, F_RDLCK) == 0) {
        result = read_locked(fd, source, t);
        unlock_file(fd);
    }
    close(fd);
    if (result != 0) return -1;
    free_table(m.table);
    m.table = t;
    m.stamp = source.st_ctim;
    return 0;
}

MapWriter::MapWriter(const char *path) : path_(path) {
    fd_ = open_for_update(path);
    if (fd_ < 0) return;
    if (lock_file(fd_, F_WRLCK) != 0 || ftruncate(fd_, 0) != 0) close_file();
}

MapWriter::~MapWriter() {
    close_file();
}

void MapWriter::close_file() {
    if (fd_ < 0) return;
    unlock_file(fd_);
    close(fd_);
    fd_ = -1;
}

int MapWriter::write(const IdTable &t, uint32_t stamp) {
    char header[kHeaderBytes], tail[kStampBytes];
    put32(header, t.count);
    put32(header + 4, t.bytes);
    put32(tail, stamp);
    size_t body = body_size(t.count, t.bytes);
    if (platform::pwrite_all(fd_, header, sizeof header, 0) &&
        platform::pwrite_all(fd_, t.block, body, kHeaderBytes) &&
        platform::pwrite_all(fd_, tail, sizeof tail, static_cast<off_t>(kHeaderBytes + body))) {
        struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
        futimens(fd_, times);
        return 0;
    }
    platform::unlink_file(path_);
    close_file();
    return -1;
}

void MapWriter::finish(uid_t owner, gid_t group) {
    if (fd_ < 0) return;
    // Through the descriptor, so that the file changed is the one written
    // whatever has happened to its name since.
    fchmod(fd_, kMapMode);
    // Only a privileged process can give the map to "auth"; for others the
    // map stays theirs, which is no reason to fail.
    int owned = fchown(fd_, owner, group);
    (void)owned;
    close_file();
}

}  // namespace vant::frame
