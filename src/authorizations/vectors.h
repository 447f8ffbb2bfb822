// Internal side of the privilege vectors handed to client programs: the
// names of bits, and lists of names stored behind their pointer arrays in
// one allocation that the caller releases with one free.
#pragma once

#include <stddef.h>

#include "vant.h"

namespace vant::authorizations {

// The name that `list` gives `value`, or "auth-" and the number, in storage
// that the next such call reuses.
const char *auth_to_str(int value, const struct namepair *list);

// Null-terminated lists of the names of set bits, in bit order. An
// allocation is measured first, then filled.
struct NameListSize {
    const struct namepair *list;
    size_t slots = 0;  // pointers, the terminating nulls included
    size_t bytes = 0;  // the names with their NULs

    void name(int bit);
    void names(vant_mask_t bits);
};

struct NameListFiller {
    const struct namepair *list;
    char **slot;  // the next free pointer
    char *text;   // where the next name goes

    char *name(int bit);
    char **names(vant_mask_t bits);
};

}  // namespace vant::authorizations
