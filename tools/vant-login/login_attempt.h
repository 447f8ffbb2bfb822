/* The checks of a login, from the user name to an accepted password. */
#ifndef VANT_LOGIN_ATTEMPT_H
#define VANT_LOGIN_ATTEMPT_H

#include "options.h"

/* Runs attempts until one passes (then finishes the login) or the site's
 * retries are used up. The exit status. */
int run_login(const struct login_options *options);

#endif
