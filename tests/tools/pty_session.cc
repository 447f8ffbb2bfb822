#include "tools/pty_session.h"

#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace vant::test {
namespace {

constexpr int kPatienceMs = 10000;

[[noreturn]] void become(const std::string &program, const std::vector<std::string> &args,
                         RunAs who) {
    bool switching = who.uid != static_cast<uid_t>(-1) && who.uid != getuid();
    if (switching && (setgroups(0, nullptr) != 0 || setgid(who.gid) != 0 || setuid(who.uid) != 0))
        _exit(126);
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

}  // namespace

PtySession::PtySession(const std::string &program, const std::vector<std::string> &args,
                       RunAs who) {
    // The kernel's modes for a new terminal are a person's: echo, lines,
    // ^C and ^D.
    child_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (child_ < 0) throw std::runtime_error("forkpty failed");
    if (child_ == 0) become(program, args, who);
}

PtySession::~PtySession() {
    if (child_ > 0) {
        kill(child_, SIGKILL);
        waitpid(child_, nullptr, 0);
    }
    close(master_);
}

bool PtySession::read_some(int patience_ms) {
    struct pollfd p = {master_, POLLIN, 0};
    if (poll(&p, 1, patience_ms) <= 0) return false;
    char buf[512];
    ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) return false;
    screen_.append(buf, static_cast<size_t>(n));
    return true;
}

bool PtySession::expect(const std::string &text) {
    size_t found;
    while ((found = screen_.find(text, seen_)) == std::string::npos)
        if (!read_some(kPatienceMs)) return false;
    seen_ = found + text.size();
    return true;
}

void PtySession::type(const std::string &keys) {
    if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
        throw std::runtime_error("cannot type on the terminal");
}

bool PtySession::echo_on() const {
    struct termios modes {};
    tcgetattr(master_, &modes);
    return (modes.c_lflag & ECHO) != 0;
}

void PtySession::signal(int number) const {
    kill(child_, number);
}

int PtySession::finish() {
    int status = 0;
    for (int waited = 0; waited < kPatienceMs; waited += 10) {
        read_some(0);
        if (waitpid(child_, &status, WNOHANG) == child_) {
            child_ = -1;
            while (read_some(50)) {
            }
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        usleep(10 * 1000);
    }
    return -1;
}

}  // namespace vant::test
