#include "platform/accounts.h"

#include <stdio.h>
#include <string.h>

#include "platform/root.h"

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

// Scans a whole file for the first entry that `match` accepts.
template <typename Entry, typename Next, typename Match>
Entry *find(const char *path, Next next, Match match) {
    FILE *stream = fopen_file(path, "r");
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
    return find<struct passwd>(
        kPasswd, next_user, [name](struct passwd *pw) { return strcmp(pw->pw_name, name) == 0; });
}

struct passwd *getpwuid(uid_t uid) {
    return find<struct passwd>(kPasswd, next_user,
                               [uid](struct passwd *pw) { return pw->pw_uid == uid; });
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
