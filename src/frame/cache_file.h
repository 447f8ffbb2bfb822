// The files the library keeps as caches of a source file (the id maps, the
// name indexes of /etc/passwd and /etc/shadow): their integers, their
// whole-file locks, and how they are opened and rewritten in place.
//
// A writer rewrites a cache file in place while it holds a write lock; a
// reader takes a read lock before it looks at anything, so it sees either a
// whole file or the remains of a writer that failed or died, which its own
// checks of size and stamp reject.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

namespace vant::frame {

// Integers in cache files are little-endian and unaligned.
uint32_t get32(const char *p);
void put32(char *p, uint32_t v);
uint64_t get64(const char *p);
void put64(char *p, uint64_t v);

inline constexpr int kPatientLockTries = 3;

// Takes (type F_RDLCK or F_WRLCK) a lock of the whole file, with up to
// `tries` attempts a second apart; 0 or -1.
int lock_file(int fd, short type, int tries = kPatientLockTries);
void unlock_file(int fd);

// Opens a cache file for reading without following a link, and without
// blocking, so that a FIFO put in its place cannot hang us; -1 when absent.
int open_cache_for_reading(const char *path);

// A cache file, open and write-locked, emptied, while it is rewritten.
class CacheWriter {
  public:
    explicit CacheWriter(const char *path, int lock_tries = kPatientLockTries);
    ~CacheWriter();
    CacheWriter(const CacheWriter &) = delete;
    CacheWriter &operator=(const CacheWriter &) = delete;

    // False when the file cannot be had.
    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool write_at(const void *data, size_t length, off_t at);
    // Removes the unfinished file, unlocks and closes it.
    void discard();
    // Gives the finished file its mode and owner (-1 keeps one), unlocks
    // and closes it.
    void finish(mode_t mode, uid_t owner, gid_t group);

  private:
    void close_file();
    const char *path_;
    int fd_ = -1;
};

}  // namespace vant::frame
