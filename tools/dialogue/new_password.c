#include "new_password.h"

#include <stdio.h>
#include <string.h>

#include "prompts.h"

enum { PASSWORD_SIZE = 81 };

/* One chosen password, judged and then entered again. */
static int choose_once(smp_attempt *attempt, int *retries, char **text, int *cancelled) {
    char password[PASSWORD_SIZE], again[PASSWORD_SIZE];
    if (!ask_password("New password:", password)) {
        *cancelled = 1;
        return SMP_FAIL;
    }
    int result = smp_try_pw(password, attempt, retries, text);
    if (result == SMP_NEW_PW_OK) {
        if (ask_password("Re-enter new password:", again))
            result = smp_set_pw(password, again, attempt, retries, text);
        else
            *cancelled = 1;
    }
    forget_password(password, sizeof password);
    forget_password(again, sizeof again);
    return *cancelled ? SMP_FAIL : result;
}

/* One generated password, shown and then typed back; an empty answer asks
 * for another. */
static int generate_once(smp_attempt *attempt, int *retries, char **text, int *cancelled) {
    char password[PASSWORD_SIZE], typed[PASSWORD_SIZE];
    char *divided = NULL;
    int result = smp_generate_pw(password, &divided, attempt);
    if (result != SMP_DONE) return result;
    printf("Generated password: %s (say it as %s)\n", password, divided);
    fflush(stdout);
    if (!ask_password("Type it to accept it, or press Return for another:", typed)) {
        *cancelled = 1;
        result = SMP_FAIL;
    } else if (typed[0] == '\0') {
        --*retries;
        result = SMP_PW_MISMATCH;
    } else {
        result = smp_set_pw(password, typed, attempt, retries, text);
    }
    forget_password(password, sizeof password);
    forget_password(typed, sizeof typed);
    return result;
}

static int wants_generated(int choice, int *cancelled) {
    if (choice != SMP_CHOOSE_OR_GENERATE) return choice == SMP_MUST_GENERATE;
    char answer[16];
    for (;;) {
        if (!ask_line("Choose a password yourself or take a generated one? [c/g] ", answer,
                      sizeof answer)) {
            *cancelled = 1;
            return 0;
        }
        if (strcmp(answer, "c") == 0 || strcmp(answer, "g") == 0) return answer[0] == 'g';
    }
}

static void explain(int result, const char *text) {
    if (result == SMP_NEW_PW_REJECTED)
        printf("Password rejected: %s\n", text != NULL && text[0] != '\0' ? text : "too weak");
    else if (result == SMP_PW_MISMATCH)
        printf("The entries differ; try again.\n");
    fflush(stdout);
}

int set_new_password(smp_attempt *attempt, int retries, char **text, int *cancelled) {
    int choice = smp_pw_choice(attempt, text);
    if (choice == SMP_FAIL || choice == SMP_NOMEM) return choice;
    *cancelled = 0;
    int generated = wants_generated(choice, cancelled);
    if (*cancelled) return SMP_FAIL;
    int result = SMP_NEW_PW_REJECTED;
    while (retries > 0) {
        *text = NULL;
        result = generated ? generate_once(attempt, &retries, text, cancelled)
                           : choose_once(attempt, &retries, text, cancelled);
        if (result == SMP_DONE || *cancelled) return result;
        if (result != SMP_NEW_PW_REJECTED && result != SMP_PW_MISMATCH) return result;
        explain(result, *text);
    }
    return result;
}
