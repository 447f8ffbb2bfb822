// A small JSON reader, enough to parse the programs' --json output back:
// objects, arrays, strings (with \" \\ and \u00XX), numbers, true, false.
// Malformed text throws, which fails the test.
#pragma once

#include <ctype.h>
#include <stdlib.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace vant::test {

struct Json {
    enum Type { null, boolean, number, string, array, object } type = null;
    bool b = false;
    double n = 0;
    std::string s;
    std::vector<Json> items;
    std::map<std::string, Json> members;

    const Json &operator[](const std::string &key) const { return members.at(key); }
};

// The value that starts at `i`; `i` is left after it.
inline Json parse_value(const std::string &t, size_t &i) {
    auto skip = [&] {
        while (i < t.size() && isspace(static_cast<unsigned char>(t[i])))
            ++i;
    };
    auto expect = [&](char c) {
        skip();
        if (t.at(i++) != c) throw std::runtime_error(std::string("expected ") + c);
    };
    auto text = [&] {
        expect('"');
        std::string out;
        for (char c; (c = t.at(i++)) != '"'; out += c) {
            if (c != '\\') continue;
            c = t.at(i++);
            if (c == 'u') c = static_cast<char>(std::stoi(t.substr(i, 4), nullptr, 16)), i += 4;
        }
        return out;
    };
    Json v;
    skip();
    char c = t.at(i);
    if (c == '{' || c == '[') {
        v.type = c == '{' ? Json::object : Json::array;
        const char close = c == '{' ? '}' : ']';
        for (++i, skip(); t.at(i) != close; skip()) {
            if (v.type == Json::object) {
                std::string key = text();
                expect(':');
                v.members[key] = parse_value(t, i);
            } else {
                v.items.push_back(parse_value(t, i));
            }
            skip();
            if (t.at(i) == ',') ++i;
        }
        ++i;
    } else if (c == '"') {
        v.type = Json::string;
        v.s = text();
    } else if (t.compare(i, 4, "true") == 0 || t.compare(i, 5, "false") == 0) {
        v.type = Json::boolean;
        v.b = c == 't';
        i += v.b ? 4 : 5;
    } else {
        char *end = nullptr;
        v.type = Json::number;
        v.n = strtod(t.c_str() + i, &end);
        if (end == t.c_str() + i) throw std::runtime_error("not a value");
        i = static_cast<size_t>(end - t.c_str());
    }
    return v;
}

inline Json parse_json(const std::string &text) {
    size_t i = 0;
    Json v = parse_value(text, i);
    while (i < text.size() && isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i != text.size()) throw std::runtime_error("text after the value");
    return v;
}

}  // namespace vant::test
