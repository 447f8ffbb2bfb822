// Checking the password a user types at login.
#include <string.h>

#include <string>

#include "authdb/authdb.h"
#include "frame/frame.h"
#include "login/attempt.h"
#include "login/fail_message.h"
#include "login/login.h"
#include "passwords/passwords.h"
#include "platform/clock.h"

namespace vant::login {
namespace {

// Only the segments the system lets count are compared: a password stored
// whole before the limit was set, or longer than the limit, still matches
// when its counted part does.
bool matches(const char *typed, const char *stored) {
    const char *computed = passwords::bigcrypt(typed, stored);
    if (computed == nullptr) return false;
    std::string counted = stored;
    size_t segments = passwords::configured_segments();
    if (segments > 0) counted = counted.substr(0, passwords::cipher_length(segments));
    return counted == computed;
}

bool too_soon(const pr_passwd &r, long changed) {
    long minimum = effective_or_zero(r, PR_U_MINCHG, &pr_field::u_minchg);
    return minimum != 0 && platform::now() - changed < minimum;
}

int account_state(smp_attempt &a, char **text) {
    auto overridden = [&](const frame::Message &m, int otherwise) {
        if (!a.override) return otherwise;
        *text = const_cast<char *>(get_fail_msg(m));
        return SMP_OVERRIDDEN;
    };
    if (authdb::locked_out(&a.target)) return overridden(frame::msg_smpm_acctlk, SMP_ACCT_LOCKED);
    if (a.term_locked) {
        *text = const_cast<char *>(frame::text_of(frame::msg_smpm_termlk));
        return SMP_OVERRIDDEN;
    }
    if (a.retired) return overridden(frame::msg_smpm_retired, SMP_RETIRED);
    auto changed = effective(a.target, PR_U_SUCCHG, &pr_field::u_succhg);
    if (password_expired(a.target)) return SMP_PW_EXPIRED;
    if (changed && too_soon(a.target, *changed)) return SMP_PW_TOO_SOON;
    return SMP_PW_OK;
}

}  // namespace

int smp_check_pw(char *password, smp_attempt *attempt, char **text) {
    frame::check_auth_parameters();
    if (attempt == nullptr) return SMP_FAIL;
    text = text_slot(text);
    if (password == nullptr || !has_password(attempt->target) ||
        !matches(password, attempt->target.ufld.u_pwd))
        return finish(attempt, SMP_BAD_PW);
    strncpy(attempt->entered_pw, password, sizeof attempt->entered_pw - 1);
    attempt->entered_pw[sizeof attempt->entered_pw - 1] = '\0';
    return finish(attempt, account_state(*attempt, text));
}

int smp_check_account(smp_attempt *attempt, char **text) {
    frame::check_auth_parameters();
    // Only a record whose account was found can be judged.
    if (attempt == nullptr || !PR_ISSET(attempt->target.uflg, PR_U_NAME)) return SMP_FAIL;
    text = text_slot(text);
    return finish(attempt, account_state(*attempt, text));
}

}  // namespace vant::login
