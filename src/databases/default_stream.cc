// Opening, rewinding and closing the System Default database's stream, and
// the record that every read of it fills.
#include "databases/default_stream.h"

#include <stdlib.h>
#include <sys/stat.h>

#include "authdb/authdb.h"
#include "databases/databases.h"
#include "frame/frame.h"
#include "platform/root.h"
#include "vant.h"

namespace vant::databases {
namespace {

constinit DefaultStream state{};

void remember(DefaultStream &s) {
    struct stat st;
    if (fstat(fileno(s.default_fp), &st) != 0) st = {};
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.mtime = st.st_mtim;
}

void close_stream(DefaultStream &s) {
    if (s.default_fp != nullptr) fclose(s.default_fp);
    s.default_fp = nullptr;
}

// A writer replaces the file by renaming a new one over it, so the open
// stream is stale as soon as the path names another file, or the same
// file was changed in place.
bool still_current(const DefaultStream &s) {
    char *path = authdb::find_auth_file(nullptr, VANT_OBJ_DEFAULT);
    struct stat st;
    bool found = path != nullptr && platform::stat_file(path, &st) == 0;
    free(path);
    return found && st.st_dev == s.device && st.st_ino == s.inode &&
           st.st_mtim.tv_sec == s.mtime.tv_sec && st.st_mtim.tv_nsec == s.mtime.tv_nsec;
}

void open_database(DefaultStream &s) {
    authdb::open_auth_file(nullptr, VANT_OBJ_DEFAULT, &s.default_fp);
    if (s.default_fp != nullptr)
        remember(s);
    else
        s.fprdfpos = 0;
}

// 0, or -1 (reported, and the reader ended) when there is no memory for it.
int allocate_record() {
    if (pr_default != nullptr) return 0;
    pr_default = static_cast<struct pr_default *>(calloc(1, sizeof(struct pr_default)));
    if (pr_default != nullptr) return 0;
    frame::audit_no_memory();
    databases::endprdfent();
    return -1;
}

}  // namespace

DefaultStream &default_stream() {
    return state;
}

// A fresh stream begins a new pass: where the database is missing, the
// built-in entry is served again.
int reset_default(const char *path) {
    close_stream(state);
    state.default_fp = path != nullptr ? platform::fopen_file(path, "r") : nullptr;
    if (state.default_fp != nullptr) remember(state);
    state.default_filepos = 0;
    state.fprdfpos = 0;
    return allocate_record();
}

}  // namespace vant::databases

extern "C" {

struct pr_default *pr_default = nullptr;

}  // extern "C"

namespace vant::databases {

int setprdfent(void) {
    if (state.default_fp != nullptr && !still_current(state)) close_stream(state);
    if (state.default_fp == nullptr) open_database(state);
    state.default_filepos = 0;
    return allocate_record();
}

void endprdfent(void) {
    frame::check_auth_parameters();
    close_stream(state);
    state.default_filepos = 0;
    authdb::end_authcap(VANT_OBJ_DEFAULT);
    state.fprdfpos = 0;
}

}  // namespace vant::databases
