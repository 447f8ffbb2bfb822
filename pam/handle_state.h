// What one PAM handle keeps between the module's calls: the attempt of the
// login services and how far it got.
#pragma once

#include <security/pam_modules.h>

#include "login_target.h"
#include "vant.h"

namespace vant_pam {

struct HandleState {
    smp_attempt *attempt = nullptr;
    int request = SMP_LOGIN;
    int result = SMP_FAIL;    // what the last stage found
    int delay = 0;            // the terminal's login delay, in seconds
    int retries = 0;          // proposals of a new password left
    bool admitted = false;    // authentication or the account checks let the user in
    bool may_change = false;  // the checks before a password change were passed
    bool recorded = false;    // the successful login is on record
};

// Null when no attempt was begun with this handle.
HandleState *find_state(pam_handle_t *pamh);

// Runs the account checks of a new attempt and keeps it with the handle in
// place of an earlier one. Gives the result of the checks and their failure
// text.
int begin_attempt(pam_handle_t *pamh, LoginTarget &target, int request, HandleState *&state,
                  const char *&text);

}  // namespace vant_pam
