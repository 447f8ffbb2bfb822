// Comparing a user's protected entry with the user's /etc/passwd and
// /etc/shadow lines as the integrity rule does, whatever the site's
// mirroring settings, so that an administrator sees every disagreement.
#include "databases/databases.h"
#include "frame/frame.h"
#include "mirror/etc_passwd_files.h"
#include "mirror/mirror.h"

namespace vant::databases {
namespace {

enum EtcLine { no_line = -1, nis_line = 1 };

// The entry as stored, without the /etc files; false when there is none.
bool protected_view(const char *name, struct pr_passwd &view) {
    int mode = mirror::get_override_mode();
    mirror::set_override_mode(OVERRIDE_PROTECTED_ONLY);
    struct pr_passwd *pr = databases::getprpwnam(name);
    mirror::set_override_mode(mode);
    if (pr != nullptr) view = *pr;
    return pr != nullptr;
}

int count_bits(const struct pr_flag &flags) {
    int n = 0;
    for (uint16_t word : flags.words)
        n += __builtin_popcount(word);
    return n;
}

}  // namespace

int checkprpwnam(const char *name, struct pr_flag *differing) {
    frame::check_auth_parameters();
    if (name == nullptr || name[0] == '\0' || differing == nullptr) return -1;
    *differing = {};
    struct pr_passwd prot {};
    bool has_entry = protected_view(name, prot);
    if (databases::setprpwent() != 0) return -1;
    struct pr_field etc {};
    struct pr_flag etc_flags {};
    int line = mirror::get_pw_fields(name, &etc, &etc_flags);
    if (line == nis_line || (line == no_line && !has_entry)) return -1;
    mirror::passwd_differences(&prot.ufld, &prot.uflg, &etc, &etc_flags, differing);
    return count_bits(*differing);
}

}  // namespace vant::databases
