// The first service of every attempt: finds the account and the terminal,
// and decides whether the attempt may go on and what comes next.
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <new>

#include "authdb/authdb.h"
#include "databases/databases.h"
#include "frame/frame.h"
#include "login/attempt.h"
#include "login/checker.h"
#include "login/fail_message.h"
#include "login/login.h"
#include "login/login_defaults.h"
#include "login/terminal_name.h"
#include "mirror/user_by_name.h"
#include "passwords/wipe.h"
#include "platform/clock.h"
#include "platform/nis.h"

namespace vant::login {
namespace {

constexpr int kNisUsers = 1;
constexpr int kNisAccountQuery = 3;

// Where a check ends: a result, with a failure text when it carries one.
struct Outcome {
    int result;
    const char *text = nullptr;
};

int finish(smp_attempt *a, Outcome o, char **text) {
    if (o.text != nullptr && text != nullptr) *text = const_cast<char *>(o.text);
    return login::finish(a, o.result);
}

smp_attempt *new_attempt(int request) {
    void *memory = calloc(1, sizeof(smp_attempt));
    if (memory == nullptr) return nullptr;
    auto *a = static_cast<smp_attempt *>(memory);
    a->request = request;
    return a;
}

bool in_override(const smp_attempt &a, const char *user) {
    const LoginSettings &s = login_settings();
    return a.request == kRequestOverride ||
           (strcmp(user, "root") == 0 && s.system_console == a.tty_name);
}

bool terminal_locked(const pr_term &t) {
    if (effective_or_zero(t, PR_T_LOCK, &t_field::t_lock)) return true;
    unsigned maxtries = effective_or_zero(t, PR_T_MAXTRIES, &t_field::t_maxtries);
    unsigned failures = effective_or_zero(t, PR_T_FAILURES, &t_field::t_failures);
    return maxtries != 0 && failures >= maxtries;
}

// The terminal's part of the checks; a result when the attempt ends here.
std::optional<Outcome> check_terminal(smp_attempt &a, const char *user, const char *tty,
                                      int *delay) {
    resolve_terminal_name(tty, a.tty_name);
    a.override = in_override(a, user) ? 1 : 0;
    const pr_term *t = databases::getprtcnam(a.tty_name);
    if (t == nullptr && databases::integreq() != 0 && !a.override)
        return Outcome{SMP_FAIL, get_fail_msg(frame::msg_smpm_notcdb)};
    if (delay != nullptr)
        *delay = t != nullptr
                     ? static_cast<int>(effective_or_zero(*t, PR_T_LOGDELAY, &t_field::t_logdelay))
                     : 0;
    a.term_locked = t != nullptr ? terminal_locked(*t) : databases::integreq() != 0;
    return std::nullopt;
}

bool privileged_caller() {
    return static_cast<int>(getegid()) == frame::gr_nametoid("auth") || geteuid() == 0;
}

char *copy_text(const char *text) {
    return strdup(text != nullptr ? text : "");
}

bool copy_passwd(struct passwd &to, const struct passwd &from) {
    to = from;
    to.pw_name = copy_text(from.pw_name);
    to.pw_passwd = copy_text(from.pw_passwd);
    to.pw_gecos = copy_text(from.pw_gecos);
    to.pw_dir = copy_text(from.pw_dir);
    to.pw_shell = copy_text(from.pw_shell);
    return to.pw_name && to.pw_passwd && to.pw_gecos && to.pw_dir && to.pw_shell;
}

bool is_retired(const pr_passwd &r) {
    auto type = effective(r, PR_U_TYPE, &pr_field::u_type);
    return type && type_includes(*type, "retired");
}

void settle_retries(int *retries) {
    if (retries == nullptr) return;
    if (*retries == 0)
        *retries = password_settings().retries;
    else if (*retries < 0)
        *retries = 1;
}

Outcome overridable(const smp_attempt &a, const frame::Message &m, int otherwise) {
    if (a.override) return {SMP_OVERRIDDEN, get_fail_msg(m)};
    return {otherwise};
}

// The account's own state, once it has been found.
Outcome check_account(smp_attempt &a, const char *tty) {
    const LoginSettings &s = login_settings();
    if (a.request == kRequestLogin && tty != nullptr && tty[0] != '\0' && a.pw.pw_uid == 0 &&
        s.console && *s.console != tty)
        return {SMP_FAIL, get_fail_msg(frame::msg_smpm_console)};
    if (has_password(a.target)) return {SMP_CHECK_PW};
    if (authdb::locked_out(&a.target))
        return overridable(a, frame::msg_smpm_acctlk, SMP_ACCT_LOCKED);
    if (a.term_locked) return {SMP_OVERRIDDEN, frame::text_of(frame::msg_smpm_termlk)};
    if (a.retired) return overridable(a, frame::msg_smpm_retired, SMP_RETIRED);
    if (password_expired(a.target)) return {SMP_MUST_SET_PW};
    return {effective_or_zero(a.target, PR_U_NULLPW, &pr_field::u_nullpw) ? SMP_NO_CHECK
                                                                          : SMP_MUST_SET_PW};
}

// Everything after the terminal: the caller, the user and both entries.
Outcome check_user(smp_attempt &a, const char *user, const char *tty, uid_t subject_uid,
                   int *retries, int *nis) {
    if (!privileged_caller() && !a.override) return {SMP_NOPRIV};
    if (a.term_locked && !a.override) return {SMP_TERM_LOCKED};
    const struct passwd *pw = user != nullptr ? mirror::user_by_name(user) : nullptr;
    if (pw == nullptr) return overridable(a, frame::msg_smpm_dbcorrupt, SMP_NO_USER);
    if (nis != nullptr) *nis = a.nis = platform::nis_control(kNisUsers, kNisAccountQuery);
    if (!copy_passwd(a.pw, *pw)) return {SMP_NOMEM};
    const pr_passwd *target = databases::getprpwnam(user);
    if (target == nullptr) {
        if (a.override) return {SMP_OVERRIDDEN, get_fail_msg(frame::msg_smpm_dbcorrupt)};
        return {SMP_FAIL, get_fail_msg(frame::msg_smpm_notprpw)};
    }
    a.target = *target;
    if (a.request == kRequestPasswd) {
        const pr_passwd *subject = databases::getprpwuid(static_cast<int>(subject_uid));
        if (subject == nullptr) return {SMP_FAIL, get_fail_msg(frame::msg_smpm_nosprpw)};
        a.subject = *subject;
    }
    getpwdefaults();
    settle_retries(retries);
    a.retired = is_retired(a.target) ? 1 : 0;
    if (a.request == kRequestPasswd && a.retired) return {SMP_RETIRED};
    return check_account(a, tty);
}

}  // namespace

void smp_free_attempt(smp_attempt *attempt) {
    if (attempt == nullptr) return;
    passwords::wipe(attempt->entered_pw, sizeof attempt->entered_pw);
    for (char *text : {attempt->pw.pw_name, attempt->pw.pw_passwd, attempt->pw.pw_gecos,
                       attempt->pw.pw_dir, attempt->pw.pw_shell})
        free(text);
    free(attempt);
}

int smp_check_user(int request, char *user, char *tty, uid_t subject_uid, smp_attempt **attempt,
                   int *retries, char **text, int *nis, int *delay) {
    frame::check_auth_parameters();
    stop_checker();
    smp_attempt *a = new_attempt(request);
    *attempt = a;
    if (a == nullptr) return SMP_NOMEM;
    getlgdefaults();
    if (tty != nullptr && tty[0] != '\0') {
        if (auto ended = check_terminal(*a, user != nullptr ? user : "", tty, delay))
            return finish(a, *ended, text);
    }
    return finish(a, check_user(*a, user, tty, subject_uid, retries, nis), text);
}

}  // namespace vant::login
