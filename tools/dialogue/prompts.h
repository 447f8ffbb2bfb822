/* Questions asked on the terminal. */
#ifndef VANT_DIALOGUE_PROMPTS_H
#define VANT_DIALOGUE_PROMPTS_H

#include <stddef.h>

/* Asks on standard output and reads one line from standard input, without
 * its newline, into line (size bytes, a longer line cut). 0 when the input
 * ended first. */
int ask_line(const char *question, char *line, size_t size);

/* Asks for a password with echo off and copies it into password (81
 * bytes). 0 when the input ended first. */
int ask_password(const char *prompt, char *password);

/* Overwrites a password held by the program. */
void forget_password(char *password, size_t size);

#endif
