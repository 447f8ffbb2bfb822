// The process's mirroring modes, which only client programs set, and the
// System Default fields that switch mirroring on.
#include "mirror/etc_passwd_files.h"
#include "mirror/mirror.h"
#include "vant.h"

namespace vant::mirror {
namespace {

struct Modes {
    int override_mode = OVERRIDE_NONE;
    int wait_for_lock = OPEN_WAIT_FOR_LOCK;
    int write_mode = WRITE_MIRROR;
};
constinit Modes modes;

}  // namespace

int evaluate_mirroring_fields(int *integrity, int *authority, const struct pr_field *fields,
                              const struct pr_flag *flags) {
    if (integrity != nullptr) *integrity = 0;
    if (authority != nullptr) *authority = 1;
    if (integrity == nullptr || authority == nullptr || fields == nullptr || flags == nullptr ||
        !PR_ISSET(*flags, PR_U_INTEGRITY))
        return 0;
    if (PR_ISSET(*flags, PR_U_TCBPW)) *authority = fields->u_tcbpw;
    *integrity = modes.override_mode == OVERRIDE_NO_INTEGRITY ? 0 : fields->u_integrity;
    return 1;
}

}  // namespace vant::mirror

using vant::mirror::modes;

namespace vant::mirror {

void set_override_mode(int mode) {
    modes.override_mode =
        mode >= OVERRIDE_NONE && mode <= OVERRIDE_PROTECTED_ONLY ? mode : OVERRIDE_NONE;
}

int get_override_mode(void) {
    return modes.override_mode;
}

void set_open_lock(int on) {
    if (on == OPEN_NO_WAIT || on == OPEN_WAIT_FOR_LOCK) modes.wait_for_lock = on;
}

int get_open_lock(void) {
    return modes.wait_for_lock;
}

void set_write_mode(int mode) {
    if (mode == WRITE_MIRROR || mode == WRITE_PROTECTED_ONLY) modes.write_mode = mode;
}

int get_write_mode(void) {
    return modes.write_mode;
}

}  // namespace vant::mirror
