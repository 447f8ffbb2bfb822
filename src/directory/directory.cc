#include "directory/directory.h"

#include <dlfcn.h>
#include <time.h>

#include <memory>

#include "directory/connection.h"
#include "directory/settings.h"
#include "vant.h"

namespace vant::directory {
namespace {

struct Service {
    bool read = false;
    bool usable = false;
    Settings settings;
    std::unique_ptr<Connection> connection;
    time_t down_until = 0;  // an unreachable server is not asked again before then
};

// Audit records go through the library that loaded the provider, found in
// the process rather than linked: linking it would bring a second copy of
// the library into a program that carries its own.
void audit(const char *object, int code, const char *text) {
    using Audit = decltype(&audit_auth_entry);
    static auto deliver = reinterpret_cast<Audit>(dlsym(RTLD_DEFAULT, "audit_auth_entry"));
    if (deliver != nullptr) deliver(object, code, text);
}

Service &service() {
    static Service s;
    return s;
}

// The bind secret is read when the settings are: a process that may not
// read it works without it, as nobody, and sees what nobody may see.
void read_once(Service &s) {
    if (s.read) return;
    s.read = true;
    std::string why;
    if (!read_settings(kSettingsPath, s.settings, why)) {
        if (why != std::string(kSettingsPath) + " cannot be read")
            audit(kSettingsPath, VANT_OBJ_RESOURCE, ("directory settings refused: " + why).c_str());
        return;
    }
    Credentials credentials;
    if (!s.settings.bind_dn.empty() && read_secret(s.settings.secret_path, credentials.secret, why))
        credentials.dn = s.settings.bind_dn;
    s.connection = std::make_unique<Connection>(s.settings, std::move(credentials));
    s.usable = true;
}

void refuse(const Line &line, int code) {
    audit(line.why.c_str(), code, "directory entry refused");
}

// The server is asked unless it failed a moment ago; a failure is
// recorded once, when it is found.
bool ask(const std::string &base, const std::string &filter, const char *const *attributes,
         std::vector<Entry> &entries) {
    Service &s = service();
    read_once(s);
    if (!s.usable || time(nullptr) < s.down_until) return false;
    std::string why;
    switch (s.connection->search(base, filter, attributes, entries, why)) {
        case Outcome::ok:
            return true;
        case Outcome::unreachable:
            s.down_until = time(nullptr) + s.settings.retry_seconds;
            audit(s.settings.uri.c_str(), VANT_OBJ_RESOURCE,
                  ("directory server unreachable: " + why).c_str());
            return false;
        case Outcome::refused:
            audit(s.settings.uri.c_str(), VANT_OBJ_RESOURCE,
                  ("directory server refused: " + why).c_str());
            return false;
    }
    return false;
}

// Of the entries found, the one that makes a sound line; two are as bad
// as none, since either could be the wrong one.
template <typename Make>
Answer one_line(const std::vector<Entry> &entries, Make make, int code, Line &line) {
    int sound = 0;
    for (const Entry &e : entries) {
        Line l = make(e);
        if (!l.ok) {
            refuse(l, code);
            continue;
        }
        if (++sound == 1) line = l;
    }
    if (sound > 1) {
        audit(line.name.c_str(), code, "directory holds more than one entry");
        return Answer::none;
    }
    return sound == 1 ? Answer::found : Answer::none;
}

std::string user_filter(const std::string &test) {
    return "(&(objectClass=posixAccount)" + test + ")";
}
std::string group_filter(const std::string &test) {
    return "(&(objectClass=posixGroup)" + test + ")";
}

// Entries whose name differs from the one asked for only in case are
// other users, not answers.
std::vector<Entry> named(std::vector<Entry> entries, const char *attribute, const char *name) {
    std::erase_if(entries, [&](const Entry &e) { return !carries_name(e, attribute, name); });
    return entries;
}

}  // namespace

bool configured() {
    read_once(service());
    return service().usable;
}

Answer user_by_name(const char *name, PasswordField password, Line &line) {
    std::vector<Entry> found;
    if (!ask(service().settings.user_base, user_filter("(uid=" + filter_value(name) + ")"),
             kUserAttributes, found)) {
        if (service().usable)
            audit(name, VANT_OBJ_PRPW, "directory user not resolved: server unavailable");
        return Answer::unavailable;
    }
    return one_line(
        named(std::move(found), "uid", name),
        [&](const Entry &e) { return user_line(e, name, password); }, VANT_OBJ_PRPW, line);
}

Answer user_by_id(long id, PasswordField password, Line &line) {
    std::vector<Entry> found;
    if (!ask(service().settings.user_base, user_filter("(uidNumber=" + std::to_string(id) + ")"),
             kUserAttributes, found))
        return Answer::unavailable;
    return one_line(
        found, [&](const Entry &e) { return user_line(e, nullptr, password); }, VANT_OBJ_PRPW,
        line);
}

Answer group_by_name(const char *name, Line &line) {
    std::vector<Entry> found;
    if (!ask(service().settings.group_base, group_filter("(cn=" + filter_value(name) + ")"),
             kGroupAttributes, found))
        return Answer::unavailable;
    return one_line(
        named(std::move(found), "cn", name), [&](const Entry &e) { return group_line(e, name); },
        VANT_OBJ_RESOURCE, line);
}

Answer group_by_id(long id, Line &line) {
    std::vector<Entry> found;
    if (!ask(service().settings.group_base, group_filter("(gidNumber=" + std::to_string(id) + ")"),
             kGroupAttributes, found))
        return Answer::unavailable;
    return one_line(
        found, [&](const Entry &e) { return group_line(e, nullptr); }, VANT_OBJ_RESOURCE, line);
}

Answer all_users(PasswordField password, std::vector<Line> &lines) {
    std::vector<Entry> found;
    lines.clear();
    if (!ask(service().settings.user_base, user_filter(""), kUserAttributes, found))
        return Answer::unavailable;
    for (const Entry &e : found) {
        Line l = user_line(e, nullptr, password);
        if (l.ok)
            lines.push_back(std::move(l));
        else
            refuse(l, VANT_OBJ_PRPW);
    }
    return Answer::found;
}

}  // namespace vant::directory
