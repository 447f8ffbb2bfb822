// The reader's stream of a system-wide database: which file it reads, how
// that file stood when it was opened, and where the next entry starts.
#pragma once

#include <stdio.h>
#include <sys/types.h>
#include <time.h>

namespace vant::databases {

struct DatabaseStream {
    FILE *fp;      // the open database, or null
    long filepos;  // where the next entry is read from
    dev_t device;
    ino_t inode;
    struct timespec mtime;
};

// Starts a new pass: the stream is kept when it still reads the current
// file unchanged, and opened (again) otherwise; the pass starts at 0.
void rewind_database(DatabaseStream &s, int object);
void close_database(DatabaseStream &s);

}  // namespace vant::databases
