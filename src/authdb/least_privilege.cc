// A set-id program's return to the identity of the user who ran it.
#include <unistd.h>

#include "frame/messages.h"
#include "vant.h"

namespace {

constexpr int kSecurityFailureCode = 5;

int refuse(const char *action, const vant::frame::Message &message) {
    audit_security_failure(kSecurityFailureCode, starting_ruid(), getegid(), action,
                           "Cannot implement least privilege");
    vant::frame::report(VANT_SEV_FATAL, message);
    return -1;
}

}  // namespace

// The group goes first: once the user id is no longer root, setgid would
// change the effective group only and leave the privileged one saved.
extern "C" int setuid_least_privilege(void) {
    check_auth_parameters();
    if (starting_rgid() != starting_egid() && setgid(starting_rgid()) != 0)
        return refuse("restore RGID on setuid program", vant::frame::msg_vant_badgidreset);
    if (starting_ruid() != starting_euid() && setuid(starting_ruid()) != 0)
        return refuse("restore RUID on setuid program", vant::frame::msg_vant_baduidreset);
    return 0;
}
