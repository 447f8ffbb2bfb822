// The names of the bits of privilege vectors.
#include <stdio.h>
#include <string.h>

#include "authorizations/grants.h"
#include "authorizations/vectors.h"

namespace vant::authorizations {
namespace {

struct BitNameState {
    char unnamed[sizeof "auth-" + 11];
};
constinit BitNameState state{};

}  // namespace

const char *auth_to_str(int value, const struct namepair *list) {
    for (const struct namepair *p = list; p != nullptr && p->name != nullptr; ++p)
        if (p->value == static_cast<unsigned>(value)) return p->name;
    snprintf(state.unnamed, sizeof state.unnamed, "auth-%d", value);
    return state.unnamed;
}

void NameListSize::name(int bit) {
    bytes += strlen(auth_to_str(bit, list)) + 1;
}

void NameListSize::names(vant_mask_t bits) {
    for (int bit = 0; bit < 32; ++bit)
        if (bit_set(bits, bit)) {
            name(bit);
            ++slots;
        }
    ++slots;
}

char *NameListFiller::name(int bit) {
    char *at = text;
    text = stpcpy(text, auth_to_str(bit, list)) + 1;
    return at;
}

char **NameListFiller::names(vant_mask_t bits) {
    char **first = slot;
    for (int bit = 0; bit < 32; ++bit)
        if (bit_set(bits, bit)) *slot++ = name(bit);
    *slot++ = nullptr;
    return first;
}

}  // namespace vant::authorizations
