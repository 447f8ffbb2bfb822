// Password changes: the checks first (PAM_PRELIM_CHECK), then the new
// password (PAM_UPDATE_AUTHTOK).
#include <security/pam_appl.h>

#include "conversation.h"
#include "handle_state.h"
#include "module.h"
#include "new_password.h"
#include "password_entry.h"
#include "result_codes.h"
#include "stage.h"

namespace vant_pam {
namespace {

constexpr const char kOldPrompt[] = "Current password: ";
constexpr const char kTooSoon[] = "The password was changed too recently to change it again.";

// A login whose password expired or was never set changes it within its own
// attempt: the user has just been checked.
bool login_must_change(const HandleState *s) {
    return s != nullptr && s->request == SMP_LOGIN && s->admitted &&
           (s->result == SMP_PW_EXPIRED || s->result == SMP_MUST_SET_PW);
}

bool may_go_on(int checks) {
    return checks == SMP_CHECK_PW || checks == SMP_NO_CHECK || checks == SMP_MUST_SET_PW;
}

int refuse(pam_handle_t *pamh, HandleState &s, int result, const char *text, bool always) {
    tell(pamh, PAM_ERROR_MSG, text);
    smp_audit_fail(s.attempt, always ? 1 : 0);
    return pam_code(result);
}

int check_old_password(pam_handle_t *pamh, const Options &o, HandleState &s) {
    Secret old;
    int r = read_password(pamh, o, PAM_OLDAUTHTOK, kOldPrompt, old);
    if (r != PAM_SUCCESS) return r;
    if (old.size() > kMaxPassword) return refuse(pamh, s, SMP_BAD_PW, nullptr, true);
    char *text = nullptr;
    int result = smp_check_pw(old.get(), s.attempt, &text);
    if (result == SMP_PW_TOO_SOON) {
        tell(pamh, PAM_ERROR_MSG, kTooSoon);
        return PAM_AUTHTOK_ERR;
    }
    if (result != SMP_PW_OK && result != SMP_PW_EXPIRED && result != SMP_OVERRIDDEN)
        return refuse(pamh, s, result, text, false);
    tell(pamh, PAM_ERROR_MSG, text);
    return pass_on(pamh, PAM_OLDAUTHTOK, old);
}

int prepare(pam_handle_t *pamh, const Options &o) {
    HandleState *s = find_state(pamh);
    if (login_must_change(s)) {
        s->may_change = true;
        return PAM_SUCCESS;
    }
    LoginTarget target;
    int r = find_login_target(pamh, target);
    if (r != PAM_SUCCESS) return r;
    const char *text = nullptr;
    int result = begin_attempt(pamh, target, SMP_PASSWD, s, text);
    if (s == nullptr) return pam_code(result);
    if (!may_go_on(result)) return refuse(pamh, *s, result, text, false);
    char *failure = nullptr;
    result = smp_pw_change(s->attempt, &failure);
    if (result == SMP_CHECK_PW)
        r = check_old_password(pamh, o, *s);
    else
        r = result == SMP_NO_CHECK ? PAM_SUCCESS : refuse(pamh, *s, result, failure, false);
    s->may_change = r == PAM_SUCCESS;
    return r;
}

int update(pam_handle_t *pamh, const Options &o) {
    HandleState *s = find_state(pamh);
    if (s == nullptr || !s->may_change) {
        int r = prepare(pamh, o);
        if (r != PAM_SUCCESS) return r;
        s = find_state(pamh);
    }
    int r = store_new_password(pamh, o, *s);
    if (r != PAM_SUCCESS) return r;
    s->may_change = false;
    if (s->request == SMP_LOGIN) s->result = SMP_PW_OK;
    return PAM_SUCCESS;
}

int change_password(pam_handle_t *pamh, int flags, const Options &o) {
    if ((flags & PAM_CHANGE_EXPIRED_AUTHTOK) != 0 && !login_must_change(find_state(pamh)))
        return PAM_SUCCESS;
    if ((flags & PAM_PRELIM_CHECK) != 0) return prepare(pamh, o);
    if ((flags & PAM_UPDATE_AUTHTOK) != 0) return update(pamh, o);
    return PAM_SERVICE_ERR;
}

}  // namespace
}  // namespace vant_pam

PAM_VANT_ENTRY int pam_sm_chauthtok(pam_handle_t *pamh, int flags, int argc, const char **argv) {
    return vant_pam::run_stage(pamh, flags, argc, argv, vant_pam::change_password);
}
