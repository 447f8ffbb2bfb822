#include "library_start.h"

#include <security/pam_ext.h>
#include <stdlib.h>
#include <syslog.h>
#include <unistd.h>

#include "vant.h"

namespace vant_pam {
namespace {

bool set_id() {
    return getuid() != geteuid() || getgid() != getegid();
}

}  // namespace

int start_library(pam_handle_t *pamh, const Options &o) {
    static bool started = false;
    if (o.root != nullptr && set_id()) {
        pam_syslog(pamh, LOG_ERR, "root= refused in a set-id process");
        return PAM_SERVICE_ERR;
    }
    if (started) return PAM_SUCCESS;
    // The library reads the root once, at its first call.
    if (o.root != nullptr && setenv("VANT_ROOT", o.root, 1) != 0) return PAM_BUF_ERR;
    set_auth_msg(VANT_MSG_STORE | VANT_MSG_CATALOG);
    static char name[] = "pam_vant";
    static char *argv[] = {name, nullptr};
    // The library cancels a pending alarm; the application's own stays.
    unsigned pending = alarm(0);
    set_auth_parameters(1, argv);
    if (pending != 0) alarm(pending);
    started = true;
    return PAM_SUCCESS;
}

void log_library_messages(pam_handle_t *pamh) {
    char *text = nullptr;
    for (int severity; (severity = get_auth_msg(&text)) != 0;) {
        if (severity == VANT_MSG_LOST) {
            pam_syslog(pamh, LOG_ERR, "library messages lost for lack of memory");
            break;
        }
        pam_syslog(pamh, severity == VANT_SEV_FATAL ? LOG_ERR : LOG_WARNING, "%s", text);
    }
    get_auth_msg(nullptr);
}

}  // namespace vant_pam
