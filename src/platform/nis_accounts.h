// Users that /etc/passwd does not hold, taken from the host hooks: the
// platform's user lookups fall back on them, as a system that keeps users
// on the network answers for them.
#pragma once

#include <pwd.h>

namespace vant::platform {

// Tells the hooks which user is being looked up, before the file is
// searched, so that they can later say whether they answered for it.
void announce_user(const char *name);

// The user as the hooks give it, in static storage; null when they have
// no such user or their line is not a sound password-file line.
struct passwd *nis_user_by_name(const char *name);
struct passwd *nis_user_by_id(uid_t uid);

}  // namespace vant::platform
