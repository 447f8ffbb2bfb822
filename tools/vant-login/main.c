/* vant-login: a login program on the login services of libvant. */
#include <vant.h>

#include "login_attempt.h"
#include "options.h"
#include "terminal_guard.h"

int main(int argc, char **argv) {
    set_auth_parameters(argc, argv);
    struct login_options options = {0};
    int status = parse_login_options(argc, argv, &options);
    if (status != 0) return status < 0 ? 0 : status;
    guard_terminal();
    return run_login(&options);
}
