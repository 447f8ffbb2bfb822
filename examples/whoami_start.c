/*
 * A minimal client: starts as a client of the library and prints the
 * identity it was started with, with user and group names.
 */
#include <stdio.h>
#include <vant.h>

static const char *user_name(int id) {
    const char *name = pw_idtoname(id);
    return name != NULL ? name : "?";
}

static const char *group_name(int id) {
    const char *name = gr_idtoname(id);
    return name != NULL ? name : "?";
}

int main(int argc, char **argv) {
    int started = set_auth_parameters(argc, argv);
    if (started != 0) {
        fprintf(stderr, "%s: cannot start as a client (%d)\n", argv[0], started);
        return 1;
    }
    printf("login user:     %u (%s)\n", (unsigned)starting_luid(), user_name(starting_luid()));
    printf("real user:      %u (%s)\n", (unsigned)starting_ruid(), user_name(starting_ruid()));
    printf("effective user: %u (%s)\n", (unsigned)starting_euid(), user_name(starting_euid()));
    printf("real group:     %u (%s)\n", (unsigned)starting_rgid(), group_name(starting_rgid()));
    printf("effective group: %u (%s)\n", (unsigned)starting_egid(), group_name(starting_egid()));
    return 0;
}
