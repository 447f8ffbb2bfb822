// The declared authorizations, loaded once per process from
// /etc/auth/system/authorize (or the built-in declaration).
#pragma once

namespace vant::authorizations {

inline constexpr int kMaxAuthorizations = 32;
inline constexpr const char *kAuthorizePath = "/etc/auth/system/authorize";
inline constexpr int kAuthorizeObject = 19;

struct PrimaryAuth {
    const char *name;
    int number;
};

struct SecondaryAuth {
    const char *name;
    int number;
    const char *primary;
};

struct Declarations {
    const PrimaryAuth *primaries;
    int nprimary;
    const SecondaryAuth *secondaries;
    int nsecondary;
};

// Loads the table on first use; null when it cannot be loaded.
const Declarations *declarations();

// Loads the table; 0, or -1 (everything released, tried again next time).
int read_authorizations();

}  // namespace vant::authorizations
