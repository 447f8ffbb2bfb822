// Whose login it is and on which terminal, as the application told PAM.
#pragma once

#include <security/pam_modules.h>

#include <string>

namespace vant_pam {

struct LoginTarget {
    std::string user;
    std::string tty;  // a device path; empty without a terminal
};

// Asks for the user name through the conversation when the application set
// none.
int find_login_target(pam_handle_t *pamh, LoginTarget &target);

// The library wants a terminal's device path; PAM names it with or without
// /dev/.
std::string terminal_path(const char *pam_tty);

}  // namespace vant_pam
