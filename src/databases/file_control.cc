// Readers of the File Control database, with the built-in table for a site
// that runs without the protected files.
#include <stdlib.h>
#include <string.h>

#include "authdb/authcap.h"
#include "authdb/authdb.h"
#include "authdb/database_stream.h"
#include "databases/databases.h"
#include "databases/file_control.h"
#include "frame/frame.h"
#include "vant.h"

using namespace vant::databases;

namespace {

struct FileControlState {
    vant::authdb::DatabaseStream stream{};
    int fcdbindex = 0;
    char *builtin_copy = nullptr;  // the built-in entry last handed out
    struct pr_file *record = nullptr;
};
FileControlState state;

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

// 0, or -1 (reported, and the pass ended) when there is no memory for it.
int allocate_record() {
    if (state.record != nullptr) return 0;
    state.record = static_cast<struct pr_file *>(calloc(1, sizeof(struct pr_file)));
    if (state.record != nullptr) return 0;
    vant::frame::audit_no_memory();
    vant::databases::endprfient();
    return -1;
}

struct pr_file *decode(char *entry) {
    if (entry == nullptr || state.record == nullptr) return nullptr;
    if (read_fi_fields(&state.record->ufld, &state.record->uflg, entry) != 0) return nullptr;
    return state.record;
}

}  // namespace

namespace vant::databases {

int setprfient(void) {
    authdb::rewind_database(state.stream, VANT_OBJ_FILES);
    state.fcdbindex = 0;
    return allocate_record();
}

void endprfient(void) {
    authdb::close_database(state.stream);
    authdb::end_authcap(VANT_OBJ_FILES);
    state.fcdbindex = 0;
}

// A pass over the built-in table goes on where it stopped.
struct pr_file *getprfient(void) {
    if (state.stream.fp == nullptr) {
        authdb::ensure_open(state.stream, VANT_OBJ_FILES);
        if (allocate_record() != 0) return nullptr;
    }
    char *entry = nullptr;
    if (state.stream.fp != nullptr)
        entry = authdb::agetfile(&state.stream.filepos, state.stream.fp, nullptr);
    else if (frame::oktofaketcb())
        entry = next_builtin();
    return decode(entry);
}

struct pr_file *getprfinam(const char *path) {
    if (path == nullptr || databases::setprfient() != 0) return nullptr;
    char *entry = nullptr;
    if (state.stream.fp != nullptr)
        entry = authdb::agetfile(&state.stream.filepos, state.stream.fp, path);
    else if (frame::oktofaketcb())
        entry = find_builtin(path);
    return decode(entry);
}

}  // namespace vant::databases
