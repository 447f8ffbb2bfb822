// The last-login lines, the logoff record, and whether an account belongs
// to a person.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>

#include "authdb/effective_field.h"
#include "databases/databases.h"
#include "frame/frame.h"
#include "frame/messages.h"
#include "login/attempt.h"
#include "login/entry_updates.h"
#include "login/fail_message.h"
#include "login/login.h"
#include "login/terminal_name.h"
#include "mirror/user_by_name.h"
#include "platform/clock.h"

namespace vant::login {
namespace {

using frame::Message;

// What the texts speak of: logins, or for a password change, changes.
struct History {
    long good_time = 0;
    long bad_time = 0;
    int count = 0;
    std::string good_tty, bad_tty;
};

std::string effective_text(const pr_passwd &r, uint32_t field,
                           char (pr_field::*member)[VANT_TTY_LEN + 1]) {
    if (PR_ISSET(r.uflg, field)) return r.ufld.*member;
    if (PR_ISSET(r.sflg, field)) return r.sfld.*member;
    return "";
}

History history_of(const smp_attempt &a) {
    const pr_passwd &r = a.target;
    History h;
    if (a.request == kRequestPasswd) {
        h.good_time = effective_or_zero(r, PR_U_SUCCHG, &pr_field::u_succhg);
        h.bad_time = effective_or_zero(r, PR_U_UNSUCCHG, &pr_field::u_unsucchg);
        return h;
    }
    h.good_time = effective_or_zero(r, PR_U_SUCLOG, &pr_field::u_suclog);
    h.bad_time = effective_or_zero(r, PR_U_UNSUCLOG, &pr_field::u_unsuclog);
    h.count =
        static_cast<uint16_t>(effective_or_zero(r, PR_U_NUMUNSUCLOG, &pr_field::u_numunsuclog));
    h.good_tty = effective_text(r, PR_U_SUCTTY, &pr_field::u_suctty);
    h.bad_tty = effective_text(r, PR_U_UNSUCTTY, &pr_field::u_unsuctty);
    return h;
}

std::string shown_time(long t) {
    if (t == 0) return frame::text_of(frame::msg_smpm_never);
    time_t when = t;
    struct tm local;
    char text[128];
    if (localtime_r(&when, &local) == nullptr || strftime(text, sizeof text, "%c", &local) == 0)
        return frame::text_of(frame::msg_smpm_never);
    return text;
}

template <typename... Args>
char *formatted(const Message &m, Args... args) {
    char *text = nullptr;
    if (asprintf(&text, frame::text_of(m), args...) < 0) return nullptr;
    return text;
}

char *success_text(const smp_attempt &a, const History &h, const char *name) {
    std::string when = shown_time(h.good_time);
    if (!h.good_tty.empty())
        return formatted(frame::msg_smpm_lsl1, name, when.c_str(), h.good_tty.c_str());
    if (a.request == kRequestPasswd) return formatted(frame::msg_smpm_lsp1, name, when.c_str());
    return formatted(frame::msg_smpm_lsl2, name, when.c_str());
}

char *failure_text(const smp_attempt &a, const History &h, const char *name) {
    std::string when = shown_time(h.bad_time);
    const char *w = when.c_str(), *tty = h.bad_tty.c_str();
    bool known = !h.bad_tty.empty();
    if (h.count == 0 && !known)
        return formatted(a.request == kRequestPasswd ? frame::msg_smpm_lup1 : frame::msg_smpm_lul2,
                         name, w);
    if (h.count == 0) return formatted(frame::msg_smpm_lul1, name, w, tty);
    if (h.count == 1)
        return known ? formatted(frame::msg_smpm_lul5, name, w, tty)
                     : formatted(frame::msg_smpm_lul6, name, w);
    return known ? formatted(frame::msg_smpm_lul3, h.count, name, w, tty)
                 : formatted(frame::msg_smpm_lul4, h.count, name, w);
}

bool record_logoff(const char *name, const pr_passwd &user, char **text) {
    if (databases::getprtcnam(name) == nullptr && databases::integreq() != 0) {
        frame::audit_auth_entry(name, VANT_OBJ_TTYS, "cannot locate Terminal Control entry");
        *text = const_cast<char *>(get_fail_msg(frame::msg_smpm_notcdb));
        return false;
    }
    bool written = update_terminal_entry(name, [&](pr_term &t) {
        t.ufld.t_prevtime = static_cast<vant_time_t>(platform::now());
        PR_T_SET(t.uflg, PR_T_PREVTIME);
        if (PR_ISSET(user.uflg, PR_U_ID)) {
            t.ufld.t_prevuid = user.ufld.u_id;
            PR_T_SET(t.uflg, PR_T_PREVUID);
        } else {
            PR_T_CLR(t.uflg, PR_T_PREVUID);
        }
    });
    if (!written && databases::integreq() != 0) {
        *text = const_cast<char *>(get_fail_msg(frame::msg_smpm_norwtcdb));
        return false;
    }
    return true;
}

}  // namespace

int smp_get_messages(smp_attempt *attempt, char **success, char **failure) {
    frame::check_auth_parameters();
    if (attempt == nullptr) return SMP_FAIL;
    if (attempt->hushed) return finish(attempt, SMP_HUSHED);
    History h = history_of(*attempt);
    const char *name = attempt->target.ufld.u_name;
    char *good = success_text(*attempt, h, name);
    char *bad = failure_text(*attempt, h, name);
    if (good == nullptr || bad == nullptr) {
        free(good);
        free(bad);
        return finish(attempt, SMP_NOMEM);
    }
    *success = good;
    *failure = bad;
    return finish(attempt, SMP_DONE);
}

int smp_audit_logoff(char *tty, char *user, char **text) {
    frame::check_auth_parameters();
    text = text_slot(text);
    if (user == nullptr || user[0] == '\0') return SMP_DONE;
    if (mirror::user_by_name(user) == nullptr) return SMP_NO_USER;
    const pr_passwd *entry = databases::getprpwnam(user);
    if (entry == nullptr) {
        frame::audit_auth_entry(user, VANT_OBJ_PRPW, "cannot locate Protected Password entry");
        *text = const_cast<char *>(get_fail_msg(frame::msg_smpm_norrprpw));
        return SMP_FAIL;
    }
    pr_passwd logged_off = *entry;
    char name[VANT_TTY_LEN + 1] = "";
    bool with_tty = tty != nullptr && tty[0] != '\0';
    if (with_tty) {
        resolve_terminal_name(tty, name);
        if (!record_logoff(name, logged_off, text)) return SMP_FAIL;
    }
    frame::audit_login(&logged_off, mirror::user_by_name(user), with_tty ? name : nullptr, 3);
    close_databases();
    return SMP_DONE;
}

int smp_user_is_individual(smp_attempt *attempt) {
    if (attempt == nullptr) return 0;
    const pr_passwd &r = attempt->target;
    if (PR_ISSET(r.uflg, PR_U_TYPE)) return type_includes(r.ufld.u_type, "general") ? 1 : 0;
    return PR_ISSET(r.uflg, PR_U_ID) && r.ufld.u_id != 0 ? 1 : 0;
}

}  // namespace vant::login
