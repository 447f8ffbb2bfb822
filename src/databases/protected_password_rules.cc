// The rules the Protected Password readers and writer apply alike.
#include "authorizations/authorizations.h"
#include "databases/protected_password.h"

namespace vant::databases {
namespace {

constexpr int kSystemPrivileges = 8;
constexpr int kPwdSegment = 11;
constexpr size_t kSaltLength = 2;
constexpr int kMaskBits = 32;

}  // namespace

size_t pwd_segment_length(const struct pr_field *defaults, const struct pr_flag *default_flags) {
    if (!PR_ISSET(*default_flags, PR_U_PWSEG) || defaults->u_pwseg <= 0) return 0;
    return kSaltLength + static_cast<size_t>(kPwdSegment) * static_cast<size_t>(defaults->u_pwseg);
}

void truncate_passwd(const struct pr_flag *default_flags, const struct pr_field *defaults,
                     struct pr_field *target) {
    size_t length = pwd_segment_length(defaults, default_flags);
    if (length != 0 && length < sizeof target->u_pwd) target->u_pwd[length] = '\0';
}

void grant_superuser_privileges(struct pr_field *fields, struct pr_flag *flags) {
    fields->u_syspriv = (1u << kSystemPrivileges) - 1;
    // A failed declaration read leaves no command privilege to grant.
    int highest = authorizations::build_cmd_priv() == 0 ? ST_MAX_CPRIV : -1;
    vant_mask_t all = 0;
    for (int bit = 0; bit <= highest && bit < kMaskBits; ++bit)
        all |= 1u << bit;
    fields->u_cmdpriv = all;
    PR_SET(*flags, PR_U_SYSPRIV);
    PR_SET(*flags, PR_U_CMDPRIV);
}

}  // namespace vant::databases
