// A program run on a pseudo-terminal and driven as a person at that
// terminal would: read what it shows, type, look at the terminal's modes.
#pragma once

#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vant::test {

// Who the program runs as; the default is the test's own identity.
struct RunAs {
    uid_t uid = getuid();
    gid_t gid = getegid();
};

class PtySession {
  public:
    // A new terminal has a person's modes: echo, lines, ^C and ^D.
    PtySession(const std::string &program, std::vector<std::string> args, RunAs who = {})
        : PtySession([&]() -> int {
              if (who.uid != getuid() &&
                  (setgroups(0, nullptr) || setgid(who.gid) || setuid(who.uid)))
                  return 126;
              std::vector<char *> argv{const_cast<char *>(program.c_str())};
              for (std::string &a : args)
                  argv.push_back(a.data());
              argv.push_back(nullptr);
              execv(program.c_str(), argv.data());
              return 127;
          }) {}
    // A piece of the test itself, in a child whose controlling terminal this
    // is; its result is the exit status.
    explicit PtySession(const std::function<int()> &body) {
        child_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (child_ < 0) throw std::runtime_error("forkpty failed");
        if (child_ == 0) _exit(body());
    }
    ~PtySession() {
        if (child_ > 0) kill(child_, SIGKILL), waitpid(child_, nullptr, 0);
        close(master_);
    }
    PtySession(const PtySession &) = delete;
    PtySession &operator=(const PtySession &) = delete;

    // Reads the screen until text appears after what was last expected;
    // false when it did not in time.
    bool expect(const std::string &text) {
        size_t found;
        while ((found = screen_.find(text, seen_)) == std::string::npos)
            if (!read_some(kPatienceMs)) return false;
        seen_ = found + text.size();
        return true;
    }
    void type(const std::string &keys) {
        if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
            throw std::runtime_error("cannot type on the terminal");
    }
    tcflag_t local_modes() const {
        struct termios modes {};
        tcgetattr(master_, &modes);
        return modes.c_lflag;
    }
    bool echo_on() const { return (local_modes() & ECHO) != 0; }
    void signal(int number) const { kill(child_, number); }
    // The exit status (128 + N for a signal N), once the program ends;
    // `nudge` is typed again each second it has not.
    int finish(const std::string &nudge = "") {
        int status = 0;
        for (int waited = 0; waited < kPatienceMs; waited += 10, usleep(10 * 1000)) {
            if (!nudge.empty() && waited % 1000 == 990) type(nudge);
            read_some(0);
            if (waitpid(child_, &status, WNOHANG) != child_) continue;
            child_ = -1;
            while (read_some(50)) {
            }
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return -1;
    }
    const std::string &screen() const { return screen_; }

  private:
    static constexpr int kPatienceMs = 10000;
    bool read_some(int patience_ms) {
        struct pollfd p = {master_, POLLIN, 0};
        char buf[512];
        ssize_t n = poll(&p, 1, patience_ms) > 0 ? read(master_, buf, sizeof buf) : 0;
        if (n > 0) screen_.append(buf, static_cast<size_t>(n));
        return n > 0;
    }
    int master_ = -1;
    pid_t child_ = -1;
    std::string screen_;
    size_t seen_ = 0;
};

}  // namespace vant::test
