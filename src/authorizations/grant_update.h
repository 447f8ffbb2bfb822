// Internal side of granting authorizations: the rewrite of one grant file
// or of the list of default users, each replaced whole through the
// transition-file protocol.
#pragma once

namespace vant::authorizations {

// The authorizations granted to one user: names of any subsystem.
struct Grant {
    const char *user;
    const char *const *names;
    int count;
};

// Whether `name` is `primary` itself or one of its secondaries.
bool belongs_to(const char *name, const char *primary);

// Rewrites the grant file of `primary` with the user's new line in place of
// its first old one (add), or without any line of the user. True when the
// new version is in place.
bool write_subsystem_file(const char *primary, const Grant &grant, bool add);

// Lists the user once in dflt_users (add), or not at all. True when the new
// version is in place.
bool update_default_file(const char *user, bool add);

}  // namespace vant::authorizations
