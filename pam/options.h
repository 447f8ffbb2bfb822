// The module's options from the service file.
#pragma once

#include <security/pam_modules.h>

namespace vant_pam {

struct Options {
    bool debug = false;
    bool use_first_pass = false;
    bool try_first_pass = false;
    bool nullok = false;
    const char *root = nullptr;  // tests only
};

// Unknown options are logged and passed over.
Options parse_options(pam_handle_t *pamh, int argc, const char **argv);

}  // namespace vant_pam
