// The width of the output, in columns.
#pragma once

namespace vant::output {

// "COLUMNS" when set, else the terminal description's column count for
// standard output, else 80. It may be 0 or less.
int terminal_width();

}  // namespace vant::output
