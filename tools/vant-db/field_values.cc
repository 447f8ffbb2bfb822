// Formatting and parsing the kinds of field values.
#include "field_values.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <vector>

namespace vantdb {
namespace {

template <typename T>
long long load(const unsigned char *at) {
    T v;
    memcpy(&v, at, sizeof v);
    return v;
}
template <typename T>
void store(unsigned char *at, long long value) {
    T v = static_cast<T>(value);
    memcpy(at, &v, sizeof v);
}

// Fields whose range fits the signed type of their width are signed.
bool is_signed(const Field &f) {
    return f.max <= (1LL << (8 * f.size - 1)) - 1;
}

long long get_number(const Field &f, const unsigned char *fields) {
    const unsigned char *at = fields + f.offset;
    bool s = is_signed(f);
    switch (f.size) {
        case 1:
            return s ? load<int8_t>(at) : load<uint8_t>(at);
        case 2:
            return s ? load<int16_t>(at) : load<uint16_t>(at);
        default:
            return s ? load<int32_t>(at) : load<uint32_t>(at);
    }
}

void set_number(const Field &f, unsigned char *fields, long long value) {
    unsigned char *at = fields + f.offset;
    switch (f.size) {
        case 1:
            return store<uint8_t>(at, value);
        case 2:
            return store<uint16_t>(at, value);
        default:
            return store<uint32_t>(at, value);
    }
}

struct Unit {
    char suffix;
    long long seconds;
};
constexpr Unit kUnits[] = {{'w', 604800}, {'d', 86400}, {'h', 3600}, {'m', 60}, {'s', 1}};

std::string format_duration(long long seconds) {
    for (const Unit &u : kUnits)
        if (seconds != 0 && seconds % u.seconds == 0)
            return std::to_string(seconds / u.seconds) + u.suffix;
    return "0s";
}

std::string format_time(long long seconds) {
    time_t t = static_cast<time_t>(seconds);
    struct tm tm;
    char text[32];
    gmtime_r(&t, &tm);
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

std::vector<std::string> split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::vector<std::string> names_of(const Field &f, const unsigned char *fields) {
    unsigned int mask = static_cast<unsigned int>(get_number(f, fields));
    char *text = storenamepair(&mask, f.names->highest(), f.names->table(), f.names->what);
    std::vector<std::string> names =
        text != nullptr ? split(text, ',') : std::vector<std::string>{};
    free(text);
    return names;
}

std::string user_name(long long id) {
    const char *name = pw_idtoname(static_cast<int>(id));
    return name != nullptr ? name : std::to_string(id);
}

bool parse_integer(const std::string &text, long long &value) {
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    value = strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

bool parse_duration(const std::string &text, long long &value) {
    long long scale = 1;
    std::string digits = text;
    for (const Unit &u : kUnits)
        if (!text.empty() && text.back() == u.suffix) {
            scale = u.seconds;
            digits = text.substr(0, text.size() - 1);
        }
    if (!parse_integer(digits, value) || value < 0 || value > INT32_MAX / scale) return false;
    value *= scale;
    return true;
}

bool parse_time(const std::string &text, long long &value) {
    static const char *const kForms[] = {"%Y-%m-%dT%H:%M:%SZ", "%Y-%m-%d %H:%M:%S", "%Y-%m-%d"};
    for (const char *form : kForms) {
        struct tm tm {};
        const char *end = strptime(text.c_str(), form, &tm);
        if (end == nullptr || *end != '\0') continue;
        value = timegm(&tm);
        return true;
    }
    return false;
}

bool parse_flag(const std::string &text, long long &value) {
    static const char *const kYes[] = {"yes", "true", "on", "1"};
    static const char *const kNo[] = {"no", "false", "off", "0"};
    for (const char *y : kYes)
        if (text == y) return (value = 1), true;
    for (const char *n : kNo)
        if (text == n) return (value = 0), true;
    return false;
}

bool parse_names(const Field &f, const std::string &text, long long &value, std::string &error) {
    const struct namepair *table = f.names->table();
    int highest = f.names->highest();
    unsigned long long mask = 0;
    for (const std::string &name : split(text, ',')) {
        const struct namepair *p = table;
        while (p != nullptr && p->name != nullptr && name != p->name)
            ++p;
        if (p == nullptr || p->name == nullptr || static_cast<int>(p->value) > highest) {
            error = "unknown " + std::string(f.names->what) + " name \"" + name + "\"";
            return false;
        }
        mask |= 1ULL << p->value;
    }
    value = static_cast<long long>(mask);
    return true;
}

bool parse_text(const Field &f, const std::string &text, unsigned char *fields,
                std::string &error) {
    if (text.size() > static_cast<size_t>(f.max)) {
        error = "longer than " + std::to_string(f.max) + " characters";
        return false;
    }
    if (text.find_first_of(":\n\\") != std::string::npos) {
        error = "contains \":\", a backslash or a newline";
        return false;
    }
    memset(fields + f.offset, 0, f.size);
    memcpy(fields + f.offset, text.data(), text.size());
    return true;
}

// Reads everything but texts into a number; false with `error` set.
bool parse_number_like(const Field &f, const std::string &text, long long &value,
                       std::string &error) {
    switch (f.kind) {
        case Kind::number:
            if (!parse_integer(text, value)) return (error = "not a whole number"), false;
            break;
        case Kind::duration:
            if (!parse_duration(text, value))
                return (error = "not a duration (a number with s, m, h, d or w)"), false;
            break;
        case Kind::time:
            if (!parse_time(text, value))
                return (error = "not a date (YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ)"), false;
            break;
        case Kind::flag:
            if (!parse_flag(text, value)) return (error = "not yes or no"), false;
            break;
        case Kind::names:
            return parse_names(f, text, value, error);
        case Kind::user:
            value = pw_nametoid(text.c_str());
            if (value < 0) return (error = "unknown user \"" + text + "\""), false;
            break;
        case Kind::text:
            return false;
    }
    if (value < f.min || value > f.max) {
        error = "out of range " + std::to_string(f.min) + " to " + std::to_string(f.max);
        return false;
    }
    return true;
}

}  // namespace

std::string format_value(const Field &f, const unsigned char *fields) {
    switch (f.kind) {
        case Kind::text:
            return std::string(reinterpret_cast<const char *>(fields + f.offset),
                               strnlen(reinterpret_cast<const char *>(fields + f.offset), f.size));
        case Kind::number:
            return std::to_string(get_number(f, fields));
        case Kind::time:
            return format_time(get_number(f, fields));
        case Kind::duration:
            return format_duration(get_number(f, fields));
        case Kind::flag:
            return get_number(f, fields) != 0 ? "yes" : "no";
        case Kind::names: {
            std::string joined;
            for (const std::string &n : names_of(f, fields))
                joined += (joined.empty() ? "" : ",") + n;
            return joined;
        }
        case Kind::user:
            return user_name(get_number(f, fields));
    }
    return "";
}

std::string json_value(const Field &f, const unsigned char *fields) {
    switch (f.kind) {
        case Kind::number:
        case Kind::duration:
            return std::to_string(get_number(f, fields));
        case Kind::flag:
            return get_number(f, fields) != 0 ? "true" : "false";
        case Kind::names: {
            std::string list = "[";
            for (const std::string &n : names_of(f, fields))
                list += (list.size() > 1 ? "," : "") + json_string(n);
            return list + "]";
        }
        default:
            return json_string(format_value(f, fields));
    }
}

bool parse_value(const Field &f, const std::string &text, unsigned char *fields,
                 std::string &error) {
    if (f.kind == Kind::text) return parse_text(f, text, fields, error);
    long long value = 0;
    if (!parse_number_like(f, text, value, error)) return false;
    set_number(f, fields, value);
    return true;
}

std::string json_string(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace vantdb
