// The map files: loading and rewriting (cache_file.h says how they are
// shared between processes).
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include "frame/map_ids.h"
#include "platform/transfer.h"
#include "vant.h"

namespace vant::frame {
namespace {

constexpr mode_t kMapMode = 0664;
// No source yields more: every id at most once, every name cut to a line piece.
constexpr uint32_t kMaxEntries = kMaxId + 1;
constexpr uint32_t kMaxEntryBytes = 4 + kLinePiece + 1;

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

}  // namespace

int read_file(IdMap &m, const struct stat &source) {
    int fd = open_cache_for_reading(m.map_path);
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

MapWriter::MapWriter(const char *path) : file_(path) {}

int MapWriter::write(const IdTable &t, uint32_t stamp) {
    char header[kHeaderBytes], tail[kStampBytes];
    put32(header, t.count);
    put32(header + 4, t.bytes);
    put32(tail, stamp);
    size_t body = body_size(t.count, t.bytes);
    if (file_.write_at(header, sizeof header, 0) && file_.write_at(t.block, body, kHeaderBytes) &&
        file_.write_at(tail, sizeof tail, static_cast<off_t>(kHeaderBytes + body))) {
        struct timespec times[2] = {{stamp, 0}, {stamp, 0}};
        futimens(file_.fd(), times);
        return 0;
    }
    file_.discard();
    return -1;
}

void MapWriter::finish(uid_t owner, gid_t group) {
    file_.finish(kMapMode, owner, group);
}

}  // namespace vant::frame
