// Readers of the Terminal Control database: each entry with the terminal
// defaults of the System Default database beside it.
#include <stdlib.h>

#include "authdb/authdb.h"
#include "authdb/database_stream.h"
#include "databases/databases.h"
#include "frame/frame.h"
#include "vant.h"

using namespace vant::databases;

namespace {

struct TerminalControlState {
    vant::authdb::DatabaseStream stream;
    struct pr_term *record;  // kept for the process
};
constinit TerminalControlState state{};

// The entry just read, then the first System Default entry.
struct pr_term *decode(int got) {
    if (got != 1 || state.record == nullptr) return nullptr;
    vant::databases::read_tc_fields(&state.record->ufld, &state.record->uflg);
    vant::databases::setprdfent();
    if (vant::authdb::agetdefault() != 1) return nullptr;
    vant::databases::read_tc_fields(&state.record->sfld, &state.record->sflg);
    return state.record;
}

}  // namespace

namespace vant::databases {

int setprtcent(void) {
    frame::check_auth_parameters();
    authdb::rewind_database(state.stream, VANT_OBJ_TTYS);
    if (state.record == nullptr) {
        state.record = static_cast<struct pr_term *>(calloc(1, sizeof(struct pr_term)));
        if (state.record == nullptr) {
            frame::audit_no_memory();
            databases::endprtcent();
            return -1;
        }
    }
    return 0;
}

void endprtcent(void) {
    frame::check_auth_parameters();
    authdb::close_database(state.stream);
    authdb::end_authcap(VANT_OBJ_TTYS);
}

struct pr_term *getprtcent(void) {
    frame::check_auth_parameters();
    if (state.stream.fp == nullptr && databases::setprtcent() != 0) return nullptr;
    return decode(authdb::agettty(&state.stream.filepos, state.stream.fp, nullptr));
}

struct pr_term *getprtcnam(const char *name) {
    frame::check_auth_parameters();
    if (name == nullptr || databases::setprtcent() != 0) return nullptr;
    return decode(authdb::agettty(&state.stream.filepos, state.stream.fp, name));
}

}  // namespace vant::databases
