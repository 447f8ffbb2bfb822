// Directory entries turned into the lines of the conventional files, and
// only entries that make a sound line: every refusal says why.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vant::directory {

// One entry as the directory returned it; attribute names in lower case,
// looked up in any case.
struct Entry {
    std::string dn;
    std::map<std::string, std::vector<std::string>> attributes;

    const std::vector<std::string> *values(const char *name) const;
};

// What a password-file line carries in its password field: a placeholder,
// or the entry's crypted password (the lines of the password stream).
enum class PasswordField { placeholder, crypted };

struct Line {
    bool ok = false;
    std::string text;  // the line, without newline
    std::string name;
    long id = -1;
    std::string why;  // the refusal, when not ok
};

// name:password:uid:gid:gecos:home:shell. `wanted` (or null) is the name
// asked for: the entry must carry it exactly among its names, the
// directory's own matching being blind to case.
Line user_line(const Entry &entry, const char *wanted, PasswordField password);
// name:*:gid:member,member
Line group_line(const Entry &entry, const char *wanted);

// Whether the entry carries `name` exactly among the values of `attribute`.
bool carries_name(const Entry &entry, const char *attribute, const char *name);

// The attributes the two kinds of line are made from.
extern const char *const kUserAttributes[];
extern const char *const kGroupAttributes[];

}  // namespace vant::directory
