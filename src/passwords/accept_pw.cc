// Whether a proposed password is too easy to guess: a palindrome, an
// anagram of a group or login name, or a correctly spelt word.
#include <ctype.h>
#include <string.h>

#include <algorithm>

#include "frame/frame.h"
#include "frame/messages.h"
#include "passwords/accept_pw.h"
#include "passwords/passwords.h"
#include "passwords/wipe.h"
#include "platform/accounts.h"
#include "vant.h"

namespace vant::passwords {
namespace {

using frame::Message;

// Lower case is applied to the ASCII range only; other bytes stay as they are.
void lower_into(char *copy, const char *text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        copy[i] = static_cast<char>(c < 128 && isupper(c) ? tolower(c) : c);
    }
    copy[length] = '\0';
}

// Lowered and sorted by signed byte value; false when memory ran out.
bool sorted_letters(const char *text, size_t length, SecretBuffer &copy) {
    if (!copy.ok()) return false;
    lower_into(copy.get(), text, length);
    auto *bytes = reinterpret_cast<signed char *>(copy.get());
    std::sort(bytes, bytes + length);
    return true;
}

int reject(FILE *stream, const Message &m) {
    if (stream != nullptr) {
        fprintf(stream, "%s\n", frame::text_of(m));
        fflush(stream);
    }
    return 1;
}

bool spelling_candidate(const char *lowered) {
    for (const char *p = lowered; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 128 || !isalnum(c)) return false;
    }
    return true;
}

}  // namespace

int palindrome(const char *password, FILE *stream) {
    for (size_t i = 0, j = strlen(password); i + 1 < j; ++i, --j)
        if (password[i] != password[j - 1]) return 0;
    return reject(stream, frame::msg_vant_palindrome);
}

// A copy that cannot be made counts as a match, so that the walk stops and
// the password is refused: it cannot be shown to be safe.
int derivative(const char *s1, const char *s2) {
    size_t length = strlen(s1);
    if (strlen(s2) != length) return 0;
    SecretBuffer first(length + 1), second(length + 1);
    if (!sorted_letters(s1, length, first) || !sorted_letters(s2, length, second)) {
        frame::audit_no_memory();
        return 1;
    }
    return memcmp(first.get(), second.get(), length) == 0;
}

int group_name_derivative(const char *password, FILE *stream) {
    bool found = false;
    platform::setgrent();
    while (struct group *gr = platform::getgrent())
        if ((found = derivative(password, gr->gr_name))) break;
    platform::endgrent();
    return found ? reject(stream, frame::msg_vant_pwgroup) : 0;
}

int login_name_derivative(const char *password, FILE *stream) {
    bool found = false;
    platform::setpwent();
    while (struct passwd *pw = platform::getpwent())
        if ((found = derivative(password, pw->pw_name))) break;
    platform::endpwent();
    return found ? reject(stream, frame::msg_vant_pwlogin) : 0;
}

int english_word(const char *password, FILE *stream) {
    size_t length = strlen(password);
    SecretBuffer lowered(length + 1);
    if (!lowered.ok()) {
        frame::audit_no_memory();
        return reject(stream, frame::msg_vant_spelling);
    }
    lower_into(lowered.get(), password, length);
    if (!spelling_candidate(lowered.get())) return 0;
    switch (do_spell(lowered.get())) {
        case 0:
            return 0;
        case 1:
            return reject(stream, frame::msg_vant_spelling);
        default:
            frame::intl_audit_no_resource(kSpellProgram, kSpellProgram, VANT_OBJ_RESOURCE,
                                          vant_badexec, frame::text_of(frame::msg_vant_badexec));
            return 1;
    }
}

}  // namespace vant::passwords

namespace vant::passwords {

int acceptable_password(const char *password, FILE *stream) {
    using namespace vant::passwords;
    // No password at all is refused as the empty one is.
    if (password == nullptr) password = "";
    return !(palindrome(password, stream) || group_name_derivative(password, stream) ||
             login_name_derivative(password, stream) || english_word(password, stream));
}

}  // namespace vant::passwords
