#include "results.h"

#include <stdio.h>
#include <vant.h>

struct result_row {
    int result;
    const char *message;
    int status;
};

static const struct result_row rows[] = {
    {SMP_NOMEM, "out of memory", TOOL_NOMEM},
    {SMP_NOPRIV, "not privileged: run as root or with the group auth", TOOL_NOPRIV},
    {SMP_TERM_LOCKED, "terminal locked", TOOL_TERM_LOCKED},
    {SMP_NO_USER, "no such user", TOOL_NO_USER},
    {SMP_BAD_PW, "incorrect password", TOOL_BAD_PW},
    {SMP_ACCT_LOCKED, "account locked", TOOL_ACCT_LOCKED},
    {SMP_PW_TOO_SOON, "password changed too recently to change again", TOOL_TOO_SOON},
    {SMP_NEW_PW_REJECTED, "new password rejected", TOOL_REJECTED},
    {SMP_PW_MISMATCH, "the two entries of the new password differ", TOOL_MISMATCH},
    {SMP_FAIL, "refused", TOOL_REFUSED},
    {SMP_OVERRIDDEN, "refused", TOOL_REFUSED},
    {SMP_RETIRED, "account retired", TOOL_RETIRED},
    {SMP_CANNOT_CHANGE, "you may not change this password", TOOL_CANNOT_CHANGE},
};

static const struct result_row *row_of(int result) {
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        if (rows[i].result == result) return &rows[i];
    return NULL;
}

const char *result_message(int result, const char *text) {
    const struct result_row *row = row_of(result);
    if (text != NULL && text[0] != '\0') return text;
    return row != NULL ? row->message : "unexpected answer of the login services";
}

int result_status(int result) {
    const struct result_row *row = row_of(result);
    return row != NULL ? row->status : TOOL_FAILED;
}

int report_result(const char *subject, int result, const char *text) {
    if (subject != NULL)
        fprintf(stderr, "%s: %s: %s\n", command_name, subject, result_message(result, text));
    else
        fprintf(stderr, "%s: %s\n", command_name, result_message(result, text));
    return result_status(result);
}

int report_cancelled(void) {
    fprintf(stderr, "%s: input ended before the dialogue was over; nothing more was done\n",
            command_name);
    return TOOL_CANCELLED;
}
