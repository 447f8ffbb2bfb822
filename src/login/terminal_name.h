// The name under which a terminal is kept in the Terminal Control
// database, found from its device path.
#pragma once

#include "vant.h"

namespace vant::login {

// The Device Assignment entry whose device list holds exactly `tty` names
// it (the last such entry); else the last component of the path. At most
// VANT_TTY_LEN characters are written, with the end mark, into `name`.
void resolve_terminal_name(const char *tty, char name[VANT_TTY_LEN + 1]);

}  // namespace vant::login
