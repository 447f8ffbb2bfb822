// The environment a login hands to the user's shell.
#pragma once

#include "login/attempt.h"

namespace vant::login {

// The user's shell: the account's, or /bin/sh when it names none.
const char *shell_of(const smp_attempt &a);

// Whether SHELL goes into the environment: always, unless ALTSHELL=NO
// keeps it for the shells the site has a directory for under
// /usr/lib/mkuser.
bool exports_shell(const char *shell);

// The environment table (a null-ended array of at most 20 texts, the texts
// in one area, both for the caller to free); null when memory is short.
char **build_environment(const smp_attempt &a, const char *shell, bool with_shell);

}  // namespace vant::login
