// check: every user's protected entry against the user's /etc/passwd and
// /etc/shadow lines, by the integrity rule of the mirroring.
#include <stdio.h>

#include "commands.h"
#include "entry_printer.h"
#include "field_values.h"
#include "record_fields.h"

namespace vantdb {
namespace {

struct Disagreement {
    std::string user;
    std::vector<std::string> fields;
};

// The users of /etc/passwd, with or without a protected entry.
std::vector<std::string> users() {
    std::vector<std::string> names;
    int saved = get_override_mode();
    set_override_mode(OVERRIDE_ETC_FILES);
    setprpwent();
    while (struct pr_passwd *pr = getprpwent())
        names.push_back(pr->ufld.u_name);
    endprpwent();
    set_override_mode(saved);
    return names;
}

std::vector<std::string> field_names(struct pr_flag &differing) {
    std::vector<std::string> names;
    struct pr_field unused {};
    Half half = half_of(unused, differing);
    for (const Field &f : kUserFields)
        if (half.has(f)) names.push_back(f.name);
    return names;
}

void print_text(const std::vector<Disagreement> &found, size_t checked) {
    for (const Disagreement &d : found) {
        std::string fields;
        for (const std::string &f : d.fields)
            fields += (fields.empty() ? "" : ", ") + f;
        printf("%s: the protected entry and /etc/passwd or /etc/shadow disagree on %s\n",
               d.user.c_str(), fields.c_str());
    }
    if (found.empty()) printf("%zu users checked; every entry agrees\n", checked);
}

void print_json(const std::vector<Disagreement> &found, size_t checked) {
    std::string list = "[";
    for (const Disagreement &d : found) {
        std::string fields = "[";
        for (const std::string &f : d.fields)
            fields += (fields.size() > 1 ? "," : "") + json_string(f);
        list += (list.size() > 1 ? "," : "") + std::string("{\"user\":") + json_string(d.user) +
                ",\"fields\":" + fields + "]}";
    }
    printf("{\"checked\":%zu,\"disagreements\":%s]}\n", checked, list.c_str());
}

}  // namespace

int check(const Request &r) {
    std::vector<std::string> names = users();
    std::vector<Disagreement> found;
    for (const std::string &name : names) {
        struct pr_flag differing {};
        if (checkprpwnam(name.c_str(), &differing) > 0)
            found.push_back({name, field_names(differing)});
    }
    if (r.json)
        print_json(found, names.size());
    else
        print_text(found, names.size());
    return found.empty() ? kOk : kFound;
}

}  // namespace vantdb
