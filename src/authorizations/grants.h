// Internal side of the subsystem authorizations: reading the grant files in
// /etc/auth/subsystems, the default authorizations, and who runs the program.
#pragma once

#include <stdio.h>

#include <string_view>

#include "authdb/authdb.h"
#include "authdb/line_reader.h"
#include "vant.h"

namespace vant::authorizations {

inline constexpr const char *kDefaultUsers = "dflt_users";

using authdb::OwnedText;

inline bool bit_set(vant_mask_t vector, int bit) {
    return bit >= 0 && bit < 32 && (vector >> bit & 1u) != 0;
}

using authdb::LineReader;

// Opens a grant file (a logical path) for reading; null when it does not open.
FILE *open_grant_file(const char *path);

// A line's text without its newline.
std::string_view line_text(const char *line, size_t length);
// The user a grant-file line is for: the text before its first ":", or the
// whole line, newline excluded.
std::string_view line_user(const char *line, size_t length);

enum class UserLine {
    found,      // *names points at the names after the colon, newline removed
    absent,     // no line for the user
    malformed,  // a line without ":" came first (reported)
    unreadable  // a read error (reported)
};
// Looks through a grant file for the first line of `user`.
UserLine find_user_line(LineReader &in, const char *path, const char *user, char **names);

// Whether the comma-separated `names` hold `wanted` exactly.
bool lists_name(std::string_view names, const char *wanted);

enum class DefaultListing { listed, not_listed, unopened };
// Whether /etc/auth/subsystems/dflt_users lists `user`.
DefaultListing default_user_listing(const char *user);

// Whether the System Default entry's u_cmdpriv grants `authorization`,
// directly or through its primary.
int has_default_auth(const char *authorization);
// The u_cmdpriv vector of the System Default record, or no bit at all.
vant_mask_t default_subsys_auths();

// Who runs the program, as the checks see it.
struct RunningUser {
    bool superuser;    // real user id 0 on a system that requires integrity
    const char *name;  // otherwise the user's name; null when there is none
};
RunningUser running_user();

// A copy of a name from the id maps, whose storage moves when a map is
// rebuilt; null for a null name or (reported) when memory runs out.
char *copy_name(const char *name);

int is_privileged(const char *subsystem, const char *authorization);

}  // namespace vant::authorizations
