// show: one entry in readable form.
#include <grp.h>
#include <stdio.h>

#include "commands.h"
#include "entries.h"
#include "entry_printer.h"
#include "field_values.h"

namespace vantdb {
namespace {

std::string joined(char **list) {
    std::string text;
    for (; list != nullptr && *list != nullptr; ++list)
        text += (text.empty() ? "" : ",") + std::string(*list);
    return text;
}

std::string json_list(char **list) {
    std::string text = "[";
    for (; list != nullptr && *list != nullptr; ++list)
        text += (text.size() > 1 ? "," : "") + json_string(*list);
    return text + "]";
}

void row_list(EntryPrinter &p, const char *name, char **list) {
    p.row(name, joined(list), json_list(list));
}

std::string device_types(vant_mask_t mask) {
    char *text = storenamepair(&mask, 2, auth_dev_type, "device type");
    std::string types = text != nullptr ? text : "";
    free(text);
    return types;
}

std::string id_name(const char *name, int id) {
    return name != nullptr ? name : std::to_string(id);
}

}  // namespace

int show_user(const Request &r) {
    struct pr_passwd pr;
    if (!read_user(r.operands[0], pr)) return kFailed;
    EntryPrinter p(r.json);
    Half defaults = half_of(pr.sfld, pr.sflg);
    p.fields(kUserFields, half_of(pr.ufld, pr.uflg), &defaults);
    std::vector<std::string> held = held_authorizations(r.operands[0]);
    std::string text, json = "[";
    for (const std::string &a : held) {
        text += (text.empty() ? "" : ",") + a;
        json += (json.size() > 1 ? "," : "") + json_string(a);
    }
    p.row("authorizations", text, json + "]");
    p.finish();
    return kOk;
}

int show_terminal(const Request &r) {
    struct pr_term t;
    if (!read_terminal(r.operands[0], t)) return kFailed;
    EntryPrinter p(r.json);
    Half defaults = half_of(t.sfld, t.sflg);
    p.fields(kTerminalFields, half_of(t.ufld, t.uflg), &defaults);
    p.finish();
    return kOk;
}

int show_device(const Request &r) {
    struct dev_asg *d = getdvagnam(r.operands[0].c_str());
    if (d == nullptr) return fail("no such device: " + r.operands[0]);
    EntryPrinter p(r.json);
    if (PR_V_ISSET(d->uflg, PR_V_NAME))
        p.row("v_name", d->ufld.v_name, json_string(d->ufld.v_name));
    if (PR_V_ISSET(d->uflg, PR_V_DEVS)) row_list(p, "v_devs", d->ufld.v_devs);
    if (PR_V_ISSET(d->uflg, PR_V_TYPE)) {
        std::string types = device_types(d->ufld.v_type);
        p.row("v_type", types, json_string(types));
    }
    if (PR_V_ISSET(d->uflg, PR_V_USERS)) row_list(p, "v_users", d->ufld.v_users);
    p.finish();
    enddvagent();
    return kOk;
}

int show_file(const Request &r) {
    struct pr_file *f = getprfinam(r.operands[0].c_str());
    if (f == nullptr) return fail("no File Control entry for " + r.operands[0]);
    EntryPrinter p(r.json);
    const struct f_field &v = f->ufld;
    p.row("f_name", v.f_name, json_string(v.f_name));
    if (PR_F_ISSET(f->uflg, PR_F_OWNER)) {
        std::string owner = id_name(pw_idtoname(v.f_owner), v.f_owner);
        p.row("f_owner", owner, json_string(owner));
    }
    if (PR_F_ISSET(f->uflg, PR_F_GROUP)) {
        std::string group = id_name(gr_idtoname(v.f_group), v.f_group);
        p.row("f_group", group, json_string(group));
    }
    if (PR_F_ISSET(f->uflg, PR_F_MODE)) {
        char mode[8];
        snprintf(mode, sizeof mode, "0%o", v.f_mode);
        p.row("f_mode", mode, json_string(mode));
    }
    if (PR_F_ISSET(f->uflg, PR_F_TYPE)) {
        std::string type(1, v.f_type);
        p.row("f_type", type, json_string(type));
    }
    p.finish();
    endprfient();
    return kOk;
}

}  // namespace vantdb
