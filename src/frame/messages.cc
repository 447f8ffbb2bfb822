#include "frame/messages.h"
#include "frame/frame.h"

#define VANT_MESSAGE_VARIABLE(number, variable, text) const char *variable = text;
VANT_MESSAGE_TABLE(VANT_MESSAGE_VARIABLE)
#undef VANT_MESSAGE_VARIABLE

namespace vant::frame {

// The text goes through "%s" so that a catalog text holding "%" can never
// be taken for a format.
void report(int severity, const Message &m) {
    frame::store_msg(severity, "%s", text_of(m));
}

}  // namespace vant::frame
