// Matching an entry's name field: "|"-separated alternatives, ended by the
// first ":" or the end of the entry, compared with a name or used as
// patterns for a path.
#include <string.h>

#include <string_view>

#include "authdb/authcap.h"

namespace vant::authdb {
namespace {

template <typename Match>
int any_alternative(const char *entry, Match match) {
    for (const char *alt = entry;;) {
        size_t len = strcspn(alt, "|:");
        if (match(std::string_view(alt, len))) return 1;
        if (alt[len] != '|') return 0;
        alt += len + 1;
    }
}

// "*" takes one or more characters, all of them up to the next "/" of the
// path or its end; "?" takes any one character but "/".
bool pattern_matches(std::string_view pattern, const char *path) {
    for (char c : pattern) {
        switch (c) {
            case '*':
                if (*path == '\0' || *path == '/') return false;
                path += strcspn(path, "/");
                break;
            case '?':
                if (*path == '\0' || *path == '/') return false;
                ++path;
                break;
            default:
                if (*path != c) return false;
                ++path;
        }
    }
    return *path == '\0';
}

}  // namespace

int match_name(const char *name) {
    const char *entry = current_entry();
    if (entry == nullptr || name == nullptr) return 0;
    return any_alternative(entry, [name](std::string_view alt) { return alt == name; });
}

int match_file(const char *path, const char *entry) {
    if (entry == nullptr || path == nullptr) return 0;
    return any_alternative(entry,
                           [path](std::string_view alt) { return pattern_matches(alt, path); });
}

}  // namespace vant::authdb
