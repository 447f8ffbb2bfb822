// The failure text a service hands to its caller.
#pragma once

#include "frame/messages.h"

namespace vant::login {

// The library's own earlier report, when one was stored, takes the place of
// the general text; the result stays valid until the next call.
const char *get_fail_msg(const char *text);
const char *get_fail_msg(const frame::Message &m);

}  // namespace vant::login
