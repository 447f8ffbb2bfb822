/* The command line of vant-login. */
#ifndef VANT_LOGIN_OPTIONS_H
#define VANT_LOGIN_OPTIONS_H

struct login_options {
    const char *tty;  /* the terminal's device path, or null for none */
    const char *user; /* or null: asked for */
    int no_exec;
};

/* 0 when the options are usable; -1 when the help was printed; else the
 * exit status, after a message on standard error. */
int parse_login_options(int argc, char **argv, struct login_options *options);

#endif
