// The last service of a successful login: records it, then turns the
// process into the user's and builds the environment of the user's shell.
#include <stdlib.h>
#include <string.h>
#include <ulimit.h>
#include <unistd.h>

#include <optional>

#include "authdb/authdb.h"
#include "databases/databases.h"
#include "frame/frame.h"
#include "login/attempt.h"
#include "login/entry_updates.h"
#include "login/fail_message.h"
#include "login/login.h"
#include "login/login_defaults.h"
#include "login/login_environment.h"
#include "login/supplementary_groups.h"
#include "passwords/wipe.h"
#include "platform/clock.h"
#include "platform/root.h"

namespace vant::login {
namespace {

constexpr int kKernelAuthorizations = 1;
constexpr const char *kHushFile = ".hushlogin";

// Without override mode the first failure ends the call; in override mode
// every failure is passed over and the last one's text is kept.
class Steps {
  public:
    Steps(const smp_attempt &a, char **text) : override_(a.override != 0), text_(text) {}

    // False when the call must end here.
    bool fail(const char *message) {
        *text_ = const_cast<char *>(message);
        passed_over_ = override_;
        return override_;
    }
    bool fail(const frame::Message &m) { return fail(frame::text_of(m)); }
    bool passed_over() const { return passed_over_; }

  private:
    bool override_;
    char **text_;
    bool passed_over_ = false;
};

bool record_terminal(const smp_attempt &a, Steps &s, vant_time_t now) {
    bool required = databases::integreq() != 0;
    if (databases::getprtcnam(a.tty_name) == nullptr && required &&
        !s.fail(get_fail_msg(frame::msg_smpm_norrtcdb)))
        return false;
    uint32_t uid = a.target.ufld.u_id;
    bool written = update_terminal_entry(a.tty_name, [uid, now](pr_term &t) {
        t.ufld.t_uid = uid;
        PR_T_SET(t.uflg, PR_T_UID);
        t.ufld.t_logtime = now;
        PR_T_SET(t.uflg, PR_T_LOGTIME);
        PR_T_CLR(t.uflg, PR_T_FAILURES);
    });
    return written || !required || s.fail(get_fail_msg(frame::msg_smpm_norwtcdb));
}

// The login is recorded on the entry as it stands when written, so that a
// change made since the account checks is kept.
bool record_login(const smp_attempt &a, Steps &s) {
    const char *name = a.target.ufld.u_name;
    if (databases::getprpwnam(name) == nullptr && !s.fail(get_fail_msg(frame::msg_smpm_norrprpw)))
        return false;
    auto now = static_cast<vant_time_t>(platform::now());
    bool with_tty = a.tty_name[0] != '\0';
    if (with_tty && !record_terminal(a, s, now)) return false;
    if (a.nis != 0) return true;
    bool written = update_user_entry(name, [&a, now, with_tty](pr_passwd &r) {
        if (with_tty) {
            memcpy(r.ufld.u_suctty, a.tty_name, sizeof r.ufld.u_suctty);
            PR_SET(r.uflg, PR_U_SUCTTY);
        } else {
            PR_CLR(r.uflg, PR_U_SUCTTY);
        }
        r.ufld.u_suclog = now;
        PR_SET(r.uflg, PR_U_SUCLOG);
        PR_CLR(r.uflg, PR_U_NUMUNSUCLOG);
    });
    return written || s.fail(get_fail_msg(frame::msg_smpm_norwprpw));
}

bool enter_home(smp_attempt &a, Steps &s) {
    if (platform::change_directory(a.pw.pw_dir) != 0 && !s.fail(frame::msg_smpm_nochdir))
        return false;
    long limit = login_settings().ulimit;
    if (limit > 0 && ulimit(UL_SETFSIZE, limit) < 0 && !s.fail(frame::msg_smpm_noulimit))
        return false;
    const std::optional<std::string> &hush = login_settings().hush;
    if (hush && *hush == "YES" && platform::access_file(kHushFile, F_OK) == 0) a.hushed = 1;
    return true;
}

bool change_ids(const smp_attempt &a, Steps &s) {
    const pr_passwd &r = a.target;
    if (auto priority = effective(r, PR_U_PRIORITY, &pr_field::u_priority)) nice(*priority);
    bool switching = a.request == kRequestSwitch;
    if (!switching && frame::setluid(static_cast<int>(a.pw.pw_uid)) < 0 &&
        !s.fail(get_fail_msg(frame::msg_smpm_badluid)))
        return false;
    if (PR_ISSET(r.uflg, PR_U_NAME) && setbasesg(r.ufld.u_name, nullptr) < 0 &&
        !s.fail(frame::msg_smpm_badsupg))
        return false;
    if (setgid(a.pw.pw_gid) != 0 && !s.fail(frame::msg_smpm_badgid)) return false;
    int changed = switching ? seteuid(a.pw.pw_uid) : setuid(a.pw.pw_uid);
    if (changed != 0 && !s.fail(frame::msg_smpm_baduid)) return false;
    priv_t authorizations = effective_or_zero(r, PR_U_SYSPRIV, &pr_field::u_syspriv);
    return frame::setpriv(kKernelAuthorizations, &authorizations) >= 0 ||
           s.fail(get_fail_msg(frame::msg_smpm_nokauth));
}

// Steps that fail end the call with SMP_FAIL unless passed over.
void audit_success(const smp_attempt &a) {
    frame::audit_login(&a.target, &a.pw, a.tty_name[0] != '\0' ? a.tty_name : nullptr, 1);
}

int establish(smp_attempt &a, Steps &s) {
    if (!record_login(a, s)) return SMP_FAIL;
    frame::audit_adjust_mask(&a.target);
    audit_success(a);
    if (!enter_home(a, s)) return SMP_FAIL;
    return change_ids(a, s) ? SMP_DONE : SMP_FAIL;
}

// What both services refuse before recording anything: an attempt whose
// account was never found, and a locked account outside override mode.
std::optional<int> refused(smp_attempt &a, char **text) {
    if (a.pw.pw_name == nullptr) {
        *text = const_cast<char *>(frame::text_of(frame::msg_smpm_norrprpw));
        return SMP_FAIL;
    }
    passwords::wipe(a.entered_pw, sizeof a.entered_pw);
    if (authdb::locked_out(&a.target) && !a.override) return SMP_ACCT_LOCKED;
    return std::nullopt;
}

}  // namespace

int smp_record_login(smp_attempt *attempt, char **text) {
    frame::check_auth_parameters();
    if (attempt == nullptr) return SMP_FAIL;
    text = text_slot(text);
    smp_attempt &a = *attempt;
    if (auto result = refused(a, text)) return finish(&a, *result);
    Steps steps(a, text);
    if (!record_login(a, steps)) return finish(&a, SMP_FAIL);
    audit_success(a);
    return finish(&a, steps.passed_over() ? SMP_OVERRIDDEN : SMP_DONE);
}

int smp_set_identity(smp_attempt *attempt, char **text, char ***environment, char **shell) {
    frame::check_auth_parameters();
    if (attempt == nullptr) return SMP_FAIL;
    text = text_slot(text);
    smp_attempt &a = *attempt;
    if (auto result = refused(a, text)) return finish(&a, *result);
    if (geteuid() != 0) return finish(&a, SMP_NOPRIV);
    Steps steps(a, text);
    const char *user_shell = shell_of(a);
    bool with_shell = exports_shell(user_shell);
    if (establish(a, steps) == SMP_FAIL) return finish(&a, SMP_FAIL);
    close_databases();
    char **table = build_environment(a, user_shell, with_shell);
    if (table == nullptr) return finish(&a, SMP_NOMEM);
    if (environment != nullptr) {
        *environment = table;
    } else {
        free(table[0]);
        free(table);
    }
    if (shell != nullptr) *shell = const_cast<char *>(user_shell);
    return finish(&a, steps.passed_over() ? SMP_OVERRIDDEN : SMP_DONE);
}

}  // namespace vant::login
