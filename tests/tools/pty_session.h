// A program run on a pseudo-terminal and driven as a person at that
// terminal would: read what it shows, type, look at the terminal's modes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vant::test {

// Who the program runs as; the default is the test's own identity.
struct RunAs {
    uid_t uid = static_cast<uid_t>(-1);
    gid_t gid = static_cast<gid_t>(-1);
};

class PtySession {
  public:
    PtySession(const std::string &program, const std::vector<std::string> &args, RunAs who = {});
    ~PtySession();
    PtySession(const PtySession &) = delete;
    PtySession &operator=(const PtySession &) = delete;

    // Reads the screen until text appears; false when it did not in time.
    // Everything read is kept in screen().
    bool expect(const std::string &text);
    void type(const std::string &keys);
    bool echo_on() const;
    void signal(int number) const;
    // The exit status (128 + N for a signal N), once the program ends.
    int finish();
    const std::string &screen() const { return screen_; }

  private:
    bool read_some(int patience_ms);
    int master_ = -1;
    pid_t child_ = -1;
    std::string screen_;
    size_t seen_ = 0;
};

}  // namespace vant::test
