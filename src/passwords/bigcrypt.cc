// Encryption of passwords longer than the eight characters that crypt
// takes: eight-character segments, each salted with the start of the
// previous segment's block.
#include <crypt.h>
#include <string.h>

#include <algorithm>

#include "databases/databases.h"
#include "frame/frame.h"
#include "passwords/passwords.h"
#include "passwords/wipe.h"
#include "vant.h"

namespace {

using vant::passwords::kBlockLength;
using vant::passwords::kSaltLength;
using vant::passwords::kSegmentLength;
constexpr size_t kMaxSegments = 10;
constexpr size_t kMaxKeyLength = kSegmentLength * kMaxSegments;
constexpr size_t kCryptLength = kSaltLength + kBlockLength;

struct CipherState {
    char ciphertext[kSaltLength + kBlockLength * kMaxSegments + 1];
};
CipherState state;

size_t segment_count(size_t key_length) {
    if (key_length == 0) return 1;
    return std::min((key_length - 1) / kSegmentLength + 1, kMaxSegments);
}

// crypt gives a refusal, not a hash, for a salt outside its alphabet (a
// locked "*" entry, an empty one). The result must then match no stored
// password, above all not the salt it came from.
char *refused(const char *salt) {
    memset(state.ciphertext, 0, sizeof state.ciphertext);
    strcpy(state.ciphertext, strncmp(salt, "*0", 2) == 0 ? "*1" : "*0");
    return state.ciphertext;
}

// One segment's 11-character block, or null when crypt refused. Only the
// segment's own characters are handed over, so that a key of any length
// stays within what crypt accepts.
const char *encrypt_segment(const char *key, size_t key_length, size_t index, const char *salt) {
    char segment[kSegmentLength + 1] = {};
    size_t start = index * kSegmentLength;
    if (start < key_length)
        memcpy(segment, key + start, std::min(kSegmentLength, key_length - start));
    const char *result = crypt(segment, salt);
    vant::passwords::wipe(segment, sizeof segment);
    if (result == nullptr || strlen(result) != kCryptLength ||
        strncmp(result, salt, kSaltLength) != 0)
        return nullptr;
    return result + kSaltLength;
}

// Encrypts the first key_length characters of key.
char *encrypt(const char *key, size_t key_length, const char *salt) {
    // crypt is given exactly two salt characters: a longer setting could
    // make it choose another method.
    char setting[kSaltLength + 1] = {};
    strncpy(setting, salt, kSaltLength);
    memset(state.ciphertext, 0, sizeof state.ciphertext);
    memcpy(state.ciphertext, setting, kSaltLength);
    char *block = state.ciphertext + kSaltLength;
    for (size_t i = 0, n = segment_count(key_length); i < n; ++i, block += kBlockLength) {
        const char *encrypted = encrypt_segment(key, key_length, i, setting);
        if (encrypted == nullptr) return refused(salt);
        memcpy(block, encrypted, kBlockLength);
        memcpy(setting, encrypted, kSaltLength);
    }
    return state.ciphertext;
}

}  // namespace

namespace vant::passwords {

size_t configured_segments() {
    struct pr_default *d = vant::databases::getprdfnam("default");
    if (d == nullptr || !PR_ISSET(d->prg, PR_U_PWSEG) || d->prd.u_pwseg < 1) return 0;
    return static_cast<size_t>(d->prd.u_pwseg);
}

char *bigcryptmax(const char *key, const char *salt) {
    frame::check_auth_parameters();
    return encrypt(key, strnlen(key, kMaxKeyLength), salt);
}

// Characters beyond the configured segments do not count. The key is never
// written to: only its length is limited.
char *bigcrypt(const char *key, const char *salt) {
    frame::check_auth_parameters();
    size_t length = strnlen(key, kMaxKeyLength);
    size_t segments = configured_segments();
    if (segments > 0) length = std::min(length, segments * kSegmentLength);
    return encrypt(key, length, salt);
}

}  // namespace vant::passwords
