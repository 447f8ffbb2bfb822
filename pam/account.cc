// Account management: whether the account may be used now, whether its
// password must change first.
#include <security/pam_ext.h>
#include <syslog.h>

#include "conversation.h"
#include "handle_state.h"
#include "module.h"
#include "result_codes.h"
#include "stage.h"

namespace vant_pam {
namespace {

// Without an authentication in this handle (a user who proved who they are
// by other means), the account is judged as after a matching password.
int judge_afresh(pam_handle_t *pamh, LoginTarget &target, HandleState *&s, const char *&text) {
    int result = begin_attempt(pamh, target, SMP_LOGIN, s, text);
    if (s == nullptr || result != SMP_CHECK_PW) return result;
    char *failure = nullptr;
    result = smp_check_account(s->attempt, &failure);
    text = failure;
    return result;
}

int manage_account(pam_handle_t *pamh, int, const Options &o) {
    HandleState *s = find_state(pamh);
    const char *text = nullptr;
    int result;
    if (s != nullptr && s->admitted) {
        result = s->result;
    } else {
        LoginTarget target;
        int r = find_login_target(pamh, target);
        if (r != PAM_SUCCESS) return r;
        result = judge_afresh(pamh, target, s, text);
        if (s == nullptr) return pam_code(result);
        s->result = result;
    }
    tell(pamh, PAM_ERROR_MSG, text);
    if (o.debug) pam_syslog(pamh, LOG_DEBUG, "account result %d", result);
    int code = pam_code(result);
    s->admitted = code == PAM_SUCCESS || code == PAM_NEW_AUTHTOK_REQD;
    return code;
}

}  // namespace
}  // namespace vant_pam

PAM_VANT_ENTRY int pam_sm_acct_mgmt(pam_handle_t *pamh, int flags, int argc, const char **argv) {
    return vant_pam::run_stage(pamh, flags, argc, argv, vant_pam::manage_account);
}
