#include "terminal_guard.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

static int guarded_fd = -1;
static struct termios saved_modes;

static void restore_and_end(int signal_number) {
    tcsetattr(guarded_fd, TCSANOW, &saved_modes);
    _exit(128 + signal_number);
}

void guard_terminal(void) {
    static const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    if (tcgetattr(fd, &saved_modes) != 0) {
        close(fd);
        return;
    }
    guarded_fd = fd;
    struct sigaction ending = {0};
    ending.sa_handler = restore_and_end;
    sigfillset(&ending.sa_mask);
    for (size_t i = 0; i < sizeof signals / sizeof signals[0]; ++i)
        sigaction(signals[i], &ending, NULL);
}
