// Entries read and written through the library.
#include "entries.h"

#include "commands.h"

namespace vantdb {
namespace {

// Reads see the protected entry alone, so that an entry whose /etc lines
// were changed by hand can still be shown and repaired.
struct ProtectedOnly {
    int saved = get_override_mode();
    ProtectedOnly() { set_override_mode(OVERRIDE_PROTECTED_ONLY); }
    ~ProtectedOnly() { set_override_mode(saved); }
};

}  // namespace

bool valid_name(const std::string &name, size_t longest, std::string &error) {
    if (name.empty())
        error = "empty name";
    else if (name.find_first_of(":\n") != std::string::npos)
        error = "a name may not hold \":\" or a newline";
    else if (name.find_first_of(" \t\\,/") != std::string::npos || name[0] == '-')
        error = "\"" + name + "\" is not a valid name";
    else if (name.size() > longest)
        error = "\"" + name + "\" is longer than " + std::to_string(longest) + " characters";
    else
        return true;
    return false;
}

bool read_user(const std::string &name, struct pr_passwd &record) {
    std::string error;
    if (!valid_name(name, VANT_NAME_LEN, error)) return fail(error), false;
    ProtectedOnly mode;
    struct pr_passwd *pr = getprpwnam(name.c_str());
    if (pr == nullptr) return fail("no such user: " + name), false;
    record = *pr;
    return true;
}

int write_user(const std::string &name, struct pr_passwd &record) {
    if (putprpwnam(name.c_str(), &record) == 1) return kOk;
    return fail("cannot update the entry of " + name +
                " (the database is locked or not writable, or /etc/passwd disagrees)");
}

bool read_terminal(const std::string &name, struct pr_term &record) {
    std::string error;
    if (!valid_name(name, VANT_DEVNAME_LEN, error)) return fail(error), false;
    struct pr_term *t = getprtcnam(name.c_str());
    if (t == nullptr) return fail("no such terminal: " + name), false;
    record = *t;
    return true;
}

int write_terminal(const std::string &name, struct pr_term &record) {
    if (putprtcnam(name.c_str(), &record) == 1) return kOk;
    return fail("cannot update terminal " + name + " (the database is locked or not writable)");
}

std::vector<std::string> held_authorizations(const std::string &user) {
    std::vector<std::string> held;
    build_cmd_priv();
    for (const struct namepair *p = cmd_priv; p != nullptr && p->name != nullptr; ++p) {
        const char *primary =
            primary_auth(p->name) >= 0 ? p->name : primary_of_secondary_auth(p->name);
        if (primary != nullptr && user_has_auth(user.c_str(), primary, p->name) == 1)
            held.push_back(p->name);
    }
    return held;
}

}  // namespace vantdb
