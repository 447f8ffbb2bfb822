/*
 * Prints what the protected databases say about one user: the user's
 * Protected Password entry, the system-wide try limit from the System
 * Default entry, and the File Control entry that governs /etc/passwd.
 */
#include <stdio.h>
#include <vant.h>

static void show_user(const char *name) {
    struct pr_passwd *pr = getprpwnam(name);
    if (pr == NULL) {
        printf("user %s: no protected entry\n", name);
        return;
    }
    printf("user %s: id %u, %s\n", pr->ufld.u_name, (unsigned)pr->ufld.u_id,
           locked_out(pr) ? "locked" : "not locked");
}

static void show_try_limit(void) {
    long tries = 0;
    if (agetdefault() == 1 && agtnum("u_maxtries", &tries) == 0)
        printf("try limit: %ld\n", tries);
    else
        printf("try limit: none\n");
}

static void show_file(const char *path) {
    struct pr_file *f = getprfinam(path);
    if (f == NULL || !PR_F_ISSET(f->uflg, PR_F_MODE))
        printf("%s: no file control mode\n", path);
    else
        printf("%s: mode %04o\n", path, (unsigned)f->ufld.f_mode);
}

int main(int argc, char **argv) {
    if (set_auth_parameters(argc, argv) != 0 || argc != 2) {
        fprintf(stderr, "usage: %s user\n", argv[0]);
        return 2;
    }
    show_user(argv[1]);
    show_try_limit();
    show_file("/etc/passwd");
    return 0;
}
