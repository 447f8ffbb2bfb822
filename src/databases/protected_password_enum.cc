// Every user in /etc/passwd order. Each lookup continues through the open
// conventional files from where the last one stopped, so a whole pass reads
// them once.
#include <string.h>

#include "databases/databases.h"
#include "databases/protected_password.h"
#include "frame/frame.h"
#include "platform/accounts.h"

namespace {

constexpr unsigned kHighestUid = 60000;
constexpr size_t kLongestName = 255;

}  // namespace

namespace vant::databases {

struct pr_passwd *getprpwent(void) {
    frame::check_auth_parameters();
    using namespace vant::databases;
    int last = last_uid_found();
    if (last < 0 || frame::pw_idtoname(last) == nullptr) vant::platform::setpwent();
    while (struct passwd *pw = vant::platform::getpwent()) {
        if (static_cast<uint16_t>(pw->pw_uid) > kHighestUid) continue;
        int uid = static_cast<uint16_t>(pw->pw_uid);
        // The lookup reads the password file too, through the storage that
        // holds this user.
        char name[kLongestName + 1];
        size_t length = strnlen(pw->pw_name, sizeof name);
        if (length == sizeof name) continue;
        memcpy(name, pw->pw_name, length + 1);
        struct pr_passwd *pr = databases::getprpwnam(name);
        if (pr == nullptr) continue;
        set_last_uid_found(uid);
        return pr;
    }
    return nullptr;
}

}  // namespace vant::databases
