// Readers of the Terminal Control database: each entry with the terminal
// defaults of the System Default database beside it.
#include <stdlib.h>

#include "databases/database_stream.h"
#include "vant.h"

using namespace vant::databases;

namespace {

struct TerminalControlState {
    DatabaseStream stream;
    struct pr_term *record;  // kept for the process
};
constinit TerminalControlState state{};

// The entry just read, then the first System Default entry.
struct pr_term *decode(int got) {
    if (got != 1 || state.record == nullptr) return nullptr;
    read_tc_fields(&state.record->ufld, &state.record->uflg);
    setprdfent();
    if (agetdefault() != 1) return nullptr;
    read_tc_fields(&state.record->sfld, &state.record->sflg);
    return state.record;
}

}  // namespace

extern "C" {

int setprtcent(void) {
    check_auth_parameters();
    rewind_database(state.stream, VANT_OBJ_TTYS);
    if (state.record == nullptr) {
        state.record = static_cast<struct pr_term *>(calloc(1, sizeof(struct pr_term)));
        if (state.record == nullptr) {
            audit_no_memory();
            endprtcent();
            return -1;
        }
    }
    return 0;
}

void endprtcent(void) {
    check_auth_parameters();
    close_database(state.stream);
    end_authcap(VANT_OBJ_TTYS);
}

struct pr_term *getprtcent(void) {
    check_auth_parameters();
    if (state.stream.fp == nullptr && setprtcent() != 0) return nullptr;
    return decode(agettty(&state.stream.filepos, state.stream.fp, nullptr));
}

struct pr_term *getprtcnam(const char *name) {
    check_auth_parameters();
    if (name == nullptr || setprtcent() != 0) return nullptr;
    return decode(agettty(&state.stream.filepos, state.stream.fp, name));
}

}  // extern "C"
