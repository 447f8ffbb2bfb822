// The frame of every entry point: options, the library readied, no C++
// exception let out, the library's reports logged.
#pragma once

#include <security/pam_modules.h>

#include "options.h"

namespace vant_pam {

using Stage = int (*)(pam_handle_t *pamh, int flags, const Options &o);

int run_stage(pam_handle_t *pamh, int flags, int argc, const char **argv, Stage stage);

}  // namespace vant_pam
