// Start-up of a client, its starting identity, and the quiet zone.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "frame/frame.h"
#include "frame/messages.h"
#include "vant.h"

char *command_name = nullptr;

namespace {

constexpr vant_id_t kUnset = 0xFFFF;

struct IdentityState {
    int auth_done = 0;
    vant_id_t luid = kUnset;
    vant_id_t ruid = kUnset;
    vant_id_t rgid = kUnset;
    vant_id_t euid = kUnset;
    vant_id_t egid = kUnset;
    volatile sig_atomic_t no_security_syscall = 0;
    int quiet = 0;
    sigset_t old_sig_mask{};
};
IdentityState state;

// The signals a database rewrite must not be interrupted by.
constexpr int kQuietSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGSYS, SIGALRM, SIGTERM, SIGXFSZ};

void catch_no_sec_sys_calls(int) {
    vant::frame::report(VANT_SEV_FATAL, vant::frame::msg_vant_badkernel);
    state.no_security_syscall = 1;
}

// A closed standard stream is reopened on /dev/null, else on /dev/tty, so
// that files the process opens later never land on descriptors 0 to 2.
// Returns true when the stream was already open.
bool secure_stream(FILE *stream, int fd, const vant::frame::Message &failure) {
    struct stat st;
    if (fstat(fd, &st) == 0) return true;
    if (freopen("/dev/null", "r+", stream) == nullptr &&
        freopen("/dev/tty", "r+", stream) == nullptr)
        vant::frame::report(VANT_SEV_FATAL, failure);
    return false;
}

// All three are secured even when an earlier one had to be reopened: a
// stream left closed would hand its descriptor to the next file opened.
bool secure_streams() {
    using namespace vant::frame;
    bool in = secure_stream(stdin, STDIN_FILENO, msg_vant_badstdin);
    bool out = secure_stream(stdout, STDOUT_FILENO, msg_vant_badstdout);
    bool err = secure_stream(stderr, STDERR_FILENO, msg_vant_badstderr);
    return in && out && err;
}

bool same_id(vant_id_t recorded, int id) {
    return recorded == static_cast<vant_id_t>(id);
}

}  // namespace

namespace vant::frame {

int set_auth_parameters(int argc, char **argv) {
    if (state.auth_done) return 0;
    state.auth_done = 1;
    if (!secure_streams()) return -1;
    if (argc < 1 || argv == nullptr || argv[0] == nullptr) {
        vant::frame::report(VANT_SEV_FATAL, vant::frame::msg_vant_badargs);
        return -1;
    }
    char *slash = strrchr(argv[0], '/');
    command_name = slash != nullptr ? slash + 1 : argv[0];
    alarm(0);

    state.no_security_syscall = 0;
    struct sigaction probe {
    }, previous{};
    probe.sa_handler = catch_no_sec_sys_calls;
    sigemptyset(&probe.sa_mask);
    sigaction(SIGSYS, &probe, &previous);
    state.luid = static_cast<vant_id_t>(frame::getluid());
    if (state.no_security_syscall) {
        sigaction(SIGSYS, &previous, nullptr);
        return -2;
    }
    state.ruid = static_cast<vant_id_t>(getuid());
    state.rgid = static_cast<vant_id_t>(getgid());
    state.euid = static_cast<vant_id_t>(geteuid());
    state.egid = static_cast<vant_id_t>(getegid());
    sigaction(SIGSYS, &previous, nullptr);
    umask(~0700 & 0777);
    return 0;
}

void check_auth_parameters(void) {
    if (state.auth_done) return;
    fflush(stdout);
    fprintf(stderr, "%s\n",
            frame::intl_msg(vant::frame::msg_vant_authparms.number, vant_authparms));
    fflush(stderr);
    exit(1);
}

vant_id_t starting_luid(void) {
    frame::check_auth_parameters();
    return state.luid;
}

vant_id_t starting_ruid(void) {
    frame::check_auth_parameters();
    return state.ruid;
}

vant_id_t starting_euid(void) {
    frame::check_auth_parameters();
    return state.euid;
}

vant_id_t starting_rgid(void) {
    frame::check_auth_parameters();
    return state.rgid;
}

vant_id_t starting_egid(void) {
    frame::check_auth_parameters();
    return state.egid;
}

int is_starting_luid(int uid) {
    return same_id(frame::starting_luid(), uid);
}

int is_starting_ruid(int uid) {
    return same_id(frame::starting_ruid(), uid);
}

int is_starting_euid(int uid) {
    return same_id(frame::starting_euid(), uid);
}

int is_starting_rgid(int gid) {
    return same_id(frame::starting_rgid(), gid);
}

int is_starting_egid(int gid) {
    return same_id(frame::starting_egid(), gid);
}

int enter_quiet_zone(void) {
    frame::check_auth_parameters();
    if (++state.quiet != 1) return state.quiet;
    sigset_t block;
    sigemptyset(&block);
    for (int sig : kQuietSignals)
        sigaddset(&block, sig);
    return sigprocmask(SIG_BLOCK, &block, &state.old_sig_mask);
}

int exit_quiet_zone(void) {
    frame::check_auth_parameters();
    if (--state.quiet > 0) return 0;
    if (state.quiet == 0) {
        sigprocmask(SIG_SETMASK, &state.old_sig_mask, nullptr);
        return 0;
    }
    fflush(stdout);
    state.quiet = 0;
    vant::frame::report(VANT_SEV_WARNING, vant::frame::msg_vant_signalstates);
    return -1;
}

}  // namespace vant::frame
