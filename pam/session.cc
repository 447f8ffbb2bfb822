// Sessions: the successful login recorded and the last-login lines shown on
// opening, the logoff audited on closing.
#include <security/pam_appl.h>
#include <stdlib.h>

#include <string>

#include "conversation.h"
#include "handle_state.h"
#include "login_target.h"
#include "module.h"
#include "result_codes.h"
#include "stage.h"

namespace vant_pam {
namespace {

bool refused(int result) {
    int code = pam_code(result);
    return code != PAM_SUCCESS && code != PAM_NEW_AUTHTOK_REQD;
}

// The attempt that authentication or the account checks made, or one made
// now only to read the last-login lines.
int login_attempt(pam_handle_t *pamh, HandleState *&s) {
    s = find_state(pamh);
    if (s != nullptr && s->request == SMP_LOGIN) return PAM_SUCCESS;
    LoginTarget target;
    int r = find_login_target(pamh, target);
    if (r != PAM_SUCCESS) return r;
    const char *text = nullptr;
    int result = begin_attempt(pamh, target, SMP_LOGIN, s, text);
    if (s == nullptr || refused(result)) return pam_code(result);
    return PAM_SUCCESS;
}

int record(pam_handle_t *pamh, HandleState &s) {
    if (!s.admitted || s.recorded) return PAM_SUCCESS;
    char *text = nullptr;
    int result = smp_record_login(s.attempt, &text);
    tell(pamh, PAM_ERROR_MSG, text);
    s.recorded = !refused(result);
    return pam_code(result);
}

void show(pam_handle_t *pamh, char *line) {
    tell(pamh, PAM_TEXT_INFO, line);
    free(line);
}

int show_last_logins(pam_handle_t *pamh, HandleState &s) {
    char *good = nullptr, *bad = nullptr;
    int result = smp_get_messages(s.attempt, &good, &bad);
    if (result != SMP_DONE) return pam_code(result);
    show(pamh, good);
    show(pamh, bad);
    return PAM_SUCCESS;
}

int open_session(pam_handle_t *pamh, int flags, const Options &) {
    HandleState *s = nullptr;
    int r = login_attempt(pamh, s);
    if (r == PAM_SUCCESS) r = record(pamh, *s);
    if (r != PAM_SUCCESS || (flags & PAM_SILENT) != 0) return r;
    return show_last_logins(pamh, *s);
}

// Closing never asks: the user is the one the session was opened for.
int close_session(pam_handle_t *pamh, int, const Options &) {
    const void *user = nullptr, *tty = nullptr;
    if (pam_get_item(pamh, PAM_USER, &user) != PAM_SUCCESS || user == nullptr)
        return PAM_SESSION_ERR;
    if (pam_get_item(pamh, PAM_TTY, &tty) != PAM_SUCCESS) tty = nullptr;
    std::string name = static_cast<const char *>(user);
    std::string path = terminal_path(static_cast<const char *>(tty));
    char *text = nullptr;
    int result = smp_audit_logoff(path.empty() ? nullptr : path.data(), name.data(), &text);
    if (result == SMP_FAIL) tell(pamh, PAM_ERROR_MSG, text);
    return pam_code(result);
}

}  // namespace
}  // namespace vant_pam

PAM_VANT_ENTRY int pam_sm_open_session(pam_handle_t *pamh, int flags, int argc, const char **argv) {
    return vant_pam::run_stage(pamh, flags, argc, argv, vant_pam::open_session);
}

PAM_VANT_ENTRY int pam_sm_close_session(pam_handle_t *pamh, int flags, int argc,
                                        const char **argv) {
    return vant_pam::run_stage(pamh, flags, argc, argv, vant_pam::close_session);
}
