// Commands that change a user's entry.
#include <string.h>

#include "commands.h"
#include "entries.h"
#include "field_assignments.h"

namespace vantdb {
namespace {

using Change = void (*)(Half own);

int change_user(const std::string &name, Change change) {
    struct pr_passwd pr;
    if (!read_user(name, pr)) return kFailed;
    change(half_of(pr.ufld, pr.uflg));
    return write_user(name, pr);
}

void clear_failures(Half own) {
    set_field(kUserFields, own, "u_numunsuclog", "0");
}

}  // namespace

int lock_user(const Request &r) {
    return change_user(r.operands[0],
                       [](Half own) { set_field(kUserFields, own, "u_lock", "yes"); });
}

int unlock_user(const Request &r) {
    return change_user(r.operands[0], [](Half own) {
        set_field(kUserFields, own, "u_lock", "no");
        clear_failures(own);
    });
}

int reset_user(const Request &r) {
    return change_user(r.operands[0], clear_failures);
}

int set_user(const Request &r) {
    struct pr_passwd pr;
    if (!read_user(r.operands[0], pr)) return kFailed;
    std::string error;
    std::vector<std::string> assignments(r.operands.begin() + 1, r.operands.end());
    if (!apply_assignments(kUserFields, half_of(pr.ufld, pr.uflg), assignments, error))
        return fail(error);
    return write_user(r.operands[0], pr);
}

int create_user(const Request &r) {
    const std::string &name = r.operands[0];
    std::string error;
    if (!valid_name(name, VANT_NAME_LEN, error)) return fail(error);
    int saved = get_override_mode();
    set_override_mode(OVERRIDE_PROTECTED_ONLY);
    bool exists = getprpwnam(name.c_str()) != nullptr;
    set_override_mode(saved);
    if (exists) return fail("user " + name + " already has an entry");
    struct pr_passwd pr {};
    Half own = half_of(pr.ufld, pr.uflg);
    std::vector<std::string> assignments = {"u_id=" + r.operands[1], "u_lock=no"};
    assignments.insert(assignments.end(), r.operands.begin() + 2, r.operands.end());
    if (!apply_assignments(kUserFields, own, assignments, error)) return fail(error);
    memcpy(pr.ufld.u_name, name.c_str(), name.size() + 1);
    PR_SET(pr.uflg, PR_U_NAME);
    return write_user(name, pr);
}

int remove_user(const Request &r) {
    struct pr_passwd pr;
    if (!read_user(r.operands[0], pr)) return kFailed;
    struct pr_passwd none {};
    return write_user(r.operands[0], none);
}

}  // namespace vantdb
