// A long list printed after a label, broken between words so that no line
// reaches the width of the output; continuation lines are indented to the
// label's width.
#include <stdio.h>
#include <string.h>

#include "output/output.h"
#include "output/terminal_width.h"
#include "vant.h"

namespace {

struct FormatterState {
    bool decided;
    int num_cols;
};
FormatterState state;

int num_cols() {
    if (!state.decided) {
        state.num_cols = vant::output::terminal_width();
        state.decided = true;
    }
    return state.num_cols;
}

// The text is written only at a break and at the end.
class Lines {
  public:
    Lines(const char *text, int indent) : scan_(text), pending_(text), indent_(indent) {}

    const char *rest() const { return scan_; }
    int column() const { return column_; }
    // Whether the current line holds nothing of the text yet but the
    // indentation of a break.
    bool fresh() const { return fresh_; }

    void advance(size_t n) {
        scan_ += n;
        column_ += static_cast<int>(n);
    }
    void break_line() {
        fwrite(pending_, 1, static_cast<size_t>(scan_ - pending_), stdout);
        printf("\n%*s", indent_, "");
        column_ = indent_ + 1;
        scan_ += strspn(scan_, " ");
        pending_ = scan_;
        fresh_ = true;
    }
    void word_placed() { fresh_ = false; }
    void finish() { printf("%s", pending_); }

  private:
    const char *scan_;
    const char *pending_;
    int indent_;
    int column_ = indent_ + 1;
    bool fresh_ = false;
};

}  // namespace

namespace vant::output {

void printbuf(const char *text, int indent, const char *separators) {
    if (text == nullptr) return;
    if (separators == nullptr) separators = "";
    if (indent < 0) indent = 0;
    const int width = num_cols();
    Lines lines(text, indent);
    while (*lines.rest() != '\0') {
        size_t word = strcspn(lines.rest(), separators);
        // A word too long for a fresh line stays on it as it is.
        if (lines.column() + static_cast<int>(word) >= width && !lines.fresh()) {
            lines.break_line();
            continue;
        }
        lines.advance(word);
        if (*lines.rest() != '\0') lines.advance(1);
        lines.word_placed();
    }
    lines.finish();
}

}  // namespace vant::output
