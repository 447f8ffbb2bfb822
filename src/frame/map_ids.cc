// Placeholder until the cached id maps land: plain scans of the account files.
#include "platform/accounts.h"
#include "vant.h"

extern "C" {
int pw_nametoid(const char *name) {
    if (name == nullptr) return -1;
    struct passwd *pw = vant::platform::getpwnam(name);
    return pw != nullptr ? static_cast<int>(pw->pw_uid) : -1;
}
char *pw_idtoname(int id) {
    if (id < 0) return nullptr;
    struct passwd *pw = vant::platform::getpwuid(static_cast<uid_t>(id));
    return pw != nullptr ? pw->pw_name : nullptr;
}
int gr_nametoid(const char *name) {
    if (name == nullptr) return -1;
    struct group *gr = vant::platform::getgrnam(name);
    return gr != nullptr ? static_cast<int>(gr->gr_gid) : -1;
}
char *gr_idtoname(int id) {
    if (id < 0) return nullptr;
    struct group *gr = vant::platform::getgrgid(static_cast<gid_t>(id));
    return gr != nullptr ? gr->gr_name : nullptr;
}
}
