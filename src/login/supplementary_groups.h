// The supplementary group list a user gets at login: the groups named in
// the user's own .suppgroups file, or else every group that lists the user.
#pragma once

#include <stdio.h>
#include <sys/types.h>

namespace vant::login {

// Ends a list, and stands for no group at all.
inline constexpr gid_t kNoGroup = 0xFFFF;

// Each returns the number of warnings (groups left out, listed twice, lines
// too long), or -1 with errno set. A list holds at most vectorsize - 1
// groups and the end mark.
int setbasesg(const char *user, FILE *msgfp);
int getbasesg(const char *user, int vectorsize, gid_t list[], FILE *msgfp);
int usersgroups(const char *user, gid_t base, int vectorsize, gid_t list[], FILE *msgfp);
int readsgfile(const char *user, gid_t base, int vectorsize, gid_t list[]);

}  // namespace vant::login
