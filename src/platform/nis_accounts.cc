#include "platform/nis_accounts.h"

#include <stdlib.h>
#include <string.h>

#include <string>

#include "platform/nis.h"

namespace vant::platform {
namespace {

constexpr int kRequestByName = 2;
constexpr int kFields = 7;
constexpr unsigned long kMaxId = 65535;

struct Answer {
    std::string line;
    struct passwd pw = {};
};
Answer answer;

bool number(const char *text, uid_t &out) {
    char *end = nullptr;
    if (text[0] < '0' || text[0] > '9') return false;
    unsigned long n = strtoul(text, &end, 10);
    if (*end != '\0' || n > kMaxId) return false;
    out = static_cast<uid_t>(n);
    return true;
}

// name:password:uid:gid:gecos:home:shell, split in place.
struct passwd *parse(const char *line) {
    if (line == nullptr) return nullptr;
    answer.line = line;
    char *fields[kFields];
    char *at = answer.line.data();
    for (int i = 0; i < kFields; ++i) {
        fields[i] = at;
        char *colon = strchr(at, ':');
        if (i < kFields - 1) {
            if (colon == nullptr) return nullptr;
            *colon = '\0';
            at = colon + 1;
        } else if (colon != nullptr || strchr(at, '\n') != nullptr) {
            return nullptr;
        }
    }
    uid_t uid, gid;
    if (fields[0][0] == '\0' || !number(fields[2], uid) || !number(fields[3], gid)) return nullptr;
    answer.pw = {fields[0], fields[1], uid, gid, fields[4], fields[5], fields[6]};
    return &answer.pw;
}

}  // namespace

void announce_user(const char *name) {
    nis_reqtype(kNisUsers, kRequestByName, name);
}

struct passwd *nis_user_by_name(const char *name) {
    if (name == nullptr || nis_enabled(kNisUsers) == 0) return nullptr;
    struct passwd *pw = parse(nis_lookup(name, "passwd.byname"));
    return pw != nullptr && strcmp(pw->pw_name, name) == 0 ? pw : nullptr;
}

struct passwd *nis_user_by_id(uid_t uid) {
    if (nis_enabled(kNisUsers) == 0) return nullptr;
    struct passwd *pw = parse(nis_lookup(std::to_string(uid).c_str(), "passwd.byuid"));
    return pw != nullptr && pw->pw_uid == uid ? pw : nullptr;
}

}  // namespace vant::platform
