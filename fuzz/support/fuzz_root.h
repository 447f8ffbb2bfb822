// What every fuzz target shares: one sandbox root per process with the
// library started in it, and an input cut into the files it stands for.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <string_view>

#include "support/sandbox.h"

namespace vant::fuzz {

// The process's sandbox, made and the library started on first use. The
// clock stands still at the epoch, so that no reader keeps a result for
// "the same second" from one input to the next.
test::Sandbox &root();

// Forgets what the library reported for the last input.
void end_input();

// An input read as a choice byte, then texts separated by lines "%%".
class Input {
  public:
    Input(const uint8_t *data, size_t size);
    // The first byte, or 0 for an empty input.
    unsigned choice() const { return choice_; }
    // The next text; empty once the input is used up.
    std::string next();
    // The whole input after the choice byte.
    std::string rest() const { return std::string(text_); }

  private:
    unsigned choice_ = 0;
    std::string_view text_;
    size_t at_ = 0;
};

// The whole input as one text.
inline std::string whole(const uint8_t *data, size_t size) {
    return std::string(reinterpret_cast<const char *>(data), size);
}

}  // namespace vant::fuzz
