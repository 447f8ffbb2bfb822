#include "authdb/entry_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>

#include <map>
#include <utility>

#include "authdb/authdb.h"
#include "platform/descriptor.h"
#include "platform/root.h"

namespace vant::authdb {
namespace {

struct Held {
    platform::Descriptor fd;
    int count;
};

// Directories this process holds, by logical name.
std::map<std::string, Held> &held_directories() {
    static std::map<std::string, Held> held;
    return held;
}

// Only absolute logical paths name a database; anything else locks nothing.
std::string directory_of(const char *path) {
    if (path == nullptr || path[0] != '/') return {};
    std::string p = path;
    size_t slash = p.rfind('/');
    return slash == 0 ? "/" : p.substr(0, slash);
}

std::string database_of(const char *name, int object) {
    return directory_of(authdb::find_auth_file(name, object).get());
}

platform::Descriptor lock_directory(const std::string &directory) {
    platform::Descriptor fd(
        platform::open_file(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.is_open()) return fd;
    int locked;
    while ((locked = flock(fd.get(), LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) fd.reset();
    return fd;
}

}  // namespace

EntryLock::EntryLock(const char *database) : directory_(directory_of(database)) {
    take();
}

EntryLock::EntryLock(const char *name, int object) : directory_(database_of(name, object)) {
    take();
}

void EntryLock::take() {
    if (directory_.empty()) return;
    auto &held = held_directories();
    auto it = held.find(directory_);
    if (it != held.end()) {
        ++it->second.count;
        held_ = true;
        return;
    }
    platform::Descriptor fd = lock_directory(directory_);
    if (!fd.is_open()) return;
    held.emplace(directory_, Held{std::move(fd), 1});
    held_ = true;
}

EntryLock::~EntryLock() {
    if (!held_) return;
    auto &held = held_directories();
    auto it = held.find(directory_);
    if (it == held.end() || --it->second.count > 0) return;
    held.erase(it);
}

}  // namespace vant::authdb
