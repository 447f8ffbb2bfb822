// The authorizations that default users hold: those of the System Default
// entry's u_cmdpriv.
#include "authdb/namelists.h"
#include "authorizations/grants.h"

namespace vant::authorizations {

// The entry is read as it stands in the database, without the values that
// a lookup by name would merge in from the /etc/default files.
int has_default_auth(const char *authorization) {
    if (setprdfent() != 0 || agetdefault() != 1) return 0;
    char area[VANT_AUTHCAP_MAX];
    char *next = area;
    char *granted = agetstr("u_cmdpriv", &next);
    if (granted == nullptr) return 0;
    unsigned int vector = 0;
    loadnamepair(&vector, ST_MAX_CPRIV, granted, cmd_priv, authdb::kCmdPrivDescription);
    int primary = primary_auth(authorization);
    if (primary >= 0) return bit_set(vector, primary);
    int secondary = secondary_auth(authorization);
    if (secondary < 0) return 0;
    return bit_set(vector, secondary) ||
           bit_set(vector, primary_auth(primary_of_secondary_auth(authorization)));
}

vant_mask_t default_subsys_auths() {
    const struct pr_default *entry = getprdfnam("default");
    if (entry == nullptr || !PR_ISSET(entry->prg, PR_U_CMDPRIV)) return 0;
    return entry->prd.u_cmdpriv;
}

}  // namespace vant::authorizations
