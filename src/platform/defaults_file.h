// Key files of site settings such as /etc/default/login: lines of the form
// KEY=value, looked up by key. The process-wide reader (defopen, defread,
// defcntl) serves the login services; a module that must not disturb it
// reads through a DefaultsFile of its own.
#pragma once

#include <stdio.h>

#include <string>

namespace vant::platform {

// Key matching respects case while this flag is set, as it is at first.
inline constexpr int kDefaultsCaseSensitive = 1;

class DefaultsFile {
  public:
    DefaultsFile() = default;
    ~DefaultsFile() { close(); }
    DefaultsFile(const DefaultsFile &) = delete;
    DefaultsFile &operator=(const DefaultsFile &) = delete;

    // Opens the logical path, closing any file opened before.
    bool open(const char *path);
    void close();
    // The text after `key` (which ends in "=") on the first line that begins
    // with it, without the newline; null when no line does. Valid until the
    // next read, open or close.
    const char *read(const char *key, int flags);

  private:
    FILE *fp_ = nullptr;
    std::string value_;
};

// 0 when the file is open, nonzero otherwise; a null path closes the file
// and gives 0.
int defopen(const char *path);
const char *defread(const char *key);
// Command 0 gives the flags, command 1 sets them and gives the old ones;
// -1 for any other command.
int defcntl(int command, int flags);

}  // namespace vant::platform
