// The terminal description's header defines macros with common names
// (columns, lines), so it is kept to this file.
#include "output/terminal_width.h"

#include <curses.h>
#include <stdlib.h>
#include <term.h>
#include <unistd.h>

namespace vant::output {
namespace {

constexpr int kDefaultWidth = 80;
constexpr int kTerminalFound = 1;

}  // namespace

int terminal_width() {
    if (const char *columns_text = getenv("COLUMNS")) return atoi(columns_text);
    int status = 0;
    if (setupterm(nullptr, STDOUT_FILENO, &status) != OK || status != kTerminalFound)
        return kDefaultWidth;
    int width = tigetnum("cols");
    reset_shell_mode();
    return width > 0 ? width : kDefaultWidth;
}

}  // namespace vant::output
