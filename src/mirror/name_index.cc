// The name index files. Layout (integers little-endian):
//   header: magic, flags, the source's device, inode, size and modification
//           time (seconds, nanoseconds), bucket count B, record bytes R;
//   B + 1 bucket starts, byte offsets into the records;
//   R bytes of records, each a 16-bit name length, the 64-bit offset of
//           the line, then the name; in a bucket, sorted by name and offset.
// A lookup reads the header, its bucket's bounds and the bucket's records.
#include "mirror/name_index.h"

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "frame/cache_file.h"
#include "mirror/etc_passwd_format.h"
#include "platform/clock.h"
#include "platform/descriptor.h"
#include "platform/root.h"
#include "platform/transfer.h"

namespace vant::mirror {
namespace {

struct IndexedFile {
    const char *source;
    const char *index;
    mode_t mode;
};
constexpr IndexedFile kIndexedFiles[] = {
    {kPasswdPath, "/etc/auth/system/pw_name_index", 0644},
    {kShadowPath, "/etc/auth/system/sh_name_index", 0600},
};

constexpr uint32_t kMagic = 0x32584e56;
constexpr uint32_t kEscapeLines = 1;    // the source has NIS "+" or "-" lines
constexpr uint32_t kBlankLedLines = 2;  // some line begins with a blank

constexpr size_t kFlagsAt = 4, kDevAt = 8, kInoAt = 16, kSizeAt = 24, kSecondsAt = 32,
                 kNanosAt = 40, kBucketsAt = 44, kRecordBytesAt = 48, kHeaderBytes = 52;
constexpr size_t kRecordHead = 2 + 8;

// The line finder keeps this much of a line; a first field is matched
// within it.
constexpr size_t kKeptMax = 1022;
constexpr size_t kMaxName = 255;  // longer names are not indexed
constexpr uint32_t kMaxBucketBytes = 1u << 20;
// A file changed this recently may still be in the middle of an edit that
// its coarse modification time would not show.
constexpr time_t kSettleSeconds = 1;

const IndexedFile *indexed_file(const char *path) {
    for (const IndexedFile &f : kIndexedFiles)
        if (strcmp(f.source, path) == 0) return &f;
    return nullptr;
}

bool indexable(std::string_view name) {
    return !name.empty() && name.size() <= kMaxName && name.find_first_of(":\n") == name.npos &&
           name.find('\0') == name.npos;
}

bool settled(const struct stat &source) {
    return source.st_mtim.tv_sec < platform::now() - kSettleSeconds;
}

void put_stamp(char *header, const struct stat &source) {
    frame::put64(header + kDevAt, source.st_dev);
    frame::put64(header + kInoAt, source.st_ino);
    frame::put64(header + kSizeAt, static_cast<uint64_t>(source.st_size));
    frame::put64(header + kSecondsAt, static_cast<uint64_t>(source.st_mtim.tv_sec));
    frame::put32(header + kNanosAt, static_cast<uint32_t>(source.st_mtim.tv_nsec));
}

bool stamped_by(const char *header, const struct stat &source) {
    char expected[kHeaderBytes];
    put_stamp(expected, source);
    return memcmp(header + kDevAt, expected + kDevAt, kBucketsAt - kDevAt) == 0;
}

// Only a file of our own or root's, at its mode, is believed: anyone else
// could point a name at another of its lines.
bool trusted(const struct stat &st, mode_t mode) {
    return S_ISREG(st.st_mode) && (st.st_mode & 07777) == mode && st.st_nlink == 1 &&
           (st.st_uid == 0 || st.st_uid == geteuid());
}

uint32_t bucket_of(std::string_view name, uint32_t buckets) {
    return name_hash(name) % buckets;
}

// --- reading

enum class Probe { found, absent, stale, declined };

struct Wanted {
    std::string_view name;
    uint64_t position;
    uint64_t source_size;
    IndexReader reader;
};

// Walks one bucket's records; anything out of place makes the index stale.
Probe search_bucket(const char *records, size_t length, uint32_t bucket, uint32_t buckets,
                    const Wanted &w, uint64_t &offset) {
    bool seen = false, after = false;
    uint64_t previous = 0;
    for (size_t at = 0; at < length;) {
        if (length - at < kRecordHead) return Probe::stale;
        size_t name_length = static_cast<unsigned char>(records[at]) |
                             static_cast<size_t>(static_cast<unsigned char>(records[at + 1])) << 8;
        uint64_t line = frame::get64(records + at + 2);
        std::string_view name(records + at + kRecordHead, name_length);
        at += kRecordHead + name_length;
        if (at > length || !indexable(name) || bucket_of(name, buckets) != bucket ||
            line >= w.source_size)
            return Probe::stale;
        if (name != w.name) continue;
        if (seen && line <= previous) return Probe::stale;
        if (!seen) offset = line;
        if (!after && line >= w.position) offset = line, after = true;
        seen = true;
        previous = line;
    }
    return seen ? Probe::found : Probe::absent;
}

Probe probe_locked(int fd, const IndexedFile &f, const struct stat &source, const Wanted &w,
                   uint64_t &offset) {
    struct stat st;
    char header[kHeaderBytes];
    if (fstat(fd, &st) != 0 || !trusted(st, f.mode) ||
        !platform::pread_all(fd, header, sizeof header, 0) || frame::get32(header) != kMagic ||
        !stamped_by(header, source))
        return Probe::stale;
    uint32_t buckets = frame::get32(header + kBucketsAt);
    uint32_t bytes = frame::get32(header + kRecordBytesAt);
    off_t records_at = static_cast<off_t>(kHeaderBytes + 4 * (uint64_t{buckets} + 1));
    if (buckets == 0 || static_cast<uint64_t>(st.st_size) != records_at + uint64_t{bytes})
        return Probe::stale;
    uint32_t flags = frame::get32(header + kFlagsAt);
    if ((flags & kEscapeLines) != 0 ||
        (w.reader == IndexReader::entry_parser && (flags & kBlankLedLines) != 0))
        return Probe::declined;
    uint32_t bucket = bucket_of(w.name, buckets);
    char bounds[8];
    if (!platform::pread_all(fd, bounds, sizeof bounds,
                             static_cast<off_t>(kHeaderBytes + 4 * uint64_t{bucket})))
        return Probe::stale;
    uint32_t lo = frame::get32(bounds), hi = frame::get32(bounds + 4);
    if (lo > hi || hi > bytes || hi - lo > kMaxBucketBytes) return Probe::stale;
    std::unique_ptr<char[]> records(new (std::nothrow) char[hi - lo + 1]);
    if (records == nullptr) return Probe::declined;
    if (!platform::pread_all(fd, records.get(), hi - lo, records_at + lo)) return Probe::stale;
    return search_bucket(records.get(), hi - lo, bucket, buckets, w, offset);
}

Probe probe(const IndexedFile &f, const struct stat &source, const Wanted &w, uint64_t &offset) {
    platform::Descriptor fd(frame::open_cache_for_reading(f.index));
    if (!fd.is_open()) return Probe::stale;
    // A rebuild under way is not waited for: the scan is as good. Closing
    // the descriptor releases the lock.
    if (frame::lock_file(fd.get(), F_RDLCK, 1) != 0) return Probe::declined;
    return probe_locked(fd.get(), f, source, w, offset);
}

// --- building

struct Key {
    uint32_t bucket;
    std::string_view name;
    uint64_t offset;
    bool operator<(const Key &o) const {
        if (bucket != o.bucket) return bucket < o.bucket;
        if (name != o.name) return name < o.name;
        return offset < o.offset;
    }
};

// The first field of each line as the line finder would match it: up to
// the first ":" or NUL within the part of the line it keeps.
std::string_view first_field(std::string_view line) {
    line = line.substr(0, std::min(line.size(), kKeptMax));
    return line.substr(0, line.find_first_of(std::string_view(":\0", 2)));
}

struct Parsed {
    std::vector<Key> keys;
    uint32_t flags = 0;
};

Parsed parse_source(std::string_view text) {
    Parsed p;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == text.npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && (line[0] == '+' || line[0] == '-')) p.flags |= kEscapeLines;
        if (!line.empty() && std::string_view(" \t\v\f\r").find(line[0]) != line.npos)
            p.flags |= kBlankLedLines;
        std::string_view name = first_field(line);
        if (indexable(name)) p.keys.push_back({0, name, at});
        at = end + 1;
    }
    return p;
}

std::string encode(Parsed &p, const struct stat &source) {
    uint32_t buckets = static_cast<uint32_t>(std::max<size_t>(1, p.keys.size() / 2));
    for (Key &k : p.keys)
        k.bucket = bucket_of(k.name, buckets);
    std::sort(p.keys.begin(), p.keys.end());
    std::string table(4 * (size_t{buckets} + 1), '\0'), records;
    size_t next = 0;
    for (uint32_t b = 0; b <= buckets; ++b) {
        frame::put32(table.data() + 4 * b, static_cast<uint32_t>(records.size()));
        for (; next < p.keys.size() && p.keys[next].bucket == b; ++next) {
            const Key &k = p.keys[next];
            char head[kRecordHead] = {static_cast<char>(k.name.size() & 0xff),
                                      static_cast<char>(k.name.size() >> 8)};
            frame::put64(head + 2, k.offset);
            records.append(head, sizeof head).append(k.name);
        }
    }
    char header[kHeaderBytes] = {};
    frame::put32(header, kMagic);
    frame::put32(header + kFlagsAt, p.flags);
    put_stamp(header, source);
    frame::put32(header + kBucketsAt, buckets);
    frame::put32(header + kRecordBytesAt, static_cast<uint32_t>(records.size()));
    return std::string(header, sizeof header) + table + records;
}

// The whole source as `fd` has it, and only if it did not change meanwhile.
bool read_source(int fd, const struct stat &source, std::string &text) {
    text.resize(static_cast<size_t>(source.st_size));
    struct stat after;
    return platform::pread_all(fd, text.data(), text.size(), 0) && fstat(fd, &after) == 0 &&
           same_state(source, after);
}

// An index left by anyone else is removed, not rewritten: its owner might
// still hold it open for writing.
void remove_foreign(const IndexedFile &f) {
    struct stat st;
    if (platform::lstat_file(f.index, &st) == 0 &&
        (!S_ISREG(st.st_mode) || st.st_nlink != 1 || (st.st_uid != 0 && st.st_uid != geteuid())))
        platform::unlink_file(f.index);
}

// Only the file now at the path is indexed: a stream still open on a
// replaced file would leave an index that the next process finds stale.
bool rebuild(const IndexedFile &f, int fd, const struct stat &source) {
    struct stat named;
    if (platform::stat_file(f.source, &named) != 0 || !same_state(named, source) ||
        source.st_size > UINT32_MAX)
        return false;
    remove_foreign(f);
    frame::CacheWriter out(f.index, 1);
    if (!out.is_open()) return false;
    try {
        std::string text;
        if (!read_source(fd, source, text)) {
            out.discard();
            return false;
        }
        Parsed parsed = parse_source(text);
        std::string file = encode(parsed, source);
        if (file.size() > UINT32_MAX || !out.write_at(file.data(), file.size(), 0)) {
            out.discard();
            return false;
        }
    } catch (const std::bad_alloc &) {
        out.discard();
        return false;
    }
    out.finish(f.mode, static_cast<uid_t>(-1), static_cast<gid_t>(-1));
    return true;
}

IndexAnswer answer(Probe p) {
    return p == Probe::found    ? IndexAnswer::line
           : p == Probe::absent ? IndexAnswer::no_line
                                : IndexAnswer::unknown;
}

}  // namespace

bool same_state(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

uint32_t name_hash(std::string_view name) {
    uint32_t h = 2166136261u;
    for (char c : name)
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h;
}

void distrust_index(const char *path) {
    if (const IndexedFile *f = indexed_file(path)) platform::unlink_file(f->index);
}

IndexAnswer indexed_line(const char *path, int fd, const struct stat &source, std::string_view name,
                         uint64_t position, uint64_t &offset, IndexReader reader) {
    const IndexedFile *f = indexed_file(path);
    if (f == nullptr || !indexable(name) || !settled(source)) return IndexAnswer::unknown;
    Wanted w{name, position, static_cast<uint64_t>(source.st_size), reader};
    Probe p = probe(*f, source, w, offset);
    if (p == Probe::stale && rebuild(*f, fd, source)) p = probe(*f, source, w, offset);
    return answer(p);
}

}  // namespace vant::mirror
