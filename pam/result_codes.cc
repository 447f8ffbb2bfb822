#include "result_codes.h"

#include <security/pam_modules.h>

#include "vant.h"

namespace vant_pam {
namespace {

struct Mapping {
    int smp;
    int pam;
};

// Kept in step with the table of the manual page. Results that only lead to
// the module's next step (check the password, choose or generate one) map
// to success: the module goes on.
constexpr Mapping kMappings[] = {
    {SMP_NOMEM, PAM_BUF_ERR},
    {SMP_DONE, PAM_SUCCESS},
    {SMP_NOPRIV, PAM_CRED_INSUFFICIENT},
    {SMP_TERM_LOCKED, PAM_PERM_DENIED},
    {SMP_NO_USER, PAM_USER_UNKNOWN},
    {SMP_NO_CHECK, PAM_SUCCESS},
    {SMP_CHECK_PW, PAM_SUCCESS},
    {SMP_MUST_SET_PW, PAM_NEW_AUTHTOK_REQD},
    {SMP_BAD_PW, PAM_AUTH_ERR},
    {SMP_ACCT_LOCKED, PAM_PERM_DENIED},
    {SMP_PW_EXPIRED, PAM_NEW_AUTHTOK_REQD},
    {SMP_PW_OK, PAM_SUCCESS},
    {SMP_PW_TOO_SOON, PAM_SUCCESS},
    {SMP_NEW_PW_OK, PAM_SUCCESS},
    {SMP_NEW_PW_REJECTED, PAM_AUTHTOK_ERR},
    {SMP_CHOOSE_OR_GENERATE, PAM_SUCCESS},
    {SMP_MUST_GENERATE, PAM_SUCCESS},
    {SMP_MUST_CHOOSE, PAM_SUCCESS},
    {SMP_PW_MISMATCH, PAM_AUTHTOK_ERR},
    {SMP_FAIL, PAM_PERM_DENIED},
    {SMP_OVERRIDDEN, PAM_SUCCESS},
    {SMP_RETIRED, PAM_ACCT_EXPIRED},
    {SMP_CANNOT_CHANGE, PAM_PERM_DENIED},
    {SMP_HUSHED, PAM_SUCCESS},
};

}  // namespace

int pam_code(int smp_result) {
    for (const Mapping &m : kMappings)
        if (m.smp == smp_result) return m.pam;
    return PAM_SERVICE_ERR;
}

}  // namespace vant_pam
