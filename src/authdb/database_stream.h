// The reader's stream of a database: which file it reads, how that file
// stood when it was opened, and where the next entry starts.
#pragma once

#include <stdio.h>
#include <sys/types.h>
#include <time.h>

namespace vant::authdb {

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
// Opens the database when the stream is closed, leaving an open stream and
// its pass as they are.
void ensure_open(DatabaseStream &s, int object);
// Reads `path` from its start in place of the database.
void open_instead(DatabaseStream &s, const char *path);
void close_database(DatabaseStream &s);

}  // namespace vant::authdb
