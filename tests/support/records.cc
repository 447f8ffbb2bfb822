#include "support/records.h"

#include <stdio.h>

namespace vant::test {

std::string authcap_line(const std::string &name, const std::string &fields) {
    return name + ":" + fields + (fields.empty() ? "" : ":") + "chkent:\n";
}

std::string prpw_path(const std::string &user) {
    return "/tcb/files/auth/" + user.substr(0, 1) + "/" + user;
}

void write_prpw(const Sandbox &box, const std::string &user, const std::string &fields) {
    box.mkdir("/tcb/files/auth/" + user.substr(0, 1));
    std::string all = "u_name=" + user + (fields.empty() ? "" : ":") + fields;
    box.write(prpw_path(user), authcap_line(user, all), 0660);
}

void write_system_default(const Sandbox &box, const std::string &fields) {
    std::string all = "d_name=default" + std::string(fields.empty() ? "" : ":") + fields;
    box.write(kSystemDefault, authcap_line("default", all), 0664);
}

std::string terminal_line(const std::string &name, const std::string &fields) {
    return authcap_line(name, "t_devname=" + name + (fields.empty() ? "" : ":") + fields);
}

std::string file_control_line(const std::string &path, int mode, const std::string &more) {
    char octal[16];
    snprintf(octal, sizeof octal, "%04o", mode);
    return authcap_line(
        path, "f_mode#" + std::string(octal) + ":f_type=r" + (more.empty() ? "" : ":") + more);
}

}  // namespace vant::test
