// The authorizations that default users hold: those of the System Default
// entry's u_cmdpriv.
#include "authdb/authdb.h"
#include "authdb/namelists.h"
#include "authorizations/authorizations.h"
#include "authorizations/grants.h"
#include "databases/databases.h"

namespace vant::authorizations {

// The entry is read as it stands in the database, without the values that
// a lookup by name would merge in from the /etc/default files.
int has_default_auth(const char *authorization) {
    if (databases::setprdfent() != 0 || authdb::agetdefault() != 1) return 0;
    char area[VANT_AUTHCAP_MAX];
    char *next = area;
    char *granted = authdb::agetstr("u_cmdpriv", &next);
    if (granted == nullptr) return 0;
    unsigned int vector = 0;
    authdb::loadnamepair(&vector, ST_MAX_CPRIV, granted, cmd_priv, authdb::kCmdPrivDescription);
    int primary = authorizations::primary_auth(authorization);
    if (primary >= 0) return bit_set(vector, primary);
    int secondary = authorizations::secondary_auth(authorization);
    if (secondary < 0) return 0;
    return bit_set(vector, secondary) ||
           bit_set(vector, authorizations::primary_auth(
                               authorizations::primary_of_secondary_auth(authorization)));
}

vant_mask_t default_subsys_auths() {
    const struct pr_default *entry = databases::getprdfnam("default");
    if (entry == nullptr || !PR_ISSET(entry->prg, PR_U_CMDPRIV)) return 0;
    return entry->prd.u_cmdpriv;
}

}  // namespace vant::authorizations
