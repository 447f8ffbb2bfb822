#include "login/terminal_name.h"

#include <string.h>

#include <string>

#include "databases/databases.h"
#include "login/login_defaults.h"

namespace vant::login {
namespace {

bool lists_device(const char *const *devices, const char *tty) {
    for (; devices != nullptr && *devices != nullptr; ++devices)
        if (strcmp(*devices, tty) == 0) return true;
    return false;
}

const char *entry_name(const dev_asg &d) {
    if (PR_V_ISSET(d.uflg, PR_V_NAME) && d.ufld.v_name != nullptr) return d.ufld.v_name;
    if (PR_V_ISSET(d.sflg, PR_V_NAME) && d.sfld.v_name != nullptr) return d.sfld.v_name;
    return "";
}

char **device_list(const dev_asg &d) {
    if (PR_V_ISSET(d.uflg, PR_V_DEVS)) return d.ufld.v_devs;
    if (PR_V_ISSET(d.sflg, PR_V_DEVS)) return d.sfld.v_devs;
    return nullptr;
}

void copy_cut(char name[VANT_TTY_LEN + 1], const char *text) {
    strncpy(name, text, VANT_TTY_LEN);
    name[VANT_TTY_LEN] = '\0';
}

}  // namespace

void resolve_terminal_name(const char *tty, char name[VANT_TTY_LEN + 1]) {
    name[0] = '\0';
    databases::setdvagent();
    while (const dev_asg *d = databases::getdvagent())
        if (lists_device(device_list(*d), tty)) copy_cut(name, entry_name(*d));
    databases::enddvagent();
    if (name[0] != '\0') return;
    std::string path = tty;
    copy_cut(name, last_component(path.data()));
}

}  // namespace vant::login
