// A small JSON reader, enough to parse the programs' --json output back:
// objects, arrays, strings (with \" \\ and \u00XX), numbers, true, false.
#pragma once

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <memory>
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

    const Json &operator[](const std::string &key) const {
        auto it = members.find(key);
        if (it == members.end()) throw std::runtime_error("no member " + key);
        return it->second;
    }
    bool has(const std::string &key) const { return members.count(key) != 0; }
};

class JsonReader {
  public:
    explicit JsonReader(const std::string &text) : t_(text) {}
    Json read() {
        Json v = value();
        skip();
        if (i_ != t_.size()) throw std::runtime_error("text after the value");
        return v;
    }

  private:
    const std::string &t_;
    size_t i_ = 0;

    void skip() {
        while (i_ < t_.size() && isspace(static_cast<unsigned char>(t_[i_])))
            ++i_;
    }
    char next() {
        skip();
        if (i_ >= t_.size()) throw std::runtime_error("unexpected end");
        return t_[i_];
    }
    void expect(char c) {
        if (next() != c) throw std::runtime_error(std::string("expected ") + c);
        ++i_;
    }
    bool word(const char *w) {
        size_t n = strlen(w);
        if (t_.compare(i_, n, w) != 0) return false;
        i_ += n;
        return true;
    }
    std::string text() {
        expect('"');
        std::string out;
        while (i_ < t_.size() && t_[i_] != '"') {
            char c = t_[i_++];
            if (c == '\\') {
                char e = t_.at(i_++);
                if (e == 'u') {
                    out += static_cast<char>(strtol(t_.substr(i_, 4).c_str(), nullptr, 16));
                    i_ += 4;
                    continue;
                }
                c = e;
            }
            out += c;
        }
        expect('"');
        return out;
    }
    Json value() {
        Json v;
        char c = next();
        if (c == '{') {
            v.type = Json::object;
            ++i_;
            while (next() != '}') {
                std::string key = text();
                expect(':');
                v.members[key] = value();
                if (next() == ',') ++i_;
            }
            ++i_;
        } else if (c == '[') {
            v.type = Json::array;
            ++i_;
            while (next() != ']') {
                v.items.push_back(value());
                if (next() == ',') ++i_;
            }
            ++i_;
        } else if (c == '"') {
            v.type = Json::string;
            v.s = text();
        } else if (word("true") || word("false")) {
            v.type = Json::boolean;
            v.b = t_[i_ - 1] == 'e' && t_[i_ - 2] == 'u';
        } else {
            char *end = nullptr;
            v.type = Json::number;
            v.n = strtod(t_.c_str() + i_, &end);
            if (end == t_.c_str() + i_) throw std::runtime_error("not a value");
            i_ = static_cast<size_t>(end - t_.c_str());
        }
        return v;
    }
};

inline Json parse_json(const std::string &text) {
    return JsonReader(text).read();
}

}  // namespace vant::test
