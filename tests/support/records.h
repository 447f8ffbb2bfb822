// The text of one database record of each kind, as the tests lay the
// databases out, and the places those records live.
#pragma once

#include <string>

#include "support/sandbox.h"

namespace vant::test {

// "name:fields:chkent:" and a newline; empty fields give "name:chkent:".
std::string authcap_line(const std::string &name, const std::string &fields);

// The Protected Password entry of a user, and where it lives.
std::string prpw_path(const std::string &user);
void write_prpw(const Sandbox &box, const std::string &user, const std::string &fields);

// The System Default entry "default" with the fields given.
inline constexpr const char *kSystemDefault = "/etc/auth/system/default";
void write_system_default(const Sandbox &box, const std::string &fields);

// A Terminal Control entry named after its device.
std::string terminal_line(const std::string &name, const std::string &fields = "");

// A File Control entry for a file of type r with the mode given, and more
// fields after it.
std::string file_control_line(const std::string &path, int mode, const std::string &more = "");

}  // namespace vant::test
