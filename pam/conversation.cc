#include "conversation.h"

#include <security/pam_appl.h>

namespace vant_pam {
namespace {

int converse(pam_handle_t *pamh, int style, const char *text, pam_response **reply) {
    const void *item = nullptr;
    int r = pam_get_item(pamh, PAM_CONV, &item);
    const auto *conv = static_cast<const pam_conv *>(item);
    if (r != PAM_SUCCESS || conv == nullptr || conv->conv == nullptr) return PAM_CONV_ERR;
    pam_message message{style, text};
    const pam_message *messages[] = {&message};
    return conv->conv(1, messages, reply, conv->appdata_ptr);
}

}  // namespace

int ask(pam_handle_t *pamh, int style, const char *prompt, Secret &answer) {
    pam_response *reply = nullptr;
    int r = converse(pamh, style, prompt, &reply);
    if (reply != nullptr) {
        answer.reset(reply->resp);
        free(reply);
    }
    if (r != PAM_SUCCESS) {
        answer.reset(nullptr);
        return PAM_CONV_ERR;
    }
    return answer.get() != nullptr ? PAM_SUCCESS : PAM_CONV_ERR;
}

void tell(pam_handle_t *pamh, int style, const char *text) {
    if (text == nullptr || text[0] == '\0') return;
    pam_response *reply = nullptr;
    converse(pamh, style, text, &reply);
    if (reply != nullptr) {
        free(reply->resp);
        free(reply);
    }
}

}  // namespace vant_pam
