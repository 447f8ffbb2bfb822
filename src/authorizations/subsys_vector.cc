// A command-privilege vector grouped by subsystem, and the secondaries that
// a primary authorization stands for.
#include <stdlib.h>
#include <string.h>

#include "authorizations/authorizations.h"
#include "authorizations/declarations.h"
#include "authorizations/grants.h"
#include "authorizations/vectors.h"
#include "frame/frame.h"

namespace vant::authorizations {
namespace {

// The set primary bits, each with its set secondaries; what is left over
// goes to the final entry.
struct Grouping {
    int primaries[kMaxAuthorizations];
    vant_mask_t secondaries[kMaxAuthorizations];
    int count = 0;
    vant_mask_t rest = 0;
};

const PrimaryAuth *is_primary(const Declarations &d, int value) {
    for (int i = 0; i < d.nprimary; ++i)
        if (d.primaries[i].number == value) return &d.primaries[i];
    return nullptr;
}

bool is_secondary_of_primary(const Declarations &d, const char *primary, int value) {
    for (int i = 0; i < d.nsecondary; ++i)
        if (d.secondaries[i].number == value) return strcmp(d.secondaries[i].primary, primary) == 0;
    return false;
}

vant_mask_t allocate_secondaries(const Declarations &d, const char *primary, vant_mask_t &rest) {
    vant_mask_t taken = 0;
    for (int bit = 0; bit <= ST_MAX_CPRIV; ++bit)
        if (bit_set(rest, bit) && is_secondary_of_primary(d, primary, bit)) taken |= 1u << bit;
    rest &= ~taken;
    return taken;
}

Grouping group(const Declarations &d, vant_mask_t vector) {
    Grouping g;
    g.rest = vector;
    for (int bit = 0; bit < 32; ++bit) {
        const PrimaryAuth *primary = bit_set(g.rest, bit) ? is_primary(d, bit) : nullptr;
        if (primary == nullptr) continue;
        g.rest &= ~(1u << bit);
        g.primaries[g.count] = bit;
        g.secondaries[g.count++] = allocate_secondaries(d, primary->name, g.rest);
    }
    return g;
}

struct subsys_vec_entry *lay_out(const Grouping &g) {
    NameListSize size{cmd_priv};
    for (int i = 0; i < g.count; ++i) {
        size.name(g.primaries[i]);
        size.names(g.secondaries[i]);
    }
    size.names(g.rest);
    size_t entries = (g.count + 1) * sizeof(struct subsys_vec_entry);
    size_t pointers = size.slots * sizeof(char *);
    auto *result = static_cast<struct subsys_vec_entry *>(malloc(entries + pointers + size.bytes));
    if (result == nullptr) {
        frame::audit_no_memory();
        return nullptr;
    }
    char *base = reinterpret_cast<char *>(result);
    NameListFiller fill{cmd_priv, reinterpret_cast<char **>(base + entries),
                        base + entries + pointers};
    for (int i = 0; i < g.count; ++i)
        result[i] = {fill.name(g.primaries[i]), fill.names(g.secondaries[i])};
    result[g.count] = {nullptr, fill.names(g.rest)};
    return result;
}

}  // namespace
}  // namespace vant::authorizations

namespace vant::authorizations {

struct subsys_vec_entry *build_subsys_vec(const vant_mask_t *vector) {
    if (vector == nullptr || authorizations::build_cmd_priv() != 0) return nullptr;
    return lay_out(group(*declarations(), *vector));
}

void add_secondary_auths(vant_mask_t *vector) {
    const Declarations *d = declarations();
    if (d == nullptr || vector == nullptr) return;
    vant_mask_t granted = *vector;
    for (int i = 0; i < d->nsecondary; ++i)
        if (bit_set(granted, authorizations::primary_auth(d->secondaries[i].primary)))
            *vector |= 1u << d->secondaries[i].number;
}

}  // namespace vant::authorizations
