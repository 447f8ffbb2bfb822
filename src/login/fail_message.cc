#include "login/fail_message.h"

#include <string>

namespace vant::login {
namespace {

// A stored message is copied: the next message stored would release it.
std::string last_text;

}  // namespace

const char *get_fail_msg(const char *text) {
    char *stored = nullptr;
    int result = frame::get_auth_msg(&stored);
    if (result == 0) return text;
    if (result == VANT_MSG_LOST) return frame::text_of(frame::msg_vant_nomemory);
    last_text = stored;
    frame::get_auth_msg(nullptr);
    return last_text.c_str();
}

const char *get_fail_msg(const frame::Message &m) {
    return get_fail_msg(frame::text_of(m));
}

}  // namespace vant::login
