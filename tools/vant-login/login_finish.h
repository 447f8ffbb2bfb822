/* The end of a login whose checks have passed. */
#ifndef VANT_LOGIN_FINISH_H
#define VANT_LOGIN_FINISH_H

#include <vant.h>

#include "options.h"

/* Becomes the user and runs the user's shell (no return when that works),
 * or with --no-exec prints what the login would give. The exit status. */
int finish_login(smp_attempt *attempt, const struct login_options *options);

#endif
