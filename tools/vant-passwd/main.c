/* vant-passwd: changes a password through the login services of libvant. */
#include <getopt.h>
#include <stdio.h>
#include <unistd.h>
#include <vant.h>

#include "password_change.h"
#include "results.h"
#include "terminal_guard.h"
#include "user_name.h"

static const char usage[] =
    "Usage: vant-passwd [USER]\n"
    "Changes your own password, or, for an administrator holding the auth\n"
    "authorization (or the passwd authorization, or named as the account's\n"
    "password changer), USER's. Asks for the old password where the account\n"
    "needs it, then lets you choose a new one or take a generated one, as\n"
    "the account allows. Passwords are read from the terminal with echo off.\n"
    "\n"
    "  -h, --help  print this help\n"
    "\n"
    "Exit status: 0 changed, 1 failure, 2 bad usage, 3 not privileged,\n"
    "5 no such user, 6 incorrect old password, 7 account locked, 8 new\n"
    "password rejected, 9 entries differ, 10 refused, 11 account retired,\n"
    "12 not allowed to change it, 13 changed too recently, 14 out of memory,\n"
    "15 input ended, 128+N ended by signal N. See vant-passwd(1).\n";

static int bad_usage(const char *message, const char *what) {
    fprintf(stderr, "%s: %s%s\nTry 'vant-passwd --help'.\n", command_name, message, what);
    return TOOL_USAGE;
}

int main(int argc, char **argv) {
    static const struct option longs[] = {{"help", no_argument, NULL, 'h'}, {NULL, 0, NULL, 0}};
    set_auth_parameters(argc, argv);
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, "h", longs, NULL)) != -1) {
        if (c != 'h') return bad_usage("unknown option: ", argv[optind - 1]);
        fputs(usage, stdout);
        return TOOL_OK;
    }
    if (optind + 1 < argc) return bad_usage("more than one user name: ", argv[optind + 1]);
    const char *user = optind < argc ? argv[optind] : pw_idtoname((int)getuid());
    if (user == NULL) {
        fprintf(stderr, "%s: you (user id %d) have no account\n", command_name, (int)getuid());
        return TOOL_NO_USER;
    }
    if (!valid_user_name(user))
        return bad_usage("invalid user name: empty, or with ':' or a newline", "");
    guard_terminal();
    return change_password(user);
}
