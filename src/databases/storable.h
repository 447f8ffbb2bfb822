// What the authcap format can hold. Values are written as they stand,
// without escapes: a colon or a newline in one would end the field or the
// entry early and let the rest be read as fields or entries of their own,
// and a backslash would escape the colon that closes the field.
#pragma once

#include <string.h>

namespace vant::databases {

// The first `limit` characters of `text` at most.
inline bool storable_value(const char *text, size_t limit = static_cast<size_t>(-1)) {
    size_t n = strnlen(text, limit);
    for (size_t i = 0; i < n; ++i)
        if (text[i] == ':' || text[i] == '\n' || text[i] == '\\') return false;
    return true;
}

// An entry name must also be one: empty, it matches no lookup, and behind a
// "#" the entry would be a comment.
inline bool storable_name(const char *name) {
    return name[0] != '\0' && name[0] != '#' && storable_value(name);
}

}  // namespace vant::databases
