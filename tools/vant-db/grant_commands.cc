// grant and revoke: a user's authorizations, written by the library's
// grant writer as the whole new set.
#include <algorithm>

#include "commands.h"
#include "entries.h"

namespace vantdb {
namespace {

bool declared(const std::string &name) {
    return primary_auth(name.c_str()) >= 0 || secondary_auth(name.c_str()) >= 0;
}

int write_set(const std::string &user, const std::vector<std::string> &names) {
    std::vector<char *> list;
    for (const std::string &n : names)
        list.push_back(const_cast<char *>(n.c_str()));
    if (write_authorizations(user.c_str(), list.data(), static_cast<int>(list.size())) == 0)
        return kOk;
    return fail("cannot update the authorizations of " + user +
                " (a grant file is locked or not writable)");
}

int change(const Request &r, bool add) {
    const std::string &user = r.operands[0];
    struct pr_passwd pr;
    if (!read_user(user, pr)) return kFailed;
    std::vector<std::string> names(r.operands.begin() + 1, r.operands.end());
    for (const std::string &n : names)
        if (!declared(n)) return fail("unknown authorization name \"" + n + "\"");
    std::vector<std::string> held = held_authorizations(user);
    for (const std::string &n : names) {
        auto at = std::find(held.begin(), held.end(), n);
        if (add && at == held.end()) held.push_back(n);
        if (!add && at != held.end()) held.erase(at);
    }
    return write_set(user, held);
}

}  // namespace

int grant(const Request &r) {
    return change(r, true);
}

int revoke(const Request &r) {
    return change(r, false);
}

}  // namespace vantdb
