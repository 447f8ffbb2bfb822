// Holding terminal signals back across a change that must not be cut short.
#pragma once

#include "frame/frame.h"

namespace vant::frame {

// Holds terminal signals back for as long as it lives.
class QuietZone {
  public:
    QuietZone() { frame::enter_quiet_zone(); }
    ~QuietZone() { frame::exit_quiet_zone(); }
    QuietZone(const QuietZone &) = delete;
    QuietZone &operator=(const QuietZone &) = delete;
};

}  // namespace vant::frame
