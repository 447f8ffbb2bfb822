#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <tuple>

#include <gtest/gtest.h>

#include "support/child.h"
#include "vant.h"

namespace vant::test {
namespace {

// What calls print in a child with COLUMNS (unset if null); a file cap stops a loop.
std::string printed(const char *columns, const std::function<void()> &calls) {
    auto r = run_child([&] {
        alarm(10);
        columns != nullptr ? setenv("COLUMNS", columns, 1) : unsetenv("COLUMNS");
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

// Thirty words of 4 columns printed twice, COLUMNS changing in between: the
// width is read once, and the first line holds the words below it.
size_t first_line_words(const char *columns) {
    std::string out = printed(columns, [] {
        std::string list;
        for (int i = 0; i < 30; ++i)
            list += "abc,";
        printbuf(list.c_str(), 0, ",");
        setenv("COLUMNS", "10", 1);
        printf("|");
        printbuf(list.c_str(), 0, ",");
    });
    size_t second = out.find('|') + 1;
    EXPECT_EQ(out.find('\n') / 4, (out.find('\n', second) - second) / 4);
    return out.find('\n') / 4;
}

// A word too long for a line goes on its own line; so does each word when
// the width is zero or less.
TEST(PrintbufTest, BreaksAfterTheSeparatorAndIndentsWithinTheWidth) {
    const std::tuple<const char *, const char *, int, const char *, const char *> rows[] = {
        {"20", "alpha, beta, gamma, delta", 5, ",", "alpha, beta,\n     gamma, delta"},
        {"20", "ab,abcdefghijklmnopqrstuvwxyz,cd", 5, ",",
         "ab,\n     abcdefghijklmnopqrstuvwxyz,\n     cd"},
        {"-5", "x,,y", 0, ",", "\nx,\n,\ny"}};
    for (auto [columns, text, indent, sep, out] : rows) {
        const char *t = text, *s = sep;  // a lambda cannot capture a structured binding
        int n = indent;
        EXPECT_EQ(printed(columns, [=] { printbuf(t, n, s); }), out) << text;
    }
    EXPECT_EQ(first_line_words("40"), 9u);
    setenv("TERM", "no-such-terminal", 1);  // an unknown terminal gives eighty
    EXPECT_EQ(first_line_words(nullptr), 19u);
}

}  // namespace
}  // namespace vant::test
