// Readers of the Device Assignment database: each entry with the device
// defaults of the System Default database beside it.
#include <stdlib.h>

#include "authdb/authdb.h"
#include "authdb/database_stream.h"
#include "databases/databases.h"
#include "databases/device_assignment.h"
#include "frame/frame.h"
#include "vant.h"

using namespace vant::databases;

namespace {

struct DeviceAssignmentState {
    vant::authdb::DatabaseStream stream;
    struct dev_asg *record;  // released by enddvagent
    // The defaults half is the same for every entry: it is decoded once a
    // pass, not read again from the System Default for each terminal.
    bool defaults_decoded;
};
constinit DeviceAssignmentState state{};

// Each half owns the lists decoded into it until it is decoded again.
int decode_half(struct v_field *fields, struct v_flag *flags, char *entry) {
    release_dv_lists(fields);
    return read_dv_fields(fields, flags, entry);
}

// The entry just read, then the first System Default entry.
struct dev_asg *decode(char *entry) {
    struct dev_asg *r = state.record;
    if (entry == nullptr || r == nullptr || decode_half(&r->ufld, &r->uflg, entry) != 0)
        return nullptr;
    if (state.defaults_decoded) return r;
    vant::databases::setprdfent();
    char *defaults = vant::authdb::agetdefault_buf();
    if (defaults == nullptr || decode_half(&r->sfld, &r->sflg, defaults) != 0) return nullptr;
    state.defaults_decoded = true;
    return r;
}

void release_record() {
    if (state.record == nullptr) return;
    release_dv_lists(&state.record->ufld);
    release_dv_lists(&state.record->sfld);
    free(state.record);
    state.record = nullptr;
}

}  // namespace

namespace vant::databases {

int setdvagent(void) {
    frame::check_auth_parameters();
    authdb::rewind_database(state.stream, VANT_OBJ_DEVASSIGN);
    state.defaults_decoded = false;
    if (state.record == nullptr) {
        state.record = static_cast<struct dev_asg *>(calloc(1, sizeof(struct dev_asg)));
        if (state.record == nullptr) {
            frame::audit_no_memory();
            databases::enddvagent();
            return -1;
        }
    }
    return 0;
}

void enddvagent(void) {
    frame::check_auth_parameters();
    authdb::close_database(state.stream);
    release_record();
    state.defaults_decoded = false;
    authdb::end_authcap(VANT_OBJ_DEVASSIGN);
}

struct dev_asg *getdvagent(void) {
    frame::check_auth_parameters();
    if (state.stream.fp == nullptr && databases::setdvagent() != 0) return nullptr;
    return decode(authdb::agetdvag(&state.stream.filepos, state.stream.fp, nullptr));
}

struct dev_asg *getdvagnam(const char *name) {
    frame::check_auth_parameters();
    if (name == nullptr || databases::setdvagent() != 0) return nullptr;
    return decode(authdb::agetdvag(&state.stream.filepos, state.stream.fp, name));
}

}  // namespace vant::databases
