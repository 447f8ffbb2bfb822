// The test sandbox: a temporary root holding a small system, with
// VANT_ROOT pointing at it before the first library call of the process.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <time.h>

#include <string>

namespace vant::test {

class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    const std::string &root() const { return root_; }
    // The host path of a logical path inside the sandbox.
    std::string path(const std::string &logical) const;

    void write(const std::string &logical, const std::string &content, mode_t mode = 0644) const;
    std::string read(const std::string &logical) const;
    bool exists(const std::string &logical) const;
    void mkdir(const std::string &logical, mode_t mode = 0755) const;
    void remove(const std::string &logical) const;

    // Which file stands at a path, and when it was last written: a file
    // that was not rewritten keeps both.
    struct Stamp {
        ino_t inode = 0;
        time_t seconds = 0;
        long nanoseconds = 0;
        bool operator==(const Stamp &) const = default;
    };
    Stamp stamp(const std::string &logical) const;

    // Puts the recorder in place of the audit delivery program; it appends
    // what it is given to the file that recorder_log() names.
    void install_recorder() const;
    std::string recorder_log() const { return path("/recorder.log"); }

  private:
    std::string root_;
};

// A test whose process runs inside a fresh sandbox.
class SandboxTest : public ::testing::Test {
  protected:
    Sandbox box;
};

// The users and groups every sandbox starts with.
extern const char *const kDefaultPasswd;
extern const char *const kDefaultGroup;

}  // namespace vant::test
