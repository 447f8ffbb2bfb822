/* Setting a new password for an attempt: chosen by the user, or generated
 * and confirmed, as the account allows. */
#ifndef VANT_DIALOGUE_NEW_PASSWORD_H
#define VANT_DIALOGUE_NEW_PASSWORD_H

#include <vant.h>

/* SMP_DONE once the password is stored; otherwise the result that ended
 * the dialogue (SMP_NEW_PW_REJECTED or SMP_PW_MISMATCH after the last
 * retry, SMP_FAIL, SMP_NOMEM), with *text set when the library gave one.
 * cancelled is set when the input ended. */
int set_new_password(smp_attempt *attempt, int retries, char **text, int *cancelled);

#endif
