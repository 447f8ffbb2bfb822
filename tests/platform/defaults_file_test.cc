// The key-file reader: first line that begins with the key, value without
// its newline, case folded only when asked, nothing once closed.
#include "platform/defaults_file.h"

#include <gtest/gtest.h>

#include "support/sandbox.h"

namespace vant::test {
namespace {

using platform::defcntl;
using platform::defopen;
using platform::defread;

class DefaultsFileTest : public SandboxTest {
  protected:
    void SetUp() override {
        box.write("/etc/default/login",
                  "# settings\nconsole=/dev/tty9\nCONSOLE=/dev/console\nCONSOLE=/dev/tty2\n"
                  "PATH=/bin:/usr/bin\nEMPTY=\nLAST=no newline");
    }
};

TEST_F(DefaultsFileTest, FindsTheFirstLineThatBeginsWithTheKey) {
    EXPECT_EQ(defread("CONSOLE="), nullptr);
    EXPECT_NE(defopen("/etc/default/missing"), 0);
    ASSERT_EQ(defopen("/etc/default/login"), 0);
    const std::pair<const char *, const char *> rows[] = {
        {"CONSOLE=", "/dev/console"}, {"EMPTY=", ""},         {"LAST=", "no newline"},
        {"PATH", "=/bin:/usr/bin"},   {"MISSING=", "(null)"}, {"ATH=", "(null)"}};
    for (auto [key, value] : rows) {
        const char *got = defread(key);
        EXPECT_STREQ(got != nullptr ? got : "(null)", value) << key;
    }
    EXPECT_EQ(defopen(nullptr), 0);
    EXPECT_EQ(defread("CONSOLE="), nullptr);
}

TEST_F(DefaultsFileTest, CaseIsFoldedOnlyWhenTheFlagIsCleared) {
    ASSERT_EQ(defopen("/etc/default/login"), 0);
    int flags = defcntl(0, 0);
    EXPECT_EQ(flags, platform::kDefaultsCaseSensitive);
    EXPECT_EQ(defcntl(1, flags & ~platform::kDefaultsCaseSensitive), flags);
    EXPECT_STREQ(defread("CONSOLE="), "/dev/tty9");
    defopen(nullptr);  // the flags outlive the file
    ASSERT_EQ(defopen("/etc/default/login"), 0);
    EXPECT_STREQ(defread("Console="), "/dev/tty9");
    EXPECT_EQ(defcntl(7, 0), -1);
}

}  // namespace
}  // namespace vant::test
