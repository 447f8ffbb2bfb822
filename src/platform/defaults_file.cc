#include "platform/defaults_file.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "platform/root.h"

namespace vant::platform {
namespace {

bool begins_with(const char *line, const char *key, int flags) {
    size_t n = strlen(key);
    if (flags & kDefaultsCaseSensitive) return strncmp(line, key, n) == 0;
    return strncasecmp(line, key, n) == 0;
}

struct Reader {
    DefaultsFile file;
    int flags = kDefaultsCaseSensitive;
};

// Made on first use: clang cannot constant-initialise the string inside.
Reader &reader() {
    static Reader process_reader;
    return process_reader;
}

}  // namespace

bool DefaultsFile::open(const char *path) {
    close();
    fp_ = fopen_file(path, "r");
    return fp_ != nullptr;
}

void DefaultsFile::close() {
    if (fp_ != nullptr) fclose(fp_);
    fp_ = nullptr;
}

const char *DefaultsFile::read(const char *key, int flags) {
    if (fp_ == nullptr || key == nullptr) return nullptr;
    rewind(fp_);
    char *line = nullptr;
    size_t capacity = 0;
    ssize_t length;
    const char *found = nullptr;
    while ((length = getline(&line, &capacity, fp_)) >= 0) {
        if (!begins_with(line, key, flags)) continue;
        if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';
        value_ = line + strlen(key);
        found = value_.c_str();
        break;
    }
    free(line);
    return found;
}

int defopen(const char *path) {
    if (path == nullptr) {
        reader().file.close();
        return 0;
    }
    if (reader().file.open(path)) return 0;
    return errno != 0 ? errno : -1;
}

const char *defread(const char *key) {
    return reader().file.read(key, reader().flags);
}

int defcntl(int command, int flags) {
    int old = reader().flags;
    switch (command) {
        case 0:
            return old;
        case 1:
            reader().flags = flags;
            return old;
        default:
            return -1;
    }
}

}  // namespace vant::platform
