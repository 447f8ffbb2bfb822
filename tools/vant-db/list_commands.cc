// list: the names of the entries of a database.
#include "commands.h"
#include "entry_printer.h"
#include "vant.h"

namespace vantdb {

int list_users(const Request &r) {
    std::vector<std::string> names;
    int saved = get_override_mode();
    set_override_mode(OVERRIDE_PROTECTED_ONLY);
    setprpwent();
    while (struct pr_passwd *pr = getprpwent())
        names.push_back(pr->ufld.u_name);
    endprpwent();
    set_override_mode(saved);
    print_names(names, r.json);
    return kOk;
}

int list_terminals(const Request &r) {
    std::vector<std::string> names;
    setprtcent();
    while (struct pr_term *t = getprtcent())
        names.push_back(t->ufld.t_devname);
    endprtcent();
    print_names(names, r.json);
    return kOk;
}

int list_devices(const Request &r) {
    std::vector<std::string> names;
    setdvagent();
    while (struct dev_asg *d = getdvagent())
        names.push_back(d->ufld.v_name);
    enddvagent();
    print_names(names, r.json);
    return kOk;
}

int list_files(const Request &r) {
    std::vector<std::string> names;
    setprfient();
    while (struct pr_file *f = getprfient())
        names.push_back(f->ufld.f_name);
    endprfient();
    print_names(names, r.json);
    return kOk;
}

}  // namespace vantdb
