// The record of one login or password-change attempt, passed by the caller
// to every service of the attempt.
#pragma once

#include <pwd.h>
#include <string.h>

#include "authdb/effective_field.h"
#include "platform/clock.h"
#include "vant.h"

struct smp_attempt {
    int status;
    int request;
    int term_locked;
    int override;
    int retired;
    int hushed;
    int nis;
    char tty_name[VANT_TTY_LEN + 1];
    struct passwd pw;  // its texts are private copies
    struct pr_passwd target;
    char entered_pw[81];
    struct pr_passwd subject;  // only for a password change
};

namespace vant::login {

inline constexpr int kRequestLogin = SMP_LOGIN;
inline constexpr int kRequestPasswd = SMP_PASSWD;
inline constexpr int kRequestSwitch = SMP_SWITCH;
inline constexpr int kRequestOverride = SMP_OVERRIDE_LOGIN;

using authdb::effective;
using authdb::effective_or_zero;

// Whether a user-type mask holds the named type.
inline bool type_includes(vant_mask_t mask, const char *type) {
    for (const namepair *p = user_type; p->name != nullptr; ++p)
        if (strcmp(p->name, type) == 0) return p->value < 32 && ((mask >> p->value) & 1u) != 0;
    return false;
}

// The user half has a password that is not empty.
inline bool has_password(const pr_passwd &r) {
    return PR_ISSET(r.uflg, PR_U_PWD) && r.ufld.u_pwd[0] != '\0';
}

// The password's age: never changed, or older than the expiry interval.
inline bool password_expired(const pr_passwd &r) {
    auto changed = effective(r, PR_U_SUCCHG, &pr_field::u_succhg);
    if (!changed) return false;
    long expiry = effective_or_zero(r, PR_U_EXP, &pr_field::u_exp);
    return *changed == 0 || (expiry != 0 && platform::now() - *changed >= expiry);
}

// Where a service puts its text when the caller wants none.
inline char **text_slot(char **text) {
    static char *ignored;
    return text != nullptr ? text : &ignored;
}

// Stores the result in the record as the last service's status.
inline int finish(smp_attempt *a, int result) {
    a->status = result;
    return result;
}

}  // namespace vant::login
