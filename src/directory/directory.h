// The directory as the hooks see it: users and groups by name or id, and
// every user, each turned into a line of the conventional files. Answers
// come back within the configured time-out; an unreachable server is left
// alone for a while, so that a run of lookups does not wait for it each time.
#pragma once

#include <string>
#include <vector>

#include "directory/entry_lines.h"

namespace vant::directory {

enum class Answer {
    found,
    none,         // the directory has no such entry, or none that makes a sound line
    unavailable,  // not configured, or the server did not answer
};

// Whether the site's settings name a usable directory (read once per process).
bool configured();

Answer user_by_name(const char *name, PasswordField password, Line &line);
Answer user_by_id(long id, PasswordField password, Line &line);
Answer group_by_name(const char *name, Line &line);
Answer group_by_id(long id, Line &line);
Answer all_users(PasswordField password, std::vector<Line> &lines);

}  // namespace vant::directory
