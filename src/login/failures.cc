// Recording the failures of an attempt: the counts that the lock tests
// read, and the audit records.
#include "login/failures.h"

#include <string.h>

#include "frame/frame.h"
#include "login/attempt.h"
#include "login/entry_updates.h"
#include "login/login.h"
#include "passwords/wipe.h"
#include "platform/clock.h"

namespace vant::login {
namespace {

constexpr const char *kUnknownUser = "< bad >";

void count_login_failure(pr_passwd &r, const char *tty, vant_time_t now) {
    r.ufld.u_unsuclog = now;
    PR_SET(r.uflg, PR_U_UNSUCLOG);
    r.ufld.u_numunsuclog =
        PR_ISSET(r.uflg, PR_U_NUMUNSUCLOG) ? static_cast<int16_t>(r.ufld.u_numunsuclog + 1) : 1;
    PR_SET(r.uflg, PR_U_NUMUNSUCLOG);
    if (tty != nullptr) {
        strncpy(r.ufld.u_unsuctty, tty, VANT_TTY_LEN);
        r.ufld.u_unsuctty[VANT_TTY_LEN] = '\0';
        PR_SET(r.uflg, PR_U_UNSUCTTY);
    } else {
        PR_CLR(r.uflg, PR_U_UNSUCTTY);
    }
}

void count_terminal_failure(pr_term &t, const pr_passwd &record, vant_time_t now) {
    t.ufld.t_unsuctime = now;
    PR_T_SET(t.uflg, PR_T_UNSUCTIME);
    if (PR_ISSET(record.uflg, PR_U_ID)) {
        t.ufld.t_unsucuid = record.ufld.u_id;
        PR_T_SET(t.uflg, PR_T_UNSUCUID);
    } else {
        PR_T_CLR(t.uflg, PR_T_UNSUCUID);
    }
    t.ufld.t_failures =
        PR_T_ISSET(t.uflg, PR_T_FAILURES) ? static_cast<uint16_t>(t.ufld.t_failures + 1) : 1;
    PR_T_SET(t.uflg, PR_T_FAILURES);
}

}  // namespace

void login_fail(pr_passwd *record, const struct passwd *pw, const char *tty, int nis) {
    if (pw != nullptr && (pw->pw_name == nullptr || pw->pw_name[0] == '\0')) pw = nullptr;
    if (tty != nullptr && tty[0] == '\0') tty = nullptr;
    auto now = static_cast<vant_time_t>(platform::now());
    pr_passwd shown = *record;
    if (record->ufld.u_name[0] == '\0') {
        strncpy(shown.ufld.u_name, kUnknownUser, VANT_NAME_LEN);
    } else if (nis == 0) {
        auto count = [&](pr_passwd &r) { count_login_failure(r, tty, now); };
        count(*record);
        update_user_entry(record->ufld.u_name, count);
    }
    if (tty != nullptr)
        update_terminal_entry(tty, [&](pr_term &t) { count_terminal_failure(t, shown, now); });
    frame::audit_login(&shown, pw, tty, 2);
}

void passwd_fail(pr_passwd *record, int nis) {
    auto now = static_cast<vant_time_t>(platform::now());
    auto mark = [now](pr_passwd &r) {
        r.ufld.u_unsucchg = now;
        PR_SET(r.uflg, PR_U_UNSUCCHG);
    };
    mark(*record);
    if (nis == 0 && record->ufld.u_name[0] != '\0') update_user_entry(record->ufld.u_name, mark);
    frame::audit_passwd(record, 2);
}

void smp_audit_fail(smp_attempt *attempt, int always) {
    if (attempt == nullptr) return;
    frame::check_auth_parameters();
    passwords::wipe(attempt->entered_pw, sizeof attempt->entered_pw);
    bool change = attempt->request == kRequestPasswd;
    auto login = [attempt] {
        login_fail(&attempt->target, &attempt->pw, attempt->tty_name, attempt->nis);
    };
    auto passwd = [attempt] { passwd_fail(&attempt->target, attempt->nis); };
    if (always != 0) {
        change ? passwd() : login();
        return;
    }
    switch (attempt->status) {
        case SMP_TERM_LOCKED:
        case SMP_NO_USER:
        case SMP_ACCT_LOCKED:
            if (!change) login();
            break;
        case SMP_BAD_PW:
        case SMP_RETIRED:
            change ? passwd() : login();
            break;
        case SMP_NEW_PW_REJECTED:
        case SMP_PW_MISMATCH:
            passwd();
            if (!change) login();
            break;
        case SMP_CANNOT_CHANGE:
            if (change) passwd();
            break;
        default:
            break;
    }
}

}  // namespace vant::login
