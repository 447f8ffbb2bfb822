// Internal side of message reporting: a handle for each message and the
// one way the library reports a message of its own.
#pragma once

#include "frame/frame.h"
#include "frame/message_table.h"
#include "vant.h"

namespace vant::frame {

struct Message {
    int number;
    const char *const *text;  // the exported variable, read at report time
};

#define VANT_MESSAGE_HANDLE(number, variable, text) \
    inline constexpr Message msg_##variable{number, &::variable};
VANT_MESSAGE_TABLE(VANT_MESSAGE_HANDLE)
#undef VANT_MESSAGE_HANDLE

inline constexpr int kMessageCount = 81;

// The text to show for a message: the catalog's, or the variable's.
inline const char *text_of(const Message &m) {
    return frame::intl_msg(m.number, *m.text);
}

// Reports a message that takes no arguments.
void report(int severity, const Message &m);

}  // namespace vant::frame
