// Reading a password with echo off. An interrupt stops the read; it is
// delivered again once the terminal and the caller's handler are back.
#include <errno.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "frame/frame.h"
#include "passwords/passwords.h"
#include "passwords/wipe.h"
#include "platform/root.h"
#include "vant.h"

namespace {

constexpr int kMaxPassword = 80;
constexpr tcflag_t kEchoFlags = ECHO | ECHOE | ECHOK | ECHONL;

struct EntryState {
    char password[kMaxPassword + 1];
    int was_eof;
    volatile sig_atomic_t interrupts;
};
EntryState state;

void count_interrupt(int) {
    state.interrupts = state.interrupts + 1;
}

// No SA_RESTART: an interrupt must end a read that is waiting for input.
class InterruptCounter {
  public:
    InterruptCounter() {
        struct sigaction counting {};
        counting.sa_handler = count_interrupt;
        sigemptyset(&counting.sa_mask);
        sigaction(SIGINT, &counting, &previous_);
        state.interrupts = 0;
    }
    ~InterruptCounter() { sigaction(SIGINT, &previous_, nullptr); }
    InterruptCounter(const InterruptCounter &) = delete;
    InterruptCounter &operator=(const InterruptCounter &) = delete;

  private:
    struct sigaction previous_ {};
};

// Input that is not a terminal is read as it is.
class EchoOff {
  public:
    explicit EchoOff(int fd) : fd_(fd) {
        if (tcgetattr(fd_, &saved_) != 0) {
            fd_ = -1;
            return;
        }
        struct termios quiet = saved_;
        quiet.c_lflag &= ~kEchoFlags;
        tcsetattr(fd_, TCSAFLUSH, &quiet);
    }
    ~EchoOff() {
        if (fd_ >= 0) tcsetattr(fd_, TCSANOW, &saved_);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

  private:
    int fd_;
    struct termios saved_ {};
};

// Stores at most limit characters of the line and discards the rest.
// Returns true when the input ended before a newline. A read cut short by
// some other signal is taken up again; any other error ends the input.
bool read_line(FILE *in, size_t limit) {
    size_t stored = 0;
    bool ended = false;
    while (state.interrupts == 0) {
        int c = getc(in);
        if (c == EOF && ferror(in) && errno == EINTR) {
            clearerr(in);
            continue;
        }
        if (c == EOF) ended = true;
        if (c == EOF || c == '\n') break;
        if (stored < limit) state.password[stored++] = static_cast<char>(c);
    }
    state.password[stored] = '\0';
    return ended;
}

}  // namespace

namespace vant::passwords {

char *fgetpasswd(const char *prompt, int maxlen, FILE *in, FILE *out) {
    frame::check_auth_parameters();
    state.was_eof = 0;
    // The previous password goes as soon as a new one is asked for.
    vant::passwords::wipe(state.password, sizeof state.password);
    if (prompt == nullptr) return state.password;
    if (in == nullptr && (in = vant::platform::fopen_file("/dev/tty", "r+")) == nullptr)
        return nullptr;
    if (out == nullptr) out = stderr;
    setvbuf(in, nullptr, _IONBF, 0);
    bool interrupted;
    {
        InterruptCounter counter;
        EchoOff echo_off(fileno(in));
        fputs(prompt, out);
        fflush(out);
        bool ended = read_line(in, static_cast<size_t>(std::clamp(maxlen, 0, kMaxPassword)));
        putc('\n', out);
        fflush(out);
        state.was_eof = ended;
        interrupted = state.interrupts != 0;
    }
    if (in != stdin) fclose(in);
    if (interrupted) kill(getpid(), SIGINT);
    return state.password;
}

char *getpasswd(const char *prompt, int maxlen) {
    return passwords::fgetpasswd(prompt, maxlen, nullptr, nullptr);
}

int pw_was_eof(void) {
    return state.was_eof;
}

}  // namespace vant::passwords
