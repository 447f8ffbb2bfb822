/* What the password programs say about each result of the login services,
 * and the exit status that goes with it. */
#ifndef VANT_DIALOGUE_RESULTS_H
#define VANT_DIALOGUE_RESULTS_H

enum tool_status {
    TOOL_OK = 0,
    TOOL_FAILED = 1,
    TOOL_USAGE = 2,
    TOOL_NOPRIV = 3,
    TOOL_TERM_LOCKED = 4,
    TOOL_NO_USER = 5,
    TOOL_BAD_PW = 6,
    TOOL_ACCT_LOCKED = 7,
    TOOL_REJECTED = 8,
    TOOL_MISMATCH = 9,
    TOOL_REFUSED = 10,
    TOOL_RETIRED = 11,
    TOOL_CANNOT_CHANGE = 12,
    TOOL_TOO_SOON = 13,
    TOOL_NOMEM = 14,
    TOOL_CANCELLED = 15
};

/* The text for a refusing result; the library's own text, when it gave
 * one, takes the place of the general one. */
const char *result_message(int result, const char *text);
/* The exit status of a program that stops on that result. */
int result_status(int result);

/* Prints "command: subject: message" on standard error and returns the
 * result's exit status. subject may be null. */
int report_result(const char *subject, int result, const char *text);

/* Says that the input ended (or no terminal could be read) before the
 * dialogue was over; returns TOOL_CANCELLED. */
int report_cancelled(void);

#endif
