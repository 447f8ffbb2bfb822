#include "login_target.h"

namespace vant_pam {

int find_login_target(pam_handle_t *pamh, LoginTarget &target) {
    const char *user = nullptr;
    int r = pam_get_user(pamh, &user, nullptr);
    if (r != PAM_SUCCESS) return r;
    if (user == nullptr || user[0] == '\0') return PAM_USER_UNKNOWN;
    const void *tty = nullptr;
    if (pam_get_item(pamh, PAM_TTY, &tty) != PAM_SUCCESS) tty = nullptr;
    target.user = user;
    target.tty = terminal_path(static_cast<const char *>(tty));
    return PAM_SUCCESS;
}

std::string terminal_path(const char *pam_tty) {
    if (pam_tty == nullptr || pam_tty[0] == '\0') return "";
    if (pam_tty[0] == '/') return pam_tty;
    return std::string("/dev/") + pam_tty;
}

}  // namespace vant_pam
