// Walking the fields of an entry text in place, for the decoders that take
// an entry apart themselves rather than through the field getters.
#pragma once

#include <string.h>

namespace vant::databases {

// The position of the identifier (its first `length` characters) in a
// table of identifiers, or -1.
inline int identifier_index(const char *const *table, int count, const char *id, size_t length) {
    for (int i = 0; i < count; ++i)
        if (strlen(table[i]) == length && strncmp(table[i], id, length) == 0) return i;
    return -1;
}

// Splits `entry`: its name (null when the entry begins with ":") goes to
// *name, then each field before the closing "chkent:" is handed to
// on_field(field, identifier length), with its closing ":" replaced by a
// NUL; empty fields are skipped. 1 on a malformed entry or when on_field
// fails, else 0.
template <typename OnField>
int split_entry(char *entry, char **name, OnField on_field) {
    constexpr size_t kClosingFieldLength = sizeof "chkent:" - 1;
    size_t length = strlen(entry);
    const char *end = entry + (length > kClosingFieldLength ? length - kClosingFieldLength : 0);
    char *p = entry;
    *name = nullptr;
    if (*p == ':') {
        ++p;
    } else {
        char *colon = strchr(p, ':');
        if (colon == nullptr) return 1;
        *colon = '\0';
        *name = entry;
        p = colon + 1;
    }
    while (p < end) {
        if (*p == ':') {
            ++p;
            continue;
        }
        char *colon = strchr(p, ':');
        if (colon == nullptr) return 1;
        *colon = '\0';
        if (on_field(p, strcspn(p, "=#@")) != 0) return 1;
        p = colon + 1;
    }
    return 0;
}

}  // namespace vant::databases
