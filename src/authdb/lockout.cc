// Whether an account is locked out: an expired password lifetime, an
// administrative lock, or too many failed logins.
#include <stdint.h>
#include <time.h>

#include "authdb/authdb.h"
#include "authdb/effective_field.h"
#include "frame/frame.h"
#include "platform/clock.h"
#include "vant.h"

namespace {

using vant::authdb::effective_or_zero;

// Summed wide: a lifetime reaching past 2038 must not wrap into the past.
bool lifetime_expired(const struct pr_passwd *pr) {
    int64_t changed = PR_ISSET(pr->uflg, PR_U_SUCCHG) ? pr->ufld.u_succhg : 0;
    int64_t life = effective_or_zero(*pr, PR_U_LIFE, &pr_field::u_life);
    return changed != 0 && life != 0 &&
           changed + life < static_cast<int64_t>(vant::platform::now());
}

}  // namespace

namespace vant::authdb {

int locked_out(struct pr_passwd *pr) {
    frame::check_auth_parameters();
    int maxtries = effective_or_zero(*pr, PR_U_MAXTRIES, &pr_field::u_maxtries);
    int failures = effective_or_zero(*pr, PR_U_NUMUNSUCLOG, &pr_field::u_numunsuclog);
    bool locked = lifetime_expired(pr) ||
                  effective_or_zero(*pr, PR_U_LOCK, &pr_field::u_lock) != 0 ||
                  (maxtries != 0 && failures >= maxtries);
    if (!locked) return 0;
    frame::audit_auth_entry(pr->ufld.u_name, VANT_OBJ_PRPW,
                            "account lockout denies account access");
    frame::audit_lock(pr, 1, static_cast<uint16_t>(failures));
    return 1;
}

}  // namespace vant::authdb
