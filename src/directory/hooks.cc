// The hooks through which the library takes users and groups from the
// network, served from the directory. These nine names are all that the
// provider exports.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "directory/directory.h"
#include "directory/password_stream.h"

namespace {

using namespace vant::directory;

constexpr int kUsers = 1;
constexpr int kGroups = 2;
constexpr int kPasswdStream = 3;
constexpr int kKeptElsewhere = 3;  // _nis_control(1, 3)

// The account a user lookup announced: whether the directory, and not
// /etc/passwd, answered for it.
struct Announced {
    std::string name;
    bool from_directory = false;
};
Announced &announced() {
    static Announced a;
    return a;
}

// The lines handed out belong to the provider, one per map, until the
// next lookup in that map.
std::string &answer_for(const char *map) {
    static std::string passwd_answer, group_answer;
    return strncmp(map, "passwd.", 7) == 0 ? passwd_answer : group_answer;
}

// A key of a by-id map: digits only.
bool id_key(const char *key, long &id) {
    if (key[0] == '\0' || strlen(key) > 5 || strspn(key, "0123456789") != strlen(key)) return false;
    id = strtol(key, nullptr, 10);
    return true;
}

Answer look_up(const char *key, const char *map, Line &line) {
    long id = 0;
    if (strcmp(map, "passwd.byname") == 0)
        return user_by_name(key, PasswordField::placeholder, line);
    if (strcmp(map, "group.byname") == 0) return group_by_name(key, line);
    if (strcmp(map, "passwd.byuid") == 0)
        return id_key(key, id) ? user_by_id(id, PasswordField::placeholder, line) : Answer::none;
    if (strcmp(map, "group.bygid") == 0)
        return id_key(key, id) ? group_by_id(id, line) : Answer::none;
    return Answer::none;
}

}  // namespace

#define HOOK extern "C" __attribute__((visibility("default")))

HOOK int _nis_enabled(int kind) {
    return (kind == kUsers || kind == kGroups || kind == kPasswdStream) && configured() ? 1 : 0;
}

HOOK char *_nis_lookup(const char *key, const char *map) {
    if (key == nullptr || map == nullptr) return nullptr;
    Line line;
    if (look_up(key, map, line) != Answer::found) return nullptr;
    if (strcmp(map, "passwd.byname") == 0 && announced().name == key)
        announced().from_directory = true;
    std::string &answer = answer_for(map);
    answer = line.text;
    return answer.data();
}

HOOK void _nis_rewind(int kind) {
    if (kind == kPasswdStream) stream_rewind();
}

HOOK void _nis_reqtype(int kind, int type, const char *name) {
    if (kind == kPasswdStream) {
        stream_request(type, name);
    } else if (kind == kUsers) {
        announced().name = name != nullptr ? name : "";
        announced().from_directory = false;
    }
}

HOOK int _nis_control(int kind, int request) {
    if (kind == kPasswdStream) return stream_control(request);
    if (kind == kUsers && request == kKeptElsewhere) return announced().from_directory ? 1 : 0;
    return 0;
}

HOOK char *_nis_getline(int kind) {
    if (kind != kPasswdStream || !configured()) return nullptr;
    return const_cast<char *>(stream_line());
}

HOOK void _nis_escape(int kind, const char *line) {
    if (kind == kPasswdStream) stream_escape(line);
}

HOOK int _nis_stopped(int kind, const char *name) {
    return kind == kPasswdStream ? stream_stopped(name) : 0;
}

// FNV-1a: only equal names must hash equal.
HOOK int _nis_hash(const char *name) {
    if (name == nullptr) return 0;
    unsigned hash = 2166136261u;
    for (const char *c = name; *c != '\0'; ++c)
        hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619u;
    return static_cast<int>(hash & 0x7fffffff);
}
