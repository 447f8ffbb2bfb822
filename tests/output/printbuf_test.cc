// Tests of the column formatter: line breaks, indentation and the width.
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <tuple>

#include "support/child.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

// The output of printbuf calls made in a fresh process, with "COLUMNS" as
// given (unset when null). A formatter that loops is stopped by a cap on the
// size of the file its output goes to, or by the alarm.
std::string printed(const char *columns, const std::function<void()> &calls) {
    auto r = run_child([&] {
        alarm(10);
        if (columns != nullptr) setenv("COLUMNS", columns, 1);
        if (columns == nullptr) unsetenv("COLUMNS");
        int real_out = dup(STDOUT_FILENO);
        dup2(fileno(tmpfile()), STDOUT_FILENO);
        struct rlimit cap = {1 << 16, 1 << 16};
        setrlimit(RLIMIT_FSIZE, &cap);
        calls();
        fflush(stdout);
        char buf[1 << 16];
        ssize_t n = pread(STDOUT_FILENO, buf, sizeof buf, 0);
        if (n > 0 && write(real_out, buf, static_cast<size_t>(n)) != n) _exit(2);
    });
    EXPECT_EQ(r.exit_status, 0) << "signal " << r.signal;
    return r.out;
}

// Thirty words "abc,", of 4 columns each: the first line holds as many as
// stay below the width, the column count starting at 1.
const std::string kList = [] {
    std::string list;
    for (int i = 0; i < 30; ++i)
        list += "abc,";
    return list;
}();
size_t first_line_words(const std::string &out) {
    return out.substr(0, out.find('\n')).size() / 4;
}
size_t first_line_words(const char *columns) {
    return first_line_words(printed(columns, [] { printbuf(kList.c_str(), 0, ","); }));
}

// A word too long for a line goes on a line of its own; a width of zero
// or less puts each word on its own line.
TEST(PrintbufTest, BreaksAfterTheSeparatorAndIndentsWithinTheWidth) {
    const std::tuple<const char *, const char *, int, const char *, const char *> rows[] = {
        {"80", "a,b,c", 16, ",", "a,b,c"},
        {"20", "alpha, beta, gamma, delta", 5, ",", "alpha, beta,\n     gamma, delta"},
        {"20", "one two three four five", 0, " ", "one two three four \nfive"},
        {"20", "ab,abcdefghijklmnopqrstuvwxyz,cd", 5, ",",
         "ab,\n     abcdefghijklmnopqrstuvwxyz,\n     cd"},
        {"10", "x,y", 12, ",", "\n            x,\n            y"},
        {"wide", "x,y", 3, ",", "\n   x,\n   y"},
        {"-5", "x,,y", 0, ",", "\nx,\n,\ny"}};
    for (auto [columns, text, indent, sep, out] : rows)
        EXPECT_EQ(printed(columns, [&] { printbuf(text, indent, sep); }), out) << text;
}

TEST(PrintbufTest, WidthIsDecidedOnceFromColumns) {
    std::string out = printed("40", [] {
        printbuf(kList.c_str(), 0, ",");
        setenv("COLUMNS", "10", 1);
        printf("|");
        printbuf(kList.c_str(), 0, ",");
    });
    EXPECT_EQ(first_line_words(out), 9u);
    EXPECT_EQ(first_line_words(out.substr(out.find('|') + 1)), 9u);
}

// A terminal description of 52 columns, named "vanttest", gives the width
// unless COLUMNS is set; an unknown terminal gives eighty.
TEST(PrintbufTerminalTest, TerminalDescriptionGivesTheWidthUnlessColumnsIsSet) {
    Sandbox box;
    box.write("/vanttest.src", "vanttest|terminal of the tests,\n\tcols#52, lines#24,\n");
    std::string command =
        "tic -o '" + box.path("/terminfo") + "' '" + box.path("/vanttest.src") + "' 2>/dev/null";
    if (system(command.c_str()) != 0) GTEST_SKIP() << "no terminfo compiler";
    setenv("TERMINFO", box.path("/terminfo").c_str(), 1);
    setenv("TERM", "vanttest", 1);
    EXPECT_EQ(first_line_words(nullptr), 12u);
    EXPECT_EQ(first_line_words("40"), 9u);
    setenv("TERM", "no-such-terminal", 1);
    EXPECT_EQ(first_line_words(nullptr), 19u);
    unsetenv("TERM");
    EXPECT_EQ(first_line_words(nullptr), 19u);
}

}  // namespace
}  // namespace vant::test
