// The field getters: lookups in the current entry and the decoding of
// string and number values.
#include <stdlib.h>
#include <string.h>

#include "authdb/authcap.h"
#include "authdb/authdb.h"
#include "frame/frame.h"
#include "vant.h"

namespace vant::authdb {
namespace {

struct Escape {
    char letter;
    char value;
};
// Searched in this order.
constexpr Escape kEscapes[] = {{'E', '\033'}, {'^', '^'},  {'\\', '\\'}, {':', ':'}, {'n', '\n'},
                               {'r', '\r'},   {'t', '\t'}, {'b', '\b'},  {'f', '\f'}};

constexpr char kCancelled = '@';

// The text just after `id` in the first field, after the name field, that
// begins with `id` and goes on with `delimiter` (for a boolean: ":" or the
// end of the entry) or with the cancel mark; null when there is none.
// Every field but the name field begins right after a ":", so the places
// to look at are those where the first character of `id` follows one.
const char *find_field(const char *id, char delimiter) {
    const char *entry = current_entry();
    if (entry == nullptr || id == nullptr || id[0] == '\0') return nullptr;
    size_t n = strlen(id);
    for (const char *at = strchr(entry, id[0]); at != nullptr; at = strchr(at + 1, id[0])) {
        if (at == entry || at[-1] != ':' || strncmp(at, id, n) != 0) continue;
        char next = at[n];
        if (next == kCancelled || next == delimiter) return at + n;
        if (delimiter == ':' && next == '\0') return at + n;
    }
    return nullptr;
}

// The value after the delimiter, or null when the field is absent or
// cancelled.
const char *value_of(const char *id, char delimiter) {
    const char *found = find_field(id, delimiter);
    return found != nullptr && *found != kCancelled ? found + 1 : nullptr;
}

bool is_octal(char c) {
    return c >= '0' && c <= '7';
}

// The character an escape stands for; `p` is past the backslash and is
// moved past the escape.
char unescape(const char *&p) {
    char c = *p++;
    for (const Escape &e : kEscapes)
        if (c == e.letter) return e.value;
    if (!is_octal(c)) return c;
    int value = c - '0';
    for (int digits = 1; digits < 3 && is_octal(*p); ++digits)
        value = value * 8 + (*p++ - '0');
    return static_cast<char>(value);
}

// Letters count 10 to 15 whatever the base; -1 for a non-digit.
int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A value holds at most the whole entry.
int name_to_id(const char *id, int (*lookup)(const char *)) {
    const char *value = value_of(id, '=');
    if (value == nullptr) return -1;
    char name[VANT_AUTHCAP_MAX];
    char *area = name;
    return lookup(adecode(value, &area, sizeof name));
}

}  // namespace

char *askip(char *field) {
    char *colon = strchr(field, ':');
    return colon != nullptr ? colon + 1 : field + strlen(field);
}

char *adecode(const char *text, char **area, size_t size) {
    if (size == 0) return nullptr;
    char *start = *area;
    char *out = start;
    const char *p = text;
    for (size_t room = size - 1; room > 0 && *p != '\0' && *p != ':'; --room) {
        char c = *p++;
        if ((c == '^' || c == '\\') && *p == '\0') break;
        if (c == '^')
            c = static_cast<char>(*p++ & 037);
        else if (c == '\\')
            c = unescape(p);
        *out++ = c;
    }
    *out++ = '\0';
    *area = out;
    return start;
}

// Accumulated unsigned, so that an overlong number wraps instead of
// overflowing.
long adecodenum(const char *text) {
    bool negative = *text == '-';
    if (negative) ++text;
    unsigned long base = 10;
    if (*text == '0') {
        ++text;
        base = 8;
        if (*text == 'x' || *text == 'X') {
            ++text;
            base = 16;
        }
    }
    unsigned long value = 0;
    for (int d; (d = digit_value(*text)) >= 0; ++text)
        value = value * base + static_cast<unsigned long>(d);
    return static_cast<long>(negative ? 0 - value : value);
}

}  // namespace vant::authdb

namespace vant::authdb {

int agetflag(const char *id) {
    frame::check_auth_parameters();
    const char *found = find_field(id, ':');
    if (found == nullptr) return -1;
    return *found == kCancelled ? 0 : 1;
}

char *agetstr(const char *id, char **area) {
    frame::check_auth_parameters();
    const char *value = value_of(id, '=');
    if (value == nullptr || area == nullptr || *area == nullptr) return nullptr;
    return adecode(value, area, VANT_AUTHCAP_MAX);
}

int agtnum(const char *id, long *value) {
    const char *text = value_of(id, '#');
    if (text == nullptr || value == nullptr) return -1;
    *value = adecodenum(text);
    return 0;
}

int agetuid(const char *id) {
    frame::check_auth_parameters();
    return name_to_id(id, frame::pw_nametoid);
}

int agetgid(const char *id) {
    frame::check_auth_parameters();
    return name_to_id(id, frame::gr_nametoid);
}

char **agetstrlist(char *text) {
    if (text == nullptr || *text == '\0') return nullptr;
    size_t count = 1;
    for (const char *p = text; *p != '\0'; ++p)
        count += *p == ',';
    auto **list = static_cast<char **>(calloc(count + 1, sizeof(char *)));
    if (list == nullptr) return nullptr;
    size_t i = 0;
    list[i++] = text;
    for (char *p = text; *p != '\0'; ++p)
        if (*p == ',') {
            *p = '\0';
            list[i++] = p + 1;
        }
    return list;
}

}  // namespace vant::authdb
