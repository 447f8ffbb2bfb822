// A set-id program's return to the identity of the user who ran it.
#include <unistd.h>

#include "authdb/authdb.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "vant.h"

namespace {

constexpr int kSecurityFailureCode = 5;

int refuse(const char *action, const vant::frame::Message &message) {
    vant::frame::audit_security_failure(kSecurityFailureCode, vant::frame::starting_ruid(),
                                        getegid(), action, "Cannot implement least privilege");
    vant::frame::report(VANT_SEV_FATAL, message);
    return -1;
}

}  // namespace

namespace vant::authdb {

// The group goes first: once the user id is no longer root, setgid would
// change the effective group only and leave the privileged one saved.
int setuid_least_privilege(void) {
    frame::check_auth_parameters();
    if (frame::starting_rgid() != frame::starting_egid() && setgid(frame::starting_rgid()) != 0)
        return refuse("restore RGID on setuid program", vant::frame::msg_vant_badgidreset);
    if (frame::starting_ruid() != frame::starting_euid() && setuid(frame::starting_ruid()) != 0)
        return refuse("restore RUID on setuid program", vant::frame::msg_vant_baduidreset);
    return 0;
}

}  // namespace vant::authdb
