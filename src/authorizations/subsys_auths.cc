// The command-privilege vector of the user running the program, gathered
// from the grant files.
#include "authdb/authdb.h"
#include "authdb/namelists.h"
#include "authorizations/authorizations.h"
#include "authorizations/declarations.h"
#include "authorizations/grants.h"
#include "frame/frame.h"

namespace vant::authorizations {
namespace {

struct SubsysAuthsState {
    vant_mask_t vector;
};
constinit SubsysAuthsState state{};

vant_mask_t every_authorization() {
    return ST_MAX_CPRIV >= 31 ? ~0u : (1u << (ST_MAX_CPRIV + 1)) - 1u;
}

// False when a grant file has no path, or is malformed or unreadable
// before the user's line.
bool gather_grants(const Declarations &d, const char *user) {
    for (int i = 0; i < d.nprimary; ++i) {
        OwnedText path = authdb::find_auth_file(d.primaries[i].name, VANT_OBJ_AUTHORIZE);
        if (path == nullptr) return false;
        LineReader in(open_grant_file(path.get()));
        if (!in.is_open()) continue;
        char *names = nullptr;
        switch (find_user_line(in, path.get(), user, &names)) {
            case UserLine::found: {
                unsigned int granted = 0;
                authdb::loadnamepair(&granted, ST_MAX_CPRIV, names, cmd_priv,
                                     authdb::kCmdPrivDescription);
                state.vector |= granted;
                break;
            }
            case UserLine::absent:
                break;
            case UserLine::malformed:
            case UserLine::unreadable:
                return false;
        }
    }
    return true;
}

vant_mask_t *defaults() {
    state.vector = default_subsys_auths();
    return &state.vector;
}

vant_mask_t *user_vector(const char *user) {
    switch (default_user_listing(user)) {
        case DefaultListing::listed:
            return defaults();
        case DefaultListing::unopened:
            return frame::oktofaketcb() ? defaults() : nullptr;
        case DefaultListing::not_listed:
            break;
    }
    if (gather_grants(*declarations(), user)) return &state.vector;
    state.vector = 0;
    return nullptr;
}

}  // namespace
}  // namespace vant::authorizations

namespace vant::authorizations {

vant_mask_t *get_subsys_auths(void) {
    state.vector = 0;
    if (authorizations::build_cmd_priv() != 0) return nullptr;
    RunningUser who = running_user();
    if (who.superuser) {
        state.vector = every_authorization();
        return &state.vector;
    }
    OwnedText user(copy_name(who.name));
    return user != nullptr ? user_vector(user.get()) : nullptr;
}

}  // namespace vant::authorizations
