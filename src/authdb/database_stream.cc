#include "authdb/database_stream.h"

#include <sys/stat.h>

#include "authdb/authdb.h"
#include "platform/root.h"

namespace vant::authdb {
namespace {

void remember(DatabaseStream &s) {
    struct stat st;
    if (fstat(fileno(s.fp), &st) != 0) st = {};
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.mtime = st.st_mtim;
}

// A writer renames a new file over the database, and the new file may be
// older than the one it replaced; a change within the same second must
// still be seen.
bool still_current(const DatabaseStream &s, int object) {
    OwnedText path = authdb::find_auth_file(nullptr, object);
    struct stat st;
    bool found = path != nullptr && platform::stat_file(path.get(), &st) == 0;
    return found && st.st_dev == s.device && st.st_ino == s.inode &&
           st.st_mtim.tv_sec == s.mtime.tv_sec && st.st_mtim.tv_nsec == s.mtime.tv_nsec;
}

}  // namespace

void rewind_database(DatabaseStream &s, int object) {
    if (s.fp != nullptr && !still_current(s, object)) close_database(s);
    ensure_open(s, object);
    s.filepos = 0;
}

void ensure_open(DatabaseStream &s, int object) {
    if (s.fp != nullptr) return;
    authdb::open_auth_file(nullptr, object, &s.fp);
    if (s.fp != nullptr) remember(s);
    s.filepos = 0;
}

void open_instead(DatabaseStream &s, const char *path) {
    close_database(s);
    s.fp = path != nullptr ? platform::fopen_file(path, "r") : nullptr;
    if (s.fp != nullptr) remember(s);
}

void close_database(DatabaseStream &s) {
    if (s.fp != nullptr) fclose(s.fp);
    s.fp = nullptr;
    s.filepos = 0;
}

}  // namespace vant::authdb
