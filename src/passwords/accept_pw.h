// The tests behind acceptable_password. Each returns non-zero when it
// rejects the password, after printing its reason on stream (when given).
#pragma once

#include <stdio.h>

namespace vant::passwords {

int palindrome(const char *password, FILE *stream);
int group_name_derivative(const char *password, FILE *stream);
int login_name_derivative(const char *password, FILE *stream);
int english_word(const char *password, FILE *stream);

// 1 when the two are anagrams of each other without regard to case.
int derivative(const char *s1, const char *s2);

// 1 when the spelling checker knows the word, 0 when it does not, -1 when
// it cannot be run.
int do_spell(const char *word);

inline constexpr char kSpellProgram[] = "/usr/bin/spell";

}  // namespace vant::passwords
