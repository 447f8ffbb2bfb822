#include "stage.h"

#include "library_start.h"

namespace vant_pam {

int run_stage(pam_handle_t *pamh, int flags, int argc, const char **argv, Stage stage) {
    Options o = parse_options(pamh, argc, argv);
    int r = start_library(pamh, o);
    if (r != PAM_SUCCESS) return r;
    try {
        r = stage(pamh, flags, o);
    } catch (...) {
        r = PAM_BUF_ERR;
    }
    log_library_messages(pamh);
    return r;
}

}  // namespace vant_pam
