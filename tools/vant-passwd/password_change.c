#include "password_change.h"

#include <stdio.h>
#include <unistd.h>
#include <vant.h>

#include "new_password.h"
#include "prompts.h"
#include "results.h"

/* The account checks' answers that let a change go on. */
static int may_go_on(int result) {
    return result == SMP_NO_CHECK || result == SMP_CHECK_PW || result == SMP_MUST_SET_PW ||
           result == SMP_ACCT_LOCKED;
}

/* The old password, when the change needs it: a result that lets the
 * change go on, or the one that stops it. */
static int check_old_password(smp_attempt *attempt, char **text, int *cancelled) {
    char password[81];
    if (!ask_password("Old password:", password)) {
        *cancelled = 1;
        return SMP_FAIL;
    }
    int result = smp_check_pw(password, attempt, text);
    forget_password(password, sizeof password);
    return result == SMP_PW_EXPIRED ? SMP_PW_OK : result;
}

static int authorise(smp_attempt *attempt, char **text, int *cancelled) {
    int result = smp_pw_change(attempt, text);
    if (result == SMP_CHECK_PW) result = check_old_password(attempt, text, cancelled);
    return result == SMP_NO_CHECK ? SMP_PW_OK : result;
}

static int refuse(smp_attempt *attempt, const char *user, int result, const char *text) {
    smp_audit_fail(attempt, 0);
    smp_free_attempt(attempt);
    return report_result(user, result, text);
}

int change_password(const char *user) {
    smp_attempt *attempt = NULL;
    char *text = NULL;
    int retries = 0, cancelled = 0, network = 0;
    /* Asking whether the network keeps the account keeps the library from
     * writing a protected entry for a user that lives in the directory. */
    int result = smp_check_user(SMP_PASSWD, (char *)user, NULL, getuid(), &attempt, &retries, &text,
                                &network, NULL);
    if (!may_go_on(result)) return refuse(attempt, user, result, text);
    printf("Changing the password of %s.\n", user);
    fflush(stdout);
    result = authorise(attempt, &text, &cancelled);
    if (cancelled) return report_cancelled();
    if (result != SMP_PW_OK) return refuse(attempt, user, result, text);
    result = set_new_password(attempt, retries, &text, &cancelled);
    if (cancelled) return report_cancelled();
    if (result != SMP_DONE) return refuse(attempt, user, result, text);
    printf("Password changed for %s.\n", user);
    smp_free_attempt(attempt);
    return TOOL_OK;
}
