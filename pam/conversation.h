// Talking to the user through the application's conversation function.
#pragma once

#include <security/pam_modules.h>

#include "secret.h"

namespace vant_pam {

// One question; an empty answer is an answer, a missing one is an error.
int ask(pam_handle_t *pamh, int style, const char *prompt, Secret &answer);

// One message to show; texts the library gave none of are not shown.
void tell(pam_handle_t *pamh, int style, const char *text);

}  // namespace vant_pam
