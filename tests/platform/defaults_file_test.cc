#include "platform/defaults_file.h"

#include <gtest/gtest.h>

#include "support/sandbox.h"

namespace vant::test {
namespace {

using platform::defcntl;
using platform::defopen;
using platform::defread;

class DefaultsFileTest : public SandboxTest {};

// The first line that begins with the key, without its newline; case folded
// only when asked; nothing once closed.
TEST_F(DefaultsFileTest, FindsTheFirstLineThatBeginsWithTheKey) {
    box.write("/etc/default/login",
              "console=/dev/tty9\nCONSOLE=/dev/tty1\nCONSOLE=/dev/tty2\n"
              "PATH=/bin\nEMPTY=\nLAST=1");
    EXPECT_NE(defopen("/etc/default/missing"), 0);
    ASSERT_EQ(defopen("/etc/default/login"), 0);
    const char *rows[][2] = {{"CONSOLE=", "/dev/tty1"},
                             {"EMPTY=", ""},
                             {"LAST=", "1"},
                             {"PATH", "=/bin"},
                             {"ATH=", "-"}};
    for (auto [key, value] : rows) {
        const char *got = defread(key);
        EXPECT_STREQ(got != nullptr ? got : "-", value) << key;
    }
    int flags = defcntl(0, 0);
    EXPECT_EQ(defcntl(1, flags & ~platform::kDefaultsCaseSensitive), flags);
    EXPECT_EQ(defopen(nullptr), 0);
    EXPECT_EQ(defread("CONSOLE="), nullptr);
    ASSERT_EQ(defopen("/etc/default/login"), 0);  // the flags outlive the file
    EXPECT_STREQ(defread("Console="), "/dev/tty9");
}

}  // namespace
}  // namespace vant::test
