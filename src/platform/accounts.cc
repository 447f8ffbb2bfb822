#include "platform/accounts.h"

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <new>
#include <string>

#include "platform/descriptor.h"
#include "platform/nis_accounts.h"
#include "platform/root.h"
#include "platform/transfer.h"

namespace vant::platform {
namespace {

// One open stream per file for the enumerations.
struct Enumeration {
    FILE *stream = nullptr;
};
Enumeration users, groups;

// NIS inclusion lines ("+name", "-name") are not accounts of their own.
bool is_escape(const char *name) {
    return name[0] == '+' || name[0] == '-';
}

struct passwd *next_user(FILE *stream) {
    for (;;) {
        struct passwd *pw = fgetpwent(stream);
        if (pw == nullptr || !is_escape(pw->pw_name)) return pw;
    }
}

struct group *next_group(FILE *stream) {
    for (;;) {
        struct group *gr = fgetgrent(stream);
        if (gr == nullptr || !is_escape(gr->gr_name)) return gr;
    }
}

// The whole file, read at once: the C library's entry reader asks a file
// stream for its position before every line, one system call per line,
// which a memory stream answers without one.
bool read_whole(const char *path, std::string &text) {
    Descriptor fd(open_file(path, O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!fd.is_open() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    try {
        text.resize(static_cast<size_t>(st.st_size));
    } catch (const std::bad_alloc &) {
        return false;
    }
    ssize_t n = read_full(fd.get(), text.data(), text.size());
    if (n < 0) return false;
    text.resize(static_cast<size_t>(n));
    return true;
}

// Scans a whole file for the first entry that `match` accepts.
template <typename Entry, typename Next, typename Match>
Entry *find(const char *path, Next next, Match match) {
    static std::string text;
    if (!read_whole(path, text) || text.empty()) return nullptr;
    FILE *stream = fmemopen(text.data(), text.size(), "r");
    if (stream == nullptr) return nullptr;
    Entry *found = nullptr;
    while ((found = next(stream)) != nullptr && !match(found)) {
    }
    fclose(stream);
    return found;
}

void rewind_or_open(Enumeration &e, const char *path) {
    if (e.stream != nullptr)
        rewind(e.stream);
    else
        e.stream = fopen_file(path, "r");
}

void close_enumeration(Enumeration &e) {
    if (e.stream != nullptr) fclose(e.stream);
    e.stream = nullptr;
}

constexpr const char *kPasswd = "/etc/passwd";
constexpr const char *kGroup = "/etc/group";

}  // namespace

struct passwd *getpwnam(const char *name) {
    announce_user(name);
    struct passwd *found = find<struct passwd>(
        kPasswd, next_user, [name](struct passwd *pw) { return strcmp(pw->pw_name, name) == 0; });
    return found != nullptr ? found : nis_user_by_name(name);
}

struct passwd *getpwuid(uid_t uid) {
    struct passwd *found = find<struct passwd>(
        kPasswd, next_user, [uid](struct passwd *pw) { return pw->pw_uid == uid; });
    return found != nullptr ? found : nis_user_by_id(uid);
}

void setpwent() {
    rewind_or_open(users, kPasswd);
}

struct passwd *getpwent() {
    if (users.stream == nullptr) setpwent();
    return users.stream == nullptr ? nullptr : next_user(users.stream);
}

void endpwent() {
    close_enumeration(users);
}

struct group *getgrnam(const char *name) {
    return find<struct group>(kGroup, next_group,
                              [name](struct group *gr) { return strcmp(gr->gr_name, name) == 0; });
}

struct group *getgrgid(gid_t gid) {
    return find<struct group>(kGroup, next_group,
                              [gid](struct group *gr) { return gr->gr_gid == gid; });
}

void setgrent() {
    rewind_or_open(groups, kGroup);
}

struct group *getgrent() {
    if (groups.stream == nullptr) setgrent();
    return groups.stream == nullptr ? nullptr : next_group(groups.stream);
}

void endgrent() {
    close_enumeration(groups);
}

}  // namespace vant::platform
