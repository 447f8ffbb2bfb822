// The passwords module as the rest of the library calls it. The exported C
// functions of the same names are wrappers for clients only.
#pragma once

#include <stddef.h>

#include "vant.h"

namespace vant::passwords {

int acceptable_password(const char *password, FILE *stream);
char *bigcryptmax(const char *key, const char *salt);
char *bigcrypt(const char *key, const char *salt);
char *getpasswd(const char *prompt, int maxlen);
char *fgetpasswd(const char *prompt, int maxlen, FILE *in, FILE *out);
int pw_was_eof(void);
int randomword(char *word, char *hyphenated_word, unsigned short minlen, unsigned short maxlen,
               int restricted, long seed);
int passlen(int lifetime, int delay, int alphabet);
long get_seed(void);
void set_seed(long seed);

// The stored form: two salt characters, then 11 for each 8 characters of
// the password.
inline constexpr size_t kSaltLength = 2;
inline constexpr size_t kSegmentLength = 8;
inline constexpr size_t kBlockLength = 11;

// The length of the stored form of a password of that many segments.
constexpr size_t cipher_length(size_t segments) {
    return kSaltLength + kBlockLength * segments;
}

// The number of segments of a password that the system lets count, or 0
// when it sets none.
size_t configured_segments();

}  // namespace vant::passwords
