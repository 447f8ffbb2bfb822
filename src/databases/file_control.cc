// Readers of the File Control database, with the built-in table for a site
// that runs without the protected files.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "authdb/authcap.h"
#include "authdb/authdb.h"
#include "databases/databases.h"
#include "databases/file_control.h"
#include "frame/frame.h"
#include "platform/root.h"
#include "vant.h"

using namespace vant::databases;

namespace {

struct FileControlState {
    FILE *fp = nullptr;
    long filepos = 0;
    // Which file the stream reads, and how it stood when opened.
    dev_t dev = 0;
    ino_t ino = 0;
    struct timespec mtime {};
    int fcdbindex = 0;
    char *builtin_copy = nullptr;  // the built-in entry last handed out
    struct pr_file *record = nullptr;
};
FileControlState state;

void close_stream() {
    if (state.fp != nullptr) fclose(state.fp);
    state.fp = nullptr;
}

void remember_stream() {
    struct stat st;
    if (fstat(fileno(state.fp), &st) != 0) return;
    state.dev = st.st_dev;
    state.ino = st.st_ino;
    state.mtime = st.st_mtim;
}

// A replacement is a new file, and may be older than the one it replaced;
// a change within the same second must still be seen.
bool stream_is_current(const char *path) {
    struct stat st;
    return path != nullptr && vant::platform::stat_file(path, &st) == 0 && st.st_dev == state.dev &&
           st.st_ino == state.ino && st.st_mtim.tv_sec == state.mtime.tv_sec &&
           st.st_mtim.tv_nsec == state.mtime.tv_nsec;
}

void open_stream() {
    vant::authdb::open_auth_file("", VANT_OBJ_FILES, &state.fp);
    if (state.fp != nullptr) remember_stream();
}

// The table itself is never altered: the decoder works on a copy.
char *copy_builtin(int index) {
    free(state.builtin_copy);
    state.builtin_copy = strdup(fakefcdb[index]);
    if (state.builtin_copy == nullptr) vant::frame::audit_no_memory();
    return state.builtin_copy;
}

char *next_builtin() {
    if (fakefcdb[state.fcdbindex] == nullptr) return nullptr;
    return copy_builtin(state.fcdbindex++);
}

char *find_builtin(const char *path) {
    state.fcdbindex = 0;
    while (fakefcdb[state.fcdbindex] != nullptr &&
           !vant::authdb::match_file(path, fakefcdb[state.fcdbindex]))
        ++state.fcdbindex;
    if (fakefcdb[state.fcdbindex] == nullptr) return nullptr;
    return copy_builtin(state.fcdbindex);
}

struct pr_file *decode(char *entry) {
    if (entry == nullptr || state.record == nullptr) return nullptr;
    if (read_fi_fields(&state.record->ufld, &state.record->uflg, entry) != 0) return nullptr;
    return state.record;
}

}  // namespace

namespace vant::databases {

int setprfient(void) {
    char *path = authdb::find_auth_file("", VANT_OBJ_FILES);
    if (state.fp != nullptr && !stream_is_current(path)) close_stream();
    free(path);
    if (state.fp == nullptr) open_stream();
    if (state.fp == nullptr) state.fcdbindex = 0;
    state.filepos = 0;
    if (state.record == nullptr) {
        state.record = static_cast<struct pr_file *>(calloc(1, sizeof(struct pr_file)));
        if (state.record == nullptr) {
            frame::audit_no_memory();
            databases::endprfient();
            return -1;
        }
    }
    return 0;
}

void endprfient(void) {
    close_stream();
    state.filepos = 0;
    authdb::end_authcap(VANT_OBJ_FILES);
    state.fcdbindex = 0;
}

struct pr_file *getprfient(void) {
    if (state.fp == nullptr) {
        int index = state.fcdbindex;
        if (databases::setprfient() != 0) return nullptr;
        state.fcdbindex = index;
    }
    char *entry = nullptr;
    if (state.fp != nullptr)
        entry = authdb::agetfile(&state.filepos, state.fp, nullptr);
    else if (frame::oktofaketcb())
        entry = next_builtin();
    return decode(entry);
}

struct pr_file *getprfinam(const char *path) {
    if (path == nullptr || databases::setprfient() != 0) return nullptr;
    char *entry = nullptr;
    if (state.fp != nullptr)
        entry = authdb::agetfile(&state.filepos, state.fp, path);
    else if (frame::oktofaketcb())
        entry = find_builtin(path);
    return decode(entry);
}

}  // namespace vant::databases
