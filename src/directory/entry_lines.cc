#include "directory/entry_lines.h"

#include <ctype.h>
#include <string.h>
#include <strings.h>

#include <string_view>

namespace vant::directory {
namespace {

constexpr long kMaxId = 65535;
constexpr std::string_view kCryptScheme = "{CRYPT}";
// A directory user without a password the library can check never gets
// an empty password field: that would be an account without a password.
constexpr const char *kNoPassword = "*";
constexpr const char *kPlaceholder = "x";

struct Refusal {
    std::string why;
};

// A field of a line holds no field or line separator.
bool clean(const std::string &text) {
    return text.find_first_of(":\n") == std::string::npos;
}

// A name is also the first field of a line in /etc/passwd or /etc/group,
// where "+" and "-" begin the lines that take directory users in and out.
bool good_name(const std::string &name) {
    return !name.empty() && clean(name) && name.find(',') == std::string::npos && name[0] != '+' &&
           name[0] != '-';
}

const std::string *single(const Entry &e, const char *attribute, bool required, Refusal &r) {
    const std::vector<std::string> *v = e.values(attribute);
    if (v == nullptr || v->empty()) {
        if (required) r.why = std::string(attribute) + " is missing";
        return nullptr;
    }
    if (v->size() > 1) {
        r.why = std::string(attribute) + " has more than one value";
        return nullptr;
    }
    return &v->front();
}

// Digits only, at most the largest id the system keeps.
bool id_of(const Entry &e, const char *attribute, long &id, Refusal &r) {
    const std::string *text = single(e, attribute, true, r);
    if (text == nullptr) return false;
    if (text->empty() || text->size() > 5 ||
        text->find_first_not_of("0123456789") != std::string::npos) {
        r.why = std::string(attribute) + " is not a number";
        return false;
    }
    id = strtol(text->c_str(), nullptr, 10);
    if (id > kMaxId) {
        r.why = std::string(attribute) + " is above 65535";
        return false;
    }
    return true;
}

// The entry's name: the one asked for when it has it, else its only one.
bool name_of(const Entry &e, const char *attribute, const char *wanted, std::string &name,
             Refusal &r) {
    const std::vector<std::string> *names = e.values(attribute);
    if (names == nullptr || names->empty()) {
        r.why = std::string(attribute) + " is missing";
        return false;
    }
    if (wanted != nullptr) {
        for (const std::string &n : *names)
            if (n == wanted) name = n;
        if (name.empty()) {
            r.why = std::string(attribute) + " does not hold the name asked for";
            return false;
        }
    } else {
        name = names->front();
    }
    if (!good_name(name)) {
        r.why = std::string(attribute) + " is not a usable name";
        return false;
    }
    return true;
}

// An optional text field; absent is empty.
bool text_of(const Entry &e, const char *attribute, std::string &text, Refusal &r) {
    const std::vector<std::string> *v = e.values(attribute);
    if (v == nullptr || v->empty()) return true;
    if (!clean(v->front())) {
        r.why = std::string(attribute) + " holds a colon or a newline";
        return false;
    }
    text = v->front();
    return true;
}

std::string crypted_password(const Entry &e) {
    const std::vector<std::string> *v = e.values("userPassword");
    if (v == nullptr) return kNoPassword;
    for (const std::string &p : *v) {
        if (p.size() <= kCryptScheme.size() ||
            strncasecmp(p.c_str(), kCryptScheme.data(), kCryptScheme.size()) != 0)
            continue;
        std::string hash = p.substr(kCryptScheme.size());
        if (clean(hash)) return hash;
    }
    return kNoPassword;
}

Line refused(const Entry &e, const Refusal &r) {
    Line l;
    l.why = e.dn + ": " + r.why;
    return l;
}

}  // namespace

const char *const kUserAttributes[] = {"uid",           "uidNumber",  "gidNumber",    "gecos",
                                       "homeDirectory", "loginShell", "userPassword", nullptr};
const char *const kGroupAttributes[] = {"cn", "gidNumber", "memberUid", nullptr};

const std::vector<std::string> *Entry::values(const char *name) const {
    std::string key(name);
    for (char &c : key)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    auto at = attributes.find(key);
    return at == attributes.end() ? nullptr : &at->second;
}

bool carries_name(const Entry &e, const char *attribute, const char *name) {
    const std::vector<std::string> *names = e.values(attribute);
    if (names == nullptr || name == nullptr) return false;
    for (const std::string &n : *names)
        if (n == name) return true;
    return false;
}

Line user_line(const Entry &e, const char *wanted, PasswordField password) {
    Refusal r;
    Line l;
    long gid = -1;
    std::string gecos, shell;
    if (!name_of(e, "uid", wanted, l.name, r) || !id_of(e, "uidNumber", l.id, r) ||
        !id_of(e, "gidNumber", gid, r) || !text_of(e, "gecos", gecos, r) ||
        !text_of(e, "loginShell", shell, r))
        return refused(e, r);
    const std::string *home = single(e, "homeDirectory", true, r);
    if (home == nullptr) return refused(e, r);
    if (home->empty() || !clean(*home)) {
        r.why =
            home->empty() ? "homeDirectory is empty" : "homeDirectory holds a colon or a newline";
        return refused(e, r);
    }
    std::string pw = password == PasswordField::crypted ? crypted_password(e) : kPlaceholder;
    l.text = l.name + ":" + pw + ":" + std::to_string(l.id) + ":" + std::to_string(gid) + ":" +
             gecos + ":" + *home + ":" + shell;
    l.ok = true;
    return l;
}

Line group_line(const Entry &e, const char *wanted) {
    Refusal r;
    Line l;
    if (!name_of(e, "cn", wanted, l.name, r) || !id_of(e, "gidNumber", l.id, r))
        return refused(e, r);
    std::string members;
    if (const std::vector<std::string> *v = e.values("memberUid")) {
        for (const std::string &m : *v) {
            if (!good_name(m)) {
                r.why = "memberUid holds a name that is not usable";
                return refused(e, r);
            }
            members += (members.empty() ? "" : ",") + m;
        }
    }
    l.text = l.name + ":*:" + std::to_string(l.id) + ":" + members;
    l.ok = true;
    return l;
}

}  // namespace vant::directory
