#include "login_attempt.h"

#include <stdio.h>
#include <unistd.h>
#include <vant.h>

#include "login_finish.h"
#include "new_password.h"
#include "prompts.h"
#include "results.h"
#include "user_name.h"

/* What an attempt came to, beside the results of the login services. */
enum { ATTEMPT_PASSED = 100, ATTEMPT_CANCELLED = 101 };

/* The site's retries are read only once an account is found; an unknown
 * name first is given the library's default. */
enum { DEFAULT_RETRIES = 3 };

static int check_password(smp_attempt *attempt, char **text) {
    char password[81];
    if (!ask_password("Password:", password)) return ATTEMPT_CANCELLED;
    int result = smp_check_pw(password, attempt, text);
    forget_password(password, sizeof password);
    return result;
}

static int change_password(smp_attempt *attempt, int retries, char **text) {
    int cancelled = 0;
    printf("You must set a new password before logging in.\n");
    fflush(stdout);
    int result = set_new_password(attempt, retries, text, &cancelled);
    if (cancelled) return ATTEMPT_CANCELLED;
    return result == SMP_DONE ? ATTEMPT_PASSED : result;
}

static int warned(const char *text) {
    fprintf(stderr, "%s: warning: %s\n", command_name, text);
    return ATTEMPT_PASSED;
}

/* Takes an attempt on from the account check's answer. */
static int authenticate(smp_attempt *attempt, int result, int retries, char **text) {
    char ignored[81];
    switch (result) {
        case SMP_NO_USER:
            /* An unknown name gets the same questions as a known one. */
            if (!ask_password("Password:", ignored)) return ATTEMPT_CANCELLED;
            forget_password(ignored, sizeof ignored);
            return SMP_NO_USER;
        case SMP_CHECK_PW:
            result = check_password(attempt, text);
            if (result == SMP_PW_EXPIRED) return change_password(attempt, retries, text);
            if (result == SMP_PW_OK || result == SMP_PW_TOO_SOON) return ATTEMPT_PASSED;
            return result == SMP_OVERRIDDEN ? warned(*text) : result;
        case SMP_MUST_SET_PW:
            return change_password(attempt, retries, text);
        case SMP_NO_CHECK:
            return ATTEMPT_PASSED;
        case SMP_OVERRIDDEN:
            return warned(*text);
        default:
            return result;
    }
}

static int read_user(const struct login_options *options, char *name, size_t size,
                     const char **user) {
    *user = options->user;
    if (*user != NULL) return 1;
    do {
        if (!ask_line("login: ", name, size)) return 0;
    } while (!valid_user_name(name));
    *user = name;
    return 1;
}

int run_login(const struct login_options *options) {
    int retries = 0, allowed = 0;
    for (;;) {
        char name[64], *text = NULL;
        const char *user;
        smp_attempt *attempt = NULL;
        int delay = 0, network = 0;
        if (!read_user(options, name, sizeof name, &user)) return report_cancelled();
        /* A user the network keeps gets no protected entry written. */
        int result = smp_check_user(SMP_LOGIN, (char *)user, (char *)options->tty, 0, &attempt,
                                    &retries, &text, &network, &delay);
        if (retries <= 0) retries = DEFAULT_RETRIES;
        if (allowed == 0 && result != SMP_NO_USER) allowed = retries;
        result = authenticate(attempt, result, allowed > 0 ? allowed : retries, &text);
        if (result == ATTEMPT_PASSED) return finish_login(attempt, options);
        if (result == ATTEMPT_CANCELLED) return report_cancelled();
        smp_audit_fail(attempt, 0);
        smp_free_attempt(attempt);
        if (result != SMP_BAD_PW && result != SMP_NO_USER) return report_result(user, result, text);
        printf("Login incorrect\n");
        fflush(stdout);
        if (delay > 0) sleep((unsigned)delay);
        if (--retries <= 0) return TOOL_BAD_PW;
    }
}
