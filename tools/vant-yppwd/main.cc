// vant-yppwd: the directory's password program. Installed as
// /etc/yp/yppwd, it takes a password change from the login services and
// stores it in the user's directory entry.
//
// Usage: vant-yppwd USER, with three lines on standard input: "1" when the
// old password is not given (else "0"), the old password, the new crypted
// password. Exit status 0 only when the directory took the change.
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "directory/connection.h"
#include "directory/entry_lines.h"
#include "directory/settings.h"
#include "passwords/wipe.h"

namespace {

using namespace vant::directory;

constexpr int kChanged = 0;
constexpr int kFailed = 1;
constexpr int kBadRequest = 2;
constexpr long kSecondsPerDay = 86400;
constexpr size_t kLineMax = 1024;

struct Request {
    bool no_current = true;
    std::string current;
    std::string crypted;
};

// A plaintext password never outlives its use.
struct Wiped {
    std::string &text;
    ~Wiped() { vant::passwords::wipe(text.data(), text.size()); }
};

int fail(int status, const std::string &why) {
    fprintf(stderr, "vant-yppwd: %s\n", why.c_str());
    return status;
}

bool read_line(std::string &out) {
    char buf[kLineMax];
    if (fgets(buf, sizeof buf, stdin) == nullptr) return false;
    size_t n = strlen(buf);
    bool whole = n > 0 && buf[n - 1] == '\n';
    if (whole) buf[--n] = '\0';
    out.assign(buf, n);
    vant::passwords::wipe(buf, sizeof buf);
    return whole;
}

bool read_request(Request &r) {
    std::string flag;
    if (!read_line(flag) || (flag != "0" && flag != "1")) return false;
    r.no_current = flag == "1";
    return read_line(r.current) && read_line(r.crypted) && !r.crypted.empty() &&
           r.crypted.find(':') == std::string::npos;
}

// The user's entry: exactly one that carries the name exactly.
bool find_entry(Connection &c, const Settings &s, const char *user, Entry &entry,
                std::string &why) {
    static const char *const attributes[] = {"uid", "objectClass", nullptr};
    std::vector<Entry> found;
    if (c.search(s.user_base, "(&(objectClass=posixAccount)(uid=" + filter_value(user) + "))",
                 attributes, found, why) != Outcome::ok)
        return false;
    std::erase_if(found, [&](const Entry &e) { return !carries_name(e, "uid", user); });
    if (found.size() != 1) {
        why = found.empty() ? "no directory entry for this user" : "more than one directory entry";
        return false;
    }
    entry = std::move(found.front());
    return true;
}

bool has_class(const Entry &e, const char *name) {
    if (const std::vector<std::string> *v = e.values("objectclass"))
        for (const std::string &c : *v)
            if (strcasecmp(c.c_str(), name) == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2 || argv[1][0] == '\0') return fail(kBadRequest, "usage: vant-yppwd USER");
    Request request;
    Wiped wiped{request.current};
    if (!read_request(request)) return fail(kBadRequest, "the request is not three sound lines");

    Settings settings;
    std::string why;
    if (!read_settings(kSettingsPath, settings, why)) return fail(kFailed, why);
    // The site's identity makes the change when this program may use it;
    // otherwise the user's own, proved by the old password.
    Credentials service;
    if (!settings.bind_dn.empty() && read_secret(settings.secret_path, service.secret, why))
        service.dn = settings.bind_dn;
    else if (request.no_current)
        return fail(kFailed, "neither the site's identity nor the old password is at hand");
    Wiped wiped_secret{service.secret};
    bool as_site = !service.dn.empty();

    Connection lookup(settings, service);
    Entry entry;
    if (!find_entry(lookup, settings, argv[1], entry, why)) return fail(kFailed, why);
    std::vector<Connection::Change> changes = {{"userPassword", "{CRYPT}" + request.crypted}};
    if (has_class(entry, "shadowAccount"))
        changes.push_back({"shadowLastChange", std::to_string(time(nullptr) / kSecondsPerDay)});

    Outcome o;
    if (as_site) {
        o = lookup.replace(entry.dn, changes, why);
    } else {
        Connection own(settings, Credentials{entry.dn, request.current});
        o = own.replace(entry.dn, changes, why);
    }
    return o == Outcome::ok ? kChanged : fail(kFailed, why);
}
