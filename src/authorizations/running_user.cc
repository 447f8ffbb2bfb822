// Who runs the program. Without an integrity requirement the login user id
// names the user, so that switching identity does not change who is
// accountable; with one, the real user id does, and 0 is the superuser.
#include <string.h>

#include "authorizations/grants.h"
#include "databases/databases.h"
#include "frame/frame.h"

namespace vant::authorizations {
namespace {

constexpr int kNoIntegrityRequirement = 255;

}  // namespace

char *copy_name(const char *name) {
    if (name == nullptr) return nullptr;
    char *copy = strdup(name);
    if (copy == nullptr) frame::audit_no_memory();
    return copy;
}

RunningUser running_user() {
    if (databases::integreq() == kNoIntegrityRequirement)
        return {false, frame::pw_idtoname(frame::starting_luid())};
    vant_id_t real = frame::starting_ruid();
    if (real == 0) return {true, nullptr};
    return {false, frame::pw_idtoname(real)};
}

}  // namespace vant::authorizations
