// The System Default database's stream, shared by the authcap reader (which
// reads entries from it, or serves the built-in entry in its place) and by
// the System Default records.
#pragma once

#include <stdio.h>
#include <sys/types.h>
#include <time.h>

namespace vant::databases {

struct DefaultStream {
    FILE *default_fp;      // the open database, or null
    long default_filepos;  // where the next entry is read from
    int fprdfpos;          // built-in entries served in this pass
    // The file that was opened, and its modification time then.
    dev_t device;
    ino_t inode;
    struct timespec mtime;
};

DefaultStream &default_stream();

// Reads `path` from its start in place of the database, as a new pass;
// 0, or -1 when the record cannot be allocated.
int reset_default(const char *path);

}  // namespace vant::databases
