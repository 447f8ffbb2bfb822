// A user's /etc/passwd entry by name, found through the name index when
// the index can tell: the answer is always the one the whole-file parse
// of platform::getpwnam gives.
#pragma once

#include <pwd.h>

namespace vant::mirror {

struct passwd *user_by_name(const char *name);

}  // namespace vant::mirror
