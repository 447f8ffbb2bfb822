// Reading System Default entries in database order, and the system's
// integrity requirement.
#include "databases/system_default.h"

#include <string.h>

#include "authdb/authdb.h"
#include "authdb/default_stream.h"
#include "databases/databases.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "vant.h"

namespace vant::databases {
namespace {

struct SystemDefaultState {
    int ignore_etc;
    ReadEnd last_end;
    char area[VANT_AUTHCAP_MAX];  // d_name is decoded here first: it may be long
};
constinit SystemDefaultState state{};

// The entry just read by the authcap reader; false when its user fields
// cannot be decoded.
bool decode(struct pr_default *record) {
    char *area = state.area;
    const char *name = authdb::agetstr("d_name", &area);
    if (name != nullptr) {
        strncpy(record->d_name, name, sizeof record->d_name - 1);
        record->d_name_present = 1;
    }
    if (databases::read_pw_fields(&record->prd, &record->prg) != 0) return false;
    databases::read_tc_fields(&record->tcd, &record->tcg);
    return true;
}

// A failed read of a stream that is open means a damaged entry; without a
// stream there is simply no database.
ReadEnd end_of(int got) {
    if (got == 0) return ReadEnd::end;
    return authdb::default_stream().stream.fp != nullptr ? ReadEnd::damaged : ReadEnd::end;
}

}  // namespace

int ignore_etc() {
    return state.ignore_etc;
}

void set_ignore_etc(int value) {
    state.ignore_etc = value;
}

ReadEnd last_read_end() {
    return state.last_end;
}

bool names_entry(const struct pr_default *record, const char *name) {
    return strncmp(record->d_name, name, VANT_DEFAULT_NAME_LEN) == 0;
}

}  // namespace vant::databases

namespace vant::databases {

struct pr_default *getprdfent(void) {
    allocate_default_record();
    int got = authdb::agetdefault();
    if (pr_default == nullptr) {
        state.last_end = ReadEnd::damaged;
        return merge_etc_default(nullptr, false);
    }
    memset(pr_default, 0, sizeof(struct pr_default));
    bool read = got == 1 && decode(pr_default);
    state.last_end = read ? ReadEnd::entry : got == 1 ? ReadEnd::damaged : end_of(got);
    return merge_etc_default(pr_default, read);
}

void disable_etc_default(void) {
    state.ignore_etc = 1;
}

void enable_etc_default(void) {
    state.ignore_etc = 0;
}

// The caller's own choice about the /etc/default values outlives the lookup.
int integreq(void) {
    int caller_choice = state.ignore_etc;
    state.ignore_etc = 1;
    const struct pr_default *entry = databases::getprdfnam(kDefaultEntry);
    state.ignore_etc = caller_choice;
    if (entry == nullptr) {
        using vant::frame::msg_vant_badread;
        using vant::frame::msg_vant_defaultsdb;
        using vant::frame::text_of;
        frame::intl_audit_no_resource(vant_defaultsdb, text_of(msg_vant_defaultsdb),
                                      VANT_OBJ_DEFAULT, vant_badread, text_of(msg_vant_badread));
        return 1;
    }
    if (!PR_ISSET(entry->prg, PR_U_INTEGRITY)) return 255;
    return static_cast<signed char>(entry->prd.u_integrity);
}

}  // namespace vant::databases
