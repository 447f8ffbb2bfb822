// Does a user, or the user running this program, hold an authorization.
// The grant files are read afresh at every check.
#include <string.h>

#include "authdb/authdb.h"
#include "authorizations/authorizations.h"
#include "authorizations/grants.h"
#include "frame/frame.h"
#include "platform/nis.h"

namespace vant::authorizations {
namespace {

// A user with a line in the subsystem's file is judged by that line alone;
// only users without one, listed as default users, get the defaults.
int check_grant_file(FILE *file, const char *path, const char *user, const char *authorization) {
    LineReader in(file);
    char *names = nullptr;
    switch (find_user_line(in, path, user, &names)) {
        case UserLine::found:
            return lists_name(names, authorization) ? 1 : 0;
        case UserLine::absent:
            break;
        case UserLine::malformed:
        case UserLine::unreadable:
            return 0;
    }
    if (default_user_listing(user) != DefaultListing::listed) return 0;
    return has_default_auth(authorization);
}

// Without the protected files, a subsystem's own account runs it.
int check_without_grant_file(const char *user, const char *subsystem, const char *authorization) {
    if (!frame::oktofaketcb()) return 0;
    if (strcmp(user, subsystem) == 0) return 1;
    return has_default_auth(authorization);
}

}  // namespace

int is_privileged(const char *subsystem, const char *authorization) {
    if (authorizations::build_cmd_priv() != 0) return 0;
    RunningUser who = running_user();
    if (who.superuser) return 1;
    OwnedText name(copy_name(who.name));
    return authorizations::user_has_auth(name.get(), subsystem, authorization);
}

}  // namespace vant::authorizations

namespace vant::authorizations {

int user_has_auth(const char *user, const char *subsystem, const char *authorization) {
    if (authorizations::build_cmd_priv() != 0 || user == nullptr) return 0;
    if (vant::platform::nis_lookup(user, "passwd.byname") != nullptr)
        return has_default_auth(authorization);
    if (strcmp(user, "root") == 0) return 1;
    if (subsystem == nullptr || authorization == nullptr) return 0;
    OwnedText path = authdb::find_auth_file(subsystem, VANT_OBJ_AUTHORIZE);
    FILE *file = path != nullptr ? open_grant_file(path.get()) : nullptr;
    if (file == nullptr) return check_without_grant_file(user, subsystem, authorization);
    return check_grant_file(file, path.get(), user, authorization);
}

int privileged_user(const char *subsystem) {
    return is_privileged(subsystem, subsystem);
}

// The program belongs to the subsystem named by its effective group.
int authorized_user(const char *authorization) {
    if (authorization == nullptr) return 0;
    const char *group = frame::gr_idtoname(frame::starting_egid());
    if (group == nullptr) return 0;
    OwnedText subsystem(copy_name(group));
    if (subsystem == nullptr) return 0;
    if (is_privileged(subsystem.get(), subsystem.get())) return 1;
    if (strcmp(authorization, subsystem.get()) == 0) return 0;
    return is_privileged(subsystem.get(), authorization);
}

}  // namespace vant::authorizations
