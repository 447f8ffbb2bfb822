// A user's /etc/passwd entry by name, found through the name index when
// the index can tell: the answer is always platform::getpwnam's, the
// whole-file parse, then the network's users.
#pragma once

#include <pwd.h>

namespace vant::mirror {

struct passwd *user_by_name(const char *name);

}  // namespace vant::mirror
