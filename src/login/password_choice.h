// How long a new password must be.
#pragma once

#include "vant.h"

namespace vant::login {

inline constexpr int kTypedAlphabet = 95;
inline constexpr int kGeneratedAlphabet = 26;

// The site's minimum when it sets one; else the length that the account's
// password lifetime and the guess interval call for, within 5 to 80; never
// more than the characters that count.
int minimum_pwlen(const pr_passwd &record, int alphabet);

}  // namespace vant::login
