#include "options.h"

#include <getopt.h>
#include <stdio.h>
#include <unistd.h>
#include <vant.h>

#include "results.h"
#include "user_name.h"

static const char usage[] =
    "Usage: vant-login [-t TTY] [--no-exec] [USER]\n"
    "Logs USER in on the terminal TTY (a device path; by default standard\n"
    "input's terminal): asks for the user name when none is given and for\n"
    "the password with echo off, has an expired password changed, prints\n"
    "the last-login lines, then becomes the user and runs the user's shell.\n"
    "\n"
    "  -t, --tty=TTY  the terminal the login is on\n"
    "  -n, --no-exec  stop before the identity change: print the environment\n"
    "                 and shell the login would give (no root needed); the\n"
    "                 login itself is then not recorded\n"
    "  -h, --help     print this help\n"
    "\n"
    "Exit status: 0 logged in (with --no-exec), 2 bad usage, 3 not privileged,\n"
    "4 terminal locked, 6 login incorrect, 7 account locked, 8 or 9 new\n"
    "password not set, 10 refused, 11 account retired, 15 input ended,\n"
    "128+N ended by signal N. See vant-login(1).\n";

static int bad_usage(const char *message, const char *what) {
    fprintf(stderr, "%s: %s%s\n", command_name, message, what);
    fprintf(stderr, "Try 'vant-login --help'.\n");
    return TOOL_USAGE;
}

int parse_login_options(int argc, char **argv, struct login_options *options) {
    static const struct option longs[] = {{"tty", required_argument, NULL, 't'},
                                          {"no-exec", no_argument, NULL, 'n'},
                                          {"help", no_argument, NULL, 'h'},
                                          {NULL, 0, NULL, 0}};
    int c;
    opterr = 0;
    while ((c = getopt_long(argc, argv, "t:nh", longs, NULL)) != -1) {
        if (c == 't')
            options->tty = optarg;
        else if (c == 'n')
            options->no_exec = 1;
        else if (c == 'h')
            return fputs(usage, stdout), -1;
        else
            return bad_usage("unknown option: ", argv[optind - 1]);
    }
    if (optind + 1 < argc) return bad_usage("more than one user name: ", argv[optind + 1]);
    if (optind < argc) options->user = argv[optind];
    if (options->user != NULL && !valid_user_name(options->user))
        return bad_usage("invalid user name: empty, or with ':' or a newline", "");
    if (options->tty == NULL && isatty(STDIN_FILENO)) options->tty = ttyname(STDIN_FILENO);
    return 0;
}
