// A password as the user typed it: from an earlier module of the stack when
// the options say so, else asked with echo off.
#pragma once

#include <security/pam_modules.h>

#include "options.h"
#include "secret.h"

namespace vant_pam {

// item is PAM_AUTHTOK or PAM_OLDAUTHTOK.
int read_password(pam_handle_t *pamh, const Options &o, int item, const char *prompt,
                  Secret &password);

// Stores a copy for the modules after this one.
int pass_on(pam_handle_t *pamh, int item, const Secret &password);

}  // namespace vant_pam
