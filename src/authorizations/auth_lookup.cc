// Questions about the declared authorizations, and the cmd_priv name list
// built from them.
#include <stdlib.h>
#include <string.h>

#include "authorizations/authorizations.h"
#include "authorizations/declarations.h"
#include "frame/frame.h"
#include "vant.h"

namespace {

using vant::authorizations::declarations;
using vant::authorizations::Declarations;

struct LookupState {
    int widest = -1;
};
LookupState state;

template <typename Entry>
const Entry *find(const Entry *entries, int count, const char *name) {
    if (name == nullptr) return nullptr;
    for (int i = 0; i < count; ++i)
        if (strcmp(entries[i].name, name) == 0) return &entries[i];
    return nullptr;
}

template <typename Entry>
int longest(const Entry *entries, int count, int widest) {
    for (int i = 0; i < count; ++i) {
        int len = static_cast<int>(strlen(entries[i].name));
        if (len > widest) widest = len;
    }
    return widest;
}

}  // namespace

namespace vant::authorizations {

int total_auths(void) {
    const Declarations *d = declarations();
    return d != nullptr ? d->nprimary + d->nsecondary : -1;
}

int widest_auth(void) {
    if (state.widest >= 0) return state.widest;
    const Declarations *d = declarations();
    if (d == nullptr) return -1;
    state.widest = longest(d->secondaries, d->nsecondary, longest(d->primaries, d->nprimary, 0));
    return state.widest;
}

int primary_auth(const char *name) {
    const Declarations *d = declarations();
    if (d == nullptr) return -1;
    auto *p = find(d->primaries, d->nprimary, name);
    return p != nullptr ? p->number : -1;
}

int secondary_auth(const char *name) {
    const Declarations *d = declarations();
    if (d == nullptr) return -1;
    auto *s = find(d->secondaries, d->nsecondary, name);
    return s != nullptr ? s->number : -1;
}

const char *primary_of_secondary_auth(const char *name) {
    const Declarations *d = declarations();
    if (d == nullptr) return nullptr;
    auto *s = find(d->secondaries, d->nsecondary, name);
    return s != nullptr ? s->primary : nullptr;
}

int build_cmd_priv(void) {
    if (cmd_priv != nullptr) return 0;
    const Declarations *d = declarations();
    if (d == nullptr) return -1;
    int total = d->nprimary + d->nsecondary;
    auto *list = static_cast<struct namepair *>(calloc(total + 1, sizeof(struct namepair)));
    if (list == nullptr) {
        frame::audit_no_memory();
        return -1;
    }
    int n = 0;
    for (int i = 0; i < d->nprimary; ++i)
        list[n++] = {d->primaries[i].name, static_cast<unsigned>(d->primaries[i].number)};
    for (int i = 0; i < d->nsecondary; ++i)
        list[n++] = {d->secondaries[i].name, static_cast<unsigned>(d->secondaries[i].number)};
    list[n] = {nullptr, 0};
    cmd_priv = list;
    return 0;
}

}  // namespace vant::authorizations
