#include "login_finish.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "results.h"

static void print_last_logins(smp_attempt *attempt) {
    char *success = NULL, *failure = NULL;
    if (smp_get_messages(attempt, &success, &failure) != SMP_DONE) return;
    printf("%s\n%s\n", success, failure);
    fflush(stdout);
    free(success);
    free(failure);
}

static void free_environment(char **environment) {
    free(environment[0]);
    free(environment);
}

static int show_login(smp_attempt *attempt) {
    char **environment = NULL, *shell = NULL;
    print_last_logins(attempt);
    int result = smp_login_environment(attempt, &environment, &shell);
    if (result != SMP_DONE) return report_result(NULL, result, NULL);
    printf("Shell: %s\nEnvironment:\n", shell);
    for (char **entry = environment; *entry != NULL; ++entry)
        printf("  %s\n", *entry);
    fflush(stdout);
    free_environment(environment);
    return TOOL_OK;
}

static int run_shell(const char *shell, char **environment) {
    const char *slash = strrchr(shell, '/');
    char name[256];
    snprintf(name, sizeof name, "-%s", slash != NULL ? slash + 1 : shell);
    char *argv[] = {name, NULL};
    execve(shell, argv, environment);
    fprintf(stderr, "%s: cannot run the shell %s: %s\n", command_name, shell, strerror(errno));
    free_environment(environment);
    return TOOL_FAILED;
}

/* Returns only when the shell could not be started. */
static int become_user(smp_attempt *attempt) {
    char *text = NULL, **environment = NULL, *shell = NULL;
    int result = smp_set_identity(attempt, &text, &environment, &shell);
    if (result == SMP_NOPRIV) {
        fprintf(stderr, "%s: changing to the user's identity needs root; try --no-exec\n",
                command_name);
        return TOOL_NOPRIV;
    }
    if (result == SMP_OVERRIDDEN)
        fprintf(stderr, "%s: warning: %s\n", command_name, text);
    else if (result != SMP_DONE)
        return report_result(NULL, result, text);
    print_last_logins(attempt);
    return run_shell(shell, environment);
}

int finish_login(smp_attempt *attempt, const struct login_options *options) {
    int status = options->no_exec ? show_login(attempt) : become_user(attempt);
    smp_free_attempt(attempt);
    return status;
}
