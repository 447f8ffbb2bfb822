// Authentication: the account checks of a login attempt, then the password.
#include <security/pam_ext.h>
#include <syslog.h>

#include "conversation.h"
#include "handle_state.h"
#include "module.h"
#include "password_entry.h"
#include "result_codes.h"
#include "stage.h"

namespace vant_pam {
namespace {

constexpr const char kPrompt[] = "Password: ";

struct Verdict {
    int result;
    bool by_module = false;  // refused by the module, not by the services
};

bool without_password(int result) {
    return result == SMP_NO_CHECK || result == SMP_MUST_SET_PW || result == SMP_OVERRIDDEN;
}

// An unknown user and an account the module refuses are asked for a
// password too, so that the dialogue does not tell them apart.
bool asks_password(int result, const Options &o) {
    return result == SMP_CHECK_PW || result == SMP_NO_USER ||
           (without_password(result) && !o.nullok);
}

Verdict judge(HandleState &s, Secret &typed, const char *&text) {
    if (s.result == SMP_NO_USER) return {SMP_NO_USER};
    if (s.result != SMP_CHECK_PW || typed.size() > kMaxPassword) return {SMP_BAD_PW, true};
    char *failure = nullptr;
    int r = smp_check_pw(typed.get(), s.attempt, &failure);
    text = failure;
    return {r};
}

bool admits(const Verdict &v) {
    switch (v.result) {
        case SMP_PW_OK:
        case SMP_PW_TOO_SOON:
        case SMP_PW_EXPIRED:
        case SMP_NO_CHECK:
        case SMP_MUST_SET_PW:
        case SMP_OVERRIDDEN:
            return !v.by_module;
        default:
            return false;
    }
}

int conclude(pam_handle_t *pamh, const Options &o, HandleState &s, const Verdict &v,
             const char *text) {
    s.result = v.result;
    tell(pamh, PAM_ERROR_MSG, text);
    if (o.debug) pam_syslog(pamh, LOG_DEBUG, "authentication result %d", v.result);
    if (admits(v)) {
        s.admitted = true;
        return PAM_SUCCESS;
    }
    smp_audit_fail(s.attempt, v.by_module ? 1 : 0);
    if (s.delay > 0) pam_fail_delay(pamh, static_cast<unsigned>(s.delay) * 1000000u);
    return v.by_module ? PAM_AUTH_ERR : pam_code(v.result);
}

int authenticate(pam_handle_t *pamh, int, const Options &o) {
    LoginTarget target;
    int r = find_login_target(pamh, target);
    if (r != PAM_SUCCESS) return r;
    HandleState *state = nullptr;
    const char *text = nullptr;
    int result = begin_attempt(pamh, target, SMP_LOGIN, state, text);
    if (state == nullptr) return pam_code(result);
    Verdict v{result};
    if (asks_password(result, o)) {
        Secret typed;
        r = read_password(pamh, o, PAM_AUTHTOK, kPrompt, typed);
        if (r != PAM_SUCCESS) return r;
        v = judge(*state, typed, text);
        if (admits(v) && (r = pass_on(pamh, PAM_AUTHTOK, typed)) != PAM_SUCCESS) return r;
    }
    return conclude(pamh, o, *state, v, text);
}

int set_credentials(pam_handle_t *, int, const Options &) {
    return PAM_SUCCESS;
}

}  // namespace
}  // namespace vant_pam

PAM_VANT_ENTRY int pam_sm_authenticate(pam_handle_t *pamh, int flags, int argc, const char **argv) {
    return vant_pam::run_stage(pamh, flags, argc, argv, vant_pam::authenticate);
}

PAM_VANT_ENTRY int pam_sm_setcred(pam_handle_t *pamh, int flags, int argc, const char **argv) {
    return vant_pam::run_stage(pamh, flags, argc, argv, vant_pam::set_credentials);
}
