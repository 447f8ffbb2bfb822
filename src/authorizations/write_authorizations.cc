// Granting a user exactly a set of authorizations, or making the user a
// default user. Each grant file is replaced whole, but the files are
// replaced one after another: a failure part way leaves the files already
// rewritten as they now are.
#include <stdio.h>
#include <string.h>

#include "authdb/namelists.h"
#include "authorizations/authorizations.h"
#include "authorizations/declarations.h"
#include "authorizations/grant_update.h"
#include "authorizations/grants.h"
#include "frame/frame.h"
#include "frame/quiet_zone.h"

namespace vant::authorizations {
namespace {

constexpr const char *kDefaultList[] = {"default"};

// The user name begins a line of the grant files and is a line of
// dflt_users: a name holding a newline or a colon would write a line for
// somebody else.
bool storable_user(const char *user) {
    return user != nullptr && user[0] != '\0' && strpbrk(user, ":\n") == nullptr;
}

bool grants_in(const Grant &grant, const char *primary) {
    for (int i = 0; i < grant.count; ++i)
        if (belongs_to(grant.names[i], primary)) return true;
    return false;
}

int make_default_user(const Declarations &d, const char *user) {
    const Grant none{user, nullptr, 0};
    for (int i = 0; i < d.nprimary; ++i)
        if (!write_subsystem_file(d.primaries[i].name, none, false)) return -1;
    return update_default_file(user, true) ? 0 : -1;
}

// A user still listed in dflt_users would keep the default authorizations
// wherever no line of its own stands; a failed removal matters only then.
int grant_exactly(const Declarations &d, const Grant &grant) {
    if (!update_default_file(grant.user, false) &&
        default_user_listing(grant.user) == DefaultListing::listed)
        return -1;
    for (int i = 0; i < d.nprimary; ++i) {
        const char *primary = d.primaries[i].name;
        if (!write_subsystem_file(primary, grant, grants_in(grant, primary))) return -1;
    }
    return 0;
}

bool is_default_list(const Grant &grant) {
    return grant.count >= 1 && grant.names[0] != nullptr && strcmp(grant.names[0], "default") == 0;
}

int real_write_authorizations(const Grant &grant) {
    const Declarations *d = declarations();
    if (d == nullptr) return -1;
    return is_default_list(grant) ? make_default_user(*d, grant.user) : grant_exactly(*d, grant);
}

int write_in_quiet_zone(const Grant &grant) {
    if (!storable_user(grant.user)) return -1;
    frame::QuietZone quiet;
    return real_write_authorizations(grant);
}

// The name of an authorization number, or null (reported) when none is
// declared with it.
const char *declared_name(int number) {
    for (int i = 0; i <= ST_MAX_CPRIV && cmd_priv[i].name != nullptr; ++i)
        if (cmd_priv[i].value == static_cast<unsigned>(number)) return cmd_priv[i].name;
    char text[64];
    snprintf(text, sizeof text, "look-up of value %d in subsystems authorizations namepair",
             number);
    frame::audit_auth_entry(text, authdb::kNameListObject, "value has no corresponding name");
    return nullptr;
}

}  // namespace
}  // namespace vant::authorizations

namespace vant::authorizations {

int write_authorizations(const char *user, char *const *names, int count) {
    return write_in_quiet_zone({user, names, names != nullptr ? count : 0});
}

int write_authorization_bits(const char *user, const vant_mask_t *vector) {
    if (user == nullptr) return -1;
    if (vector == nullptr) return write_in_quiet_zone({user, kDefaultList, 1});
    if (authorizations::build_cmd_priv() != 0) return -1;
    const char *names[32];
    int count = 0;
    for (int bit = 0; bit < 32; ++bit) {
        if (!bit_set(*vector, bit)) continue;
        if (const char *name = declared_name(bit); name != nullptr) names[count++] = name;
    }
    return write_in_quiet_zone({user, names, count});
}

}  // namespace vant::authorizations
