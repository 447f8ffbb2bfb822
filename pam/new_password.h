// Obtaining and storing the new password of an attempt whose checks were
// passed: chosen by the user, or generated and shown.
#pragma once

#include <security/pam_modules.h>

#include "handle_state.h"
#include "options.h"

namespace vant_pam {

// A PAM result; a change refused for good is counted and audited.
int store_new_password(pam_handle_t *pamh, const Options &o, HandleState &s);

}  // namespace vant_pam
