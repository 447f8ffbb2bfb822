// What every part of the PAM module shares.
#pragma once

#include <security/pam_modules.h>

// The module's entry points are the only names it exports.
#define PAM_VANT_ENTRY extern "C" __attribute__((visibility("default")))

namespace vant_pam {

// The longest password the library can hold; a longer one is refused, never
// cut, so that it cannot match by its first part.
inline constexpr size_t kMaxPassword = 80;

}  // namespace vant_pam
