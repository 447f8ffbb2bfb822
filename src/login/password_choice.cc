// Who may change a password, how a new one is obtained, and generated
// passwords.
#include "login/password_choice.h"

#include <string.h>

#include <algorithm>

#include "authorizations/authorizations.h"
#include "databases/databases.h"
#include "frame/frame.h"
#include "login/attempt.h"
#include "login/fail_message.h"
#include "login/login.h"
#include "login/login_defaults.h"
#include "passwords/passwords.h"

namespace vant::login {
namespace {

constexpr int kShortest = 5;
constexpr int kLongest = 80;
constexpr int kDay = 86400;

// The delay an attacker waits between login attempts, read once.
int guess_interval() {
    static int interval = -1;
    if (interval >= 0) return interval;
    interval = 1;
    const struct pr_default *d = databases::getprdfnam("default");
    if (d != nullptr && PR_T_ISSET(d->tcg, PR_T_LOGDELAY) && d->tcd.t_logdelay >= 1)
        interval = static_cast<int>(d->tcd.t_logdelay);
    return interval;
}

// The record whose rules govern a password change.
const pr_passwd &rule_record(const smp_attempt &a) {
    return a.request == kRequestPasswd ? a.subject : a.target;
}

bool same_user(const smp_attempt &a) {
    return a.target.ufld.u_id == a.subject.ufld.u_id;
}

bool holds(const pr_passwd &r, const char *authorization) {
    return authorizations::user_has_auth(r.ufld.u_name, "auth", authorization) != 0;
}

// A holder of "passwd" alone may not change the password of an account
// that holds "auth".
int change_of_privileged_account(const smp_attempt &a, char **text) {
    if (!PR_ISSET(a.target.uflg, PR_U_CMDPRIV)) return SMP_NO_CHECK;
    if (authorizations::build_cmd_priv() != 0) {
        *text = const_cast<char *>(get_fail_msg(frame::msg_smpm_noauthfile));
        return SMP_FAIL;
    }
    for (const namepair *p = cmd_priv; p != nullptr && p->name != nullptr; ++p) {
        if (strcmp(p->name, "auth") != 0) continue;
        bool held = p->value < 32 && ((a.target.ufld.u_cmdpriv >> p->value) & 1u);
        return held ? SMP_CANNOT_CHANGE : SMP_NO_CHECK;
    }
    *text = const_cast<char *>(frame::text_of(frame::msg_smpm_noauth));
    return SMP_FAIL;
}

int decide_change(const smp_attempt &a, char **text) {
    const pr_passwd &s = a.subject;
    if (!effective_or_zero(s, PR_U_PICKPW, &pr_field::u_pickpw) &&
        !effective_or_zero(s, PR_U_GENPWD, &pr_field::u_genpwd))
        return SMP_CANNOT_CHANGE;
    if (same_user(a))
        return a.target.ufld.u_id != 0 && has_password(a.target) ? SMP_CHECK_PW : SMP_NO_CHECK;
    if (holds(s, "auth")) return SMP_NO_CHECK;
    auto named = effective(a.target, PR_U_PSWDUSER, &pr_field::u_pswduser);
    if (named && *named == s.ufld.u_id) return SMP_NO_CHECK;
    if (!holds(s, "passwd")) return SMP_CANNOT_CHANGE;
    return change_of_privileged_account(a, text);
}

int decide_choice(const smp_attempt &a, char **text) {
    const pr_passwd *rules = &a.target;
    if (a.request == kRequestPasswd) {
        if (!same_user(a) && holds(a.target, "auth")) return SMP_CHOOSE_OR_GENERATE;
        rules = &a.subject;
    }
    bool pick = effective_or_zero(*rules, PR_U_PICKPW, &pr_field::u_pickpw);
    bool generate = effective_or_zero(*rules, PR_U_GENPWD, &pr_field::u_genpwd);
    if (pick && generate) return SMP_CHOOSE_OR_GENERATE;
    if (pick) return SMP_MUST_CHOOSE;
    if (generate) return SMP_MUST_GENERATE;
    *text = const_cast<char *>(frame::text_of(frame::msg_smpm_nosetpw));
    return SMP_FAIL;
}

}  // namespace

int minimum_pwlen(const pr_passwd &record, int alphabet) {
    int significant = effective_or_zero(record, PR_U_PWSEG, &pr_field::u_pwseg) *
                      static_cast<int>(passwords::kSegmentLength);
    int length = password_settings().absmin;
    if (length == -1) {
        long life = effective_or_zero(record, PR_U_LIFE, &pr_field::u_life);
        if (life == 0) {
            length = kShortest;
        } else {
            int interval = guess_interval();
            int counted = static_cast<int>(std::max<long>(life, kDay));
            length =
                std::clamp(passwords::passlen(counted, interval, alphabet), kShortest, kLongest);
        }
    }
    return significant > 0 ? std::min(significant, length) : length;
}

int smp_pw_change(smp_attempt *attempt, char **text) {
    frame::check_auth_parameters();
    if (attempt == nullptr) return SMP_FAIL;
    return finish(attempt, decide_change(*attempt, text_slot(text)));
}

int smp_pw_choice(smp_attempt *attempt, char **text) {
    frame::check_auth_parameters();
    if (attempt == nullptr) return SMP_FAIL;
    return finish(attempt, decide_choice(*attempt, text_slot(text)));
}

int smp_generate_pw(char *password, char **divided, smp_attempt *attempt) {
    frame::check_auth_parameters();
    if (attempt == nullptr || password == nullptr) return SMP_FAIL;
    static char syllables[2 * kLongest + 1];
    const pr_passwd &rules = rule_record(*attempt);
    int shortest = std::clamp(minimum_pwlen(rules, kGeneratedAlphabet), kShortest, kLongest);
    int longest = std::clamp<int>(effective_or_zero(rules, PR_U_MAXLEN, &pr_field::u_maxlen),
                                  shortest, kLongest);
    bool restricted = effective_or_zero(rules, PR_U_RESTRICT, &pr_field::u_restrict);
    passwords::randomword(password, syllables, static_cast<unsigned short>(shortest),
                          static_cast<unsigned short>(longest), restricted, passwords::get_seed());
    if (divided != nullptr) *divided = syllables;
    return finish(attempt, SMP_DONE);
}

}  // namespace vant::login
