// Judging a proposed new password: the site's checker when it names one,
// otherwise the built-in rules.
#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "authorizations/authorizations.h"
#include "databases/databases.h"
#include "frame/frame.h"
#include "login/attempt.h"
#include "login/checker.h"
#include "login/fail_message.h"
#include "login/login.h"
#include "login/login_defaults.h"
#include "login/password_choice.h"
#include "passwords/passwords.h"

namespace vant::login {
namespace {

std::string upper(const char *text) {
    std::string s = text;
    for (char &c : s)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

// A rotation of the login name or of the name reversed, in any case.
bool circ(const char *name, const char *password) {
    std::string n = upper(name), p = upper(password);
    if (n.empty()) return false;
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i <= n.size(); ++i) {
            std::rotate(n.begin(), n.begin() + 1, n.end());
            if (n == p) return true;
        }
        std::reverse(n.begin(), n.end());
    }
    return false;
}

bool mixed_classes(const char *password) {
    unsigned classes = 0;
    bool first_letter = true;
    for (const char *c = password; *c != '\0'; ++c) {
        if (isalpha(static_cast<unsigned char>(*c))) {
            classes |= first_letter ? 2u : 1u;
            first_letter = false;
        } else {
            classes |= isdigit(static_cast<unsigned char>(*c)) ? 4u : 8u;
        }
    }
    return classes == 7 || classes == 11 || classes == 15;
}

int differing_positions(const char *a, const char *b) {
    size_t la = strlen(a), lb = strlen(b), longer = std::max(la, lb);
    int count = static_cast<int>(longer - std::min(la, lb));
    for (size_t i = 0; i < longer; ++i)
        if (i >= la || i >= lb || a[i] != b[i]) ++count;
    return count;
}

const char *traditional_checks(const pr_passwd *account, const char *password,
                               const char *current) {
    if (account != nullptr && circ(account->ufld.u_name, password))
        return frame::text_of(frame::msg_smpm_circular);
    if (!mixed_classes(password)) return frame::text_of(frame::msg_smpm_badchars);
    if (current != nullptr && current[0] != '\0' && differing_positions(password, current) < 3)
        return frame::text_of(frame::msg_smpm_3diff);
    return nullptr;
}

const char *too_short(int min_length) {
    static char text[200];
    snprintf(text, sizeof text, frame::text_of(frame::msg_smpm_shortn), min_length);
    return text;
}

bool reused(const char *password, const char *current_crypt, const char *current) {
    if (current_crypt != nullptr && current_crypt[0] != '\0') {
        const char *again = passwords::bigcrypt(password, current_crypt);
        if (again != nullptr && strcmp(again, current_crypt) == 0) return true;
    }
    return current != nullptr && strcmp(current, password) == 0;
}

int check_any_pw(const char *password, const char *current_crypt, const char *current,
                 int min_length, const pr_passwd *account, char **text) {
    static char empty[] = "";
    *text = empty;
    const PasswordSettings &s = password_settings();
    bool exempt = getuid() == 0 && s.no_goodpw;
    const char *reason = nullptr;
    if (!exempt && reused(password, current_crypt, current))
        reason = frame::text_of(frame::msg_smpm_reuse);
    else if (password[0] == '\0')
        return SMP_NEW_PW_OK;
    else if (!exempt && static_cast<int>(strlen(password)) < min_length)
        reason = too_short(min_length);
    else if (s.no_check)
        return SMP_NEW_PW_OK;
    else {
        int verdict = run_goodpw(password, current, &reason);
        if (verdict == -1) return SMP_NOMEM;
        if (verdict == SMP_FAIL && !exempt) {
            reason = traditional_checks(account, password, current);
            if (reason == nullptr && strict_checks() &&
                passwords::acceptable_password(password, nullptr) == 0)
                reason = get_fail_msg(frame::msg_smpm_easygs);
        }
    }
    if (reason == nullptr || reason[0] == '\0') return SMP_NEW_PW_OK;
    *text = const_cast<char *>(reason);
    return SMP_NEW_PW_REJECTED;
}

int judge(smp_attempt &a, const char *password, char **text) {
    const pr_passwd &rules = a.request == kRequestPasswd ? a.subject : a.target;
    bool administrator = a.request == kRequestPasswd && a.target.ufld.u_id != a.subject.ufld.u_id &&
                         authorizations::user_has_auth(a.subject.ufld.u_name, "auth", "auth");
    int min_length = administrator ? 0 : minimum_pwlen(rules, kTypedAlphabet);
    if (password[0] == '\0') {
        if (min_length == 0 || effective_or_zero(rules, PR_U_NULLPW, &pr_field::u_nullpw))
            return SMP_NEW_PW_OK;
        *text = const_cast<char *>(frame::text_of(frame::msg_smpm_nonull));
        return SMP_NEW_PW_REJECTED;
    }
    if (!checker_running()) {
        bool strict = effective_or_zero(a.target, PR_U_RESTRICT, &pr_field::u_restrict);
        if (goodpw_set_checks(0, strict) == -1) return SMP_NOMEM;
    }
    const char *stored = PR_ISSET(a.target.uflg, PR_U_PWD) ? a.target.ufld.u_pwd : nullptr;
    return check_any_pw(password, stored, a.entered_pw, min_length, &a.target, text);
}

}  // namespace

int smp_try_pw(char *password, smp_attempt *attempt, int *retries, char **text) {
    frame::check_auth_parameters();
    if (attempt == nullptr || password == nullptr) return SMP_FAIL;
    int result = judge(*attempt, password, text_slot(text));
    if (result == SMP_NEW_PW_REJECTED && retries != nullptr) --*retries;
    return finish(attempt, result);
}

int goodpw_set_other_checks(int kind) {
    frame::check_auth_parameters();
    const struct pr_default *d = databases::getprdfnam("default");
    bool strict = d == nullptr || !PR_ISSET(d->prg, PR_U_RESTRICT) || d->prd.u_restrict;
    return goodpw_set_checks(kind, strict);
}

int goodpw_check_other(char *password, char *current_crypt, char **text) {
    frame::check_auth_parameters();
    if (password == nullptr) return SMP_NEW_PW_REJECTED;
    int absmin = password_settings().absmin;
    return check_any_pw(password, current_crypt, nullptr, absmin > 0 ? absmin : 0, nullptr,
                        text_slot(text));
}

}  // namespace vant::login
