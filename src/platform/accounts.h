// The system's users and groups, read from <root>/etc/passwd and
// <root>/etc/group, so that the library sees one consistent system whether
// or not it runs under a root. Results are in static storage, as the C
// library's own enumeration.
#pragma once

#include <grp.h>
#include <pwd.h>

namespace vant::platform {

struct passwd *getpwnam(const char *name);
struct passwd *getpwuid(uid_t uid);
void setpwent();
struct passwd *getpwent();
void endpwent();

struct group *getgrnam(const char *name);
struct group *getgrgid(gid_t gid);
void setgrent();
struct group *getgrent();
void endgrent();

}  // namespace vant::platform
