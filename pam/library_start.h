// Readying the library inside a process that did not start it itself.
#pragma once

#include <security/pam_modules.h>

#include "options.h"

namespace vant_pam {

// PAM_SUCCESS, or the result the entry point gives when it cannot go on.
int start_library(pam_handle_t *pamh, const Options &o);

// The library keeps its reports for the module instead of printing them on
// the caller's streams; they go to the system log.
void log_library_messages(pam_handle_t *pamh);

}  // namespace vant_pam
