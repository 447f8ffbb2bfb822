#include "new_password.h"

#include <security/pam_appl.h>
#include <string.h>

#include <string>

#include "conversation.h"
#include "module.h"
#include "password_entry.h"
#include "result_codes.h"

namespace vant_pam {
namespace {

constexpr const char kNewPrompt[] = "New password: ";
constexpr const char kAgainPrompt[] = "Retype new password: ";
constexpr const char kMismatch[] = "The passwords do not match.";
constexpr const char kTooLong[] = "The password is too long.";
constexpr const char kGenerateQuestion[] = "Generate a password for you? [y/n]: ";

// Not a result of the library: the conversation gave no answer.
constexpr int kNoAnswer = -1000;

// Both entries go to the library, which wipes them.
int set_password(pam_handle_t *pamh, HandleState &s, char *password, Secret &again) {
    char *text = nullptr;
    int r = smp_set_pw(password, again.get(), s.attempt, &s.retries, &text);
    if (r == SMP_PW_MISMATCH) tell(pamh, PAM_ERROR_MSG, kMismatch);
    if (r == SMP_FAIL) tell(pamh, PAM_ERROR_MSG, text);
    return r;
}

// The entry again, asked or, with use_first_pass, the same text.
int confirm(pam_handle_t *pamh, const Options &o, const Secret &password, Secret &again) {
    if (!o.use_first_pass) return ask(pamh, PAM_PROMPT_ECHO_OFF, kAgainPrompt, again);
    char *copy = strdup(password.get());
    if (copy == nullptr) return PAM_BUF_ERR;
    again.reset(copy);
    return PAM_SUCCESS;
}

// One proposal: SMP_NEW_PW_REJECTED when refused, the library's result
// otherwise; a conversation that fails ends the change.
int propose(pam_handle_t *pamh, const Options &o, HandleState &s, bool &conversation_failed) {
    Secret password, again;
    Options asked = o;
    asked.try_first_pass = false;  // the item may hold the old password
    conversation_failed =
        read_password(pamh, asked, PAM_AUTHTOK, kNewPrompt, password) != PAM_SUCCESS;
    if (conversation_failed) return SMP_NEW_PW_REJECTED;
    if (password.size() > kMaxPassword) {
        tell(pamh, PAM_ERROR_MSG, kTooLong);
        --s.retries;
        return SMP_NEW_PW_REJECTED;
    }
    char *text = nullptr;
    int r = smp_try_pw(password.get(), s.attempt, &s.retries, &text);
    if (r == SMP_NEW_PW_REJECTED) tell(pamh, PAM_ERROR_MSG, text);
    if (r != SMP_NEW_PW_OK) return r;
    conversation_failed = confirm(pamh, o, password, again) != PAM_SUCCESS ||
                          pass_on(pamh, PAM_AUTHTOK, password) != PAM_SUCCESS;
    if (conversation_failed) return SMP_NEW_PW_REJECTED;
    return set_password(pamh, s, password.get(), again);
}

int choose(pam_handle_t *pamh, const Options &o, HandleState &s) {
    int r = SMP_NEW_PW_REJECTED;
    bool conversation_failed = false;
    while (s.retries > 0) {
        r = propose(pamh, o, s, conversation_failed);
        if (conversation_failed) return kNoAnswer;
        if (r == SMP_DONE || r == SMP_FAIL || r == SMP_NOMEM || o.use_first_pass) break;
    }
    return r;
}

void show_generated(pam_handle_t *pamh, const char *password, const char *divided) {
    std::string text = std::string("Your new password is: ") + password;
    tell(pamh, PAM_TEXT_INFO, text.c_str());
    explicit_bzero(text.data(), text.size());
    text = std::string("Pronounced: ") + divided;
    tell(pamh, PAM_TEXT_INFO, text.c_str());
    explicit_bzero(text.data(), text.size());
}

int generate(pam_handle_t *pamh, HandleState &s) {
    int r = SMP_PW_MISMATCH;
    while (s.retries > 0 && r == SMP_PW_MISMATCH) {
        char password[81] = {};
        char *divided = nullptr;
        smp_generate_pw(password, &divided, s.attempt);
        show_generated(pamh, password, divided != nullptr ? divided : "");
        Secret again;
        if (ask(pamh, PAM_PROMPT_ECHO_OFF, kAgainPrompt, again) != PAM_SUCCESS) r = kNoAnswer;
        if (r != kNoAnswer) r = set_password(pamh, s, password, again);
        explicit_bzero(password, sizeof password);
        if (divided != nullptr) explicit_bzero(divided, strlen(divided));
    }
    return r;
}

// PAM_SUCCESS with the choice made; the user picks when either is allowed.
int wants_generated(pam_handle_t *pamh, int choice, bool &generated) {
    generated = choice == SMP_MUST_GENERATE;
    if (choice != SMP_CHOOSE_OR_GENERATE) return PAM_SUCCESS;
    Secret answer;
    int r = ask(pamh, PAM_PROMPT_ECHO_ON, kGenerateQuestion, answer);
    if (r != PAM_SUCCESS) return r;
    generated = answer.get()[0] == 'y' || answer.get()[0] == 'Y';
    return PAM_SUCCESS;
}

}  // namespace

int store_new_password(pam_handle_t *pamh, const Options &o, HandleState &s) {
    char *text = nullptr;
    int choice = smp_pw_choice(s.attempt, &text);
    if (choice == SMP_FAIL) {
        tell(pamh, PAM_ERROR_MSG, text);
        return pam_code(SMP_FAIL);
    }
    bool generated = false;
    if (wants_generated(pamh, choice, generated) != PAM_SUCCESS) return PAM_CONV_ERR;
    int r = generated ? generate(pamh, s) : choose(pamh, o, s);
    if (r == kNoAnswer) return PAM_CONV_ERR;
    if (r != SMP_DONE) smp_audit_fail(s.attempt, 0);
    return pam_code(r);
}

}  // namespace vant_pam
