// The one PAM result for every result of the login services.
#pragma once

namespace vant_pam {

int pam_code(int smp_result);

}  // namespace vant_pam
