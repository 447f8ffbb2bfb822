// Tests of the column formatter: line breaks, indentation and the width.
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <functional>
#include <string>

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
        if (columns != nullptr)
            setenv("COLUMNS", columns, 1);
        else
            unsetenv("COLUMNS");
        int real_out = dup(STDOUT_FILENO);
        FILE *capture = tmpfile();
        dup2(fileno(capture), STDOUT_FILENO);
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

std::string repeated(const std::string &word, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += word;
    return text;
}

// The words "abc," take 4 columns each; the first line holds as many as
// stay below the width with the column count starting at 1.
std::string first_line(const std::string &out) {
    return out.substr(0, out.find('\n'));
}
const std::string kList = repeated("abc,", 30);

TEST(PrintbufTest, ShortListStaysOnTheLabelLine) {
    EXPECT_EQ(printed("80", [] { printbuf("a,b,c", 16, ","); }), "a,b,c");
    EXPECT_EQ(printed("80", [] { printbuf("", 16, ","); }), "");
}

TEST(PrintbufTest, BreaksAfterSeparatorAndIndentsWithoutTheBlanks) {
    EXPECT_EQ(printed("20", [] { printbuf("alpha, beta, gamma, delta", 5, ","); }),
              "alpha, beta,\n     gamma, delta");
    EXPECT_EQ(printed("20", [] { printbuf("one two three four five", 0, " "); }),
              "one two three four \nfive");
}

TEST(PrintbufTest, WordTooLongForALineGoesOnALineOfItsOwn) {
    EXPECT_EQ(printed("20", [] { printbuf("ab,abcdefghijklmnopqrstuvwxyz,cd", 5, ","); }),
              "ab,\n     abcdefghijklmnopqrstuvwxyz,\n     cd");
    EXPECT_EQ(printed("10", [] { printbuf("x,y", 12, ","); }), "\n            x,\n            y");
}

TEST(PrintbufTest, WidthOfZeroOrLessPutsEachWordOnItsOwnLine) {
    EXPECT_EQ(printed("wide", [] { printbuf("x,y", 3, ","); }), "\n   x,\n   y");
    EXPECT_EQ(printed("-5", [] { printbuf("x,,y", 0, ","); }), "\nx,\n,\ny");
}

TEST(PrintbufTest, WidthIsDecidedOnceFromColumns) {
    std::string out = printed("40", [] {
        printbuf(kList.c_str(), 0, ",");
        setenv("COLUMNS", "10", 1);
        printf("|");
        printbuf(kList.c_str(), 0, ",");
    });
    EXPECT_EQ(first_line(out), repeated("abc,", 9));
    EXPECT_EQ(first_line(out.substr(out.find('|') + 1)), repeated("abc,", 9));
}

class PrintbufTerminalTest : public SandboxTest {
  protected:
    // A terminal description of 52 columns, named "vanttest".
    void SetUp() override {
        box.write("/vanttest.src", "vanttest|terminal of the tests,\n\tcols#52, lines#24,\n");
        std::string command = "tic -o '" + box.path("/terminfo") + "' '" +
                              box.path("/vanttest.src") + "' 2>/dev/null";
        if (system(command.c_str()) != 0) GTEST_SKIP() << "no terminfo compiler";
        setenv("TERMINFO", box.path("/terminfo").c_str(), 1);
    }
};

TEST_F(PrintbufTerminalTest, TerminalDescriptionGivesTheWidthUnlessColumnsIsSet) {
    setenv("TERM", "vanttest", 1);
    EXPECT_EQ(first_line(printed(nullptr, [] { printbuf(kList.c_str(), 0, ","); })),
              repeated("abc,", 12));
    EXPECT_EQ(first_line(printed("40", [] { printbuf(kList.c_str(), 0, ","); })),
              repeated("abc,", 9));
}

TEST_F(PrintbufTerminalTest, UnknownTerminalGivesEighty) {
    unsetenv("TERM");
    EXPECT_EQ(first_line(printed(nullptr, [] { printbuf(kList.c_str(), 0, ","); })),
              repeated("abc,", 19));
    setenv("TERM", "no-such-terminal", 1);
    EXPECT_EQ(first_line(printed(nullptr, [] { printbuf(kList.c_str(), 0, ","); })),
              repeated("abc,", 19));
}

}  // namespace
}  // namespace vant::test
