#include "platform/root.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <unistd.h>

#include <string_view>

#include "platform/descriptor.h"

namespace vant::platform {
namespace {

// Host facilities that stay the host's even under a root.
constexpr std::string_view kHostOnly[] = {"/dev/null", "/dev/tty", "/bin/sh"};
constexpr std::string_view kHostTrees[] = {"/proc/"};

std::string decide_root() {
    // secure_getenv hides the variable from set-id processes, so a set-id
    // program can never be pointed at a tree its caller prepared.
    const char *value = secure_getenv("VANT_ROOT");
    if (value == nullptr || value[0] == '\0') return {};
    std::string dir(value);
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (dir == "/") return {};
    return dir;
}

bool stays_on_host(std::string_view path) {
    for (auto p : kHostOnly)
        if (path == p) return true;
    for (auto t : kHostTrees)
        if (path.substr(0, t.size()) == t) return true;
    return false;
}

}  // namespace

const std::string &root() {
    static const std::string dir = decide_root();
    return dir;
}

std::string host_path(const char *logical) {
    const std::string &dir = root();
    if (dir.empty() || logical[0] != '/' || stays_on_host(logical)) return logical;
    return dir + logical;
}

bool is_file_name(const char *name) {
    return name != nullptr && name[0] != '\0' && strchr(name, '/') == nullptr &&
           strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

int open_file(const char *path, int flags, mode_t mode) {
    return ::open(host_path(path).c_str(), flags | O_CLOEXEC, mode);
}

int open_file_inherited(const char *path, int flags) {
    return ::open(host_path(path).c_str(), flags & ~O_CLOEXEC);
}

FILE *fopen_file(const char *path, const char *mode) {
    std::string m(mode);
    m += 'e';
    return ::fopen(host_path(path).c_str(), m.c_str());
}

int stat_file(const char *path, struct stat *st) {
    return ::stat(host_path(path).c_str(), st);
}
int lstat_file(const char *path, struct stat *st) {
    return ::lstat(host_path(path).c_str(), st);
}
int access_file(const char *path, int how, AccessIds ids) {
    return ::faccessat(AT_FDCWD, host_path(path).c_str(), how,
                       ids == kEffectiveIds ? AT_EACCESS : 0);
}
int unlink_file(const char *path) {
    return ::unlink(host_path(path).c_str());
}

int rename_file(const char *from, const char *to) {
    return ::rename(host_path(from).c_str(), host_path(to).c_str());
}

int link_file(const char *from, const char *to) {
    return ::link(host_path(from).c_str(), host_path(to).c_str());
}

int chmod_file(const char *path, mode_t mode) {
    return ::chmod(host_path(path).c_str(), mode);
}

int chown_file(const char *path, uid_t owner, gid_t group) {
    return ::chown(host_path(path).c_str(), owner, group);
}

int set_file_times(const char *path, time_t atime, time_t mtime) {
    struct timeval tv[2] = {{atime, 0}, {mtime, 0}};
    return ::utimes(host_path(path).c_str(), tv);
}

int make_directory(const char *path, mode_t mode) {
    return ::mkdir(host_path(path).c_str(), mode);
}

int sync_file(const char *path) {
    Descriptor fd(::open(host_path(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.is_open()) return -1;
    return ::fsync(fd.get());
}

int sync_directory_of(const char *path) {
    const char *slash = strrchr(path, '/');
    if (slash == nullptr) return sync_file(".");
    std::string dir(path, slash == path ? 1 : static_cast<size_t>(slash - path));
    return sync_file(dir.c_str());
}

int change_directory(const char *path) {
    return ::chdir(host_path(path).c_str());
}
DIR *open_directory(const char *path) {
    return ::opendir(host_path(path).c_str());
}

int exec_program(const char *path, char *const argv[], char *const envp[]) {
    const std::string program = host_path(path);
    if (envp == nullptr) return ::execv(program.c_str(), argv);
    return ::execve(program.c_str(), argv, envp);
}

}  // namespace vant::platform
