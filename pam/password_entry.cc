#include "password_entry.h"

#include <security/pam_appl.h>
#include <string.h>

#include "conversation.h"

namespace vant_pam {
namespace {

// PAM_SUCCESS with a copy when an earlier module left one.
int earlier(pam_handle_t *pamh, int item, Secret &password) {
    const void *text = nullptr;
    if (pam_get_item(pamh, item, &text) != PAM_SUCCESS || text == nullptr)
        return PAM_AUTHTOK_RECOVERY_ERR;
    char *copy = strdup(static_cast<const char *>(text));
    if (copy == nullptr) return PAM_BUF_ERR;
    password.reset(copy);
    return PAM_SUCCESS;
}

}  // namespace

int read_password(pam_handle_t *pamh, const Options &o, int item, const char *prompt,
                  Secret &password) {
    if (o.use_first_pass || o.try_first_pass) {
        int r = earlier(pamh, item, password);
        if (r != PAM_AUTHTOK_RECOVERY_ERR || o.use_first_pass) return r;
    }
    return ask(pamh, PAM_PROMPT_ECHO_OFF, prompt, password);
}

int pass_on(pam_handle_t *pamh, int item, const Secret &password) {
    return pam_set_item(pamh, item, password.get());
}

}  // namespace vant_pam
