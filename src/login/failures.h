// Counting failed logins and failed password changes.
#pragma once

#include <pwd.h>

#include "vant.h"

namespace vant::login {

// Counts one failed login on the account (unless NIS keeps it) and on the
// terminal, and audits it; a record without a name stands for an unknown
// user. Writes are best effort.
void login_fail(pr_passwd *record, const struct passwd *pw, const char *tty, int nis);
void passwd_fail(pr_passwd *record, int nis);

}  // namespace vant::login
