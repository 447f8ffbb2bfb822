#include "login/entry_updates.h"

#include <string.h>

#include "authdb/authdb.h"
#include "authdb/entry_lock.h"
#include "databases/databases.h"
#include "platform/accounts.h"

namespace vant::login {

bool update_user_entry(const char *name, const std::function<void(pr_passwd &)> &change,
                       pr_passwd *after) {
    authdb::OwnedText path = authdb::find_auth_file(name, VANT_OBJ_PRPW);
    if (path == nullptr) return false;
    authdb::EntryLock lock(path.get());
    const pr_passwd *current = databases::getprpwnam(name);
    if (current == nullptr) return false;
    pr_passwd entry = *current;
    change(entry);
    if (after != nullptr) *after = entry;
    return databases::putprpwnam(name, &entry) == 1;
}

bool update_terminal_entry(const char *name, const std::function<void(pr_term &)> &change) {
    authdb::OwnedText path = authdb::find_auth_file("", VANT_OBJ_TTYS);
    if (path == nullptr) return false;
    authdb::EntryLock lock(path.get());
    pr_term entry{};
    if (const pr_term *current = databases::getprtcnam(name)) {
        entry = *current;
    } else {
        strncpy(entry.ufld.t_devname, name, VANT_DEVNAME_LEN);
        PR_T_SET(entry.uflg, PR_T_DEVNAME);
    }
    change(entry);
    return databases::putprtcnam(name, &entry) == 1;
}

void close_databases() {
    databases::endprpwent();
    databases::endprfient();
    databases::endprtcent();
    databases::endprdfent();
    platform::endgrent();
    platform::endpwent();
}

}  // namespace vant::login
