// Tests of the protected-files switch.
#include <stdlib.h>

#include "support/child.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

constexpr const char *kSecurity = "/etc/default/security";

class TcbSwitchTest : public SandboxTest {};

TEST_F(TcbSwitchTest, ExactlyOffSwitchesTheFilesOff) {
    box.write(kSecurity, "# site security\nTCBFILES=OFF\n");
    EXPECT_EQ(oktofaketcb(), 1);
}

TEST_F(TcbSwitchTest, OffOnTheLastLineWithoutNewline) {
    box.write(kSecurity, "OTHER=1\nTCBFILES=OFF");
    EXPECT_EQ(oktofaketcb(), 1);
}

TEST_F(TcbSwitchTest, TrailingBlankKeepsTheFiles) {
    box.write(kSecurity, "TCBFILES=OFF \n");
    EXPECT_EQ(oktofaketcb(), 0);
}

TEST_F(TcbSwitchTest, LowerCaseValueKeepsTheFiles) {
    box.write(kSecurity, "TCBFILES=off\n");
    EXPECT_EQ(oktofaketcb(), 0);
}

TEST_F(TcbSwitchTest, OtherValuesKeepTheFiles) {
    for (const char *content :
         {"TCBFILES=ON\n", "TCBFILES=\n", "TCBFILES\n", "TCBFILES=OFFX\n", "tcbfiles=OFF\n",
          " TCBFILES=OFF\n", "TCBFILESX=OFF\n", "# TCBFILES=OFF\n", "OTHER=1\n", ""}) {
        SCOPED_TRACE(content);
        // Each is decided in a process of its own.
        box.write(kSecurity, content);
        auto r = run_child([] { exit(oktofaketcb() == 0 ? 0 : 1); });
        EXPECT_EQ(r.exit_status, 0);
    }
}

TEST_F(TcbSwitchTest, FirstKeyLineDecides) {
    box.write(kSecurity, "TCBFILES=ON\nTCBFILES=OFF\n");
    EXPECT_EQ(oktofaketcb(), 0);
}

TEST_F(TcbSwitchTest, MissingFileKeepsTheFiles) {
    EXPECT_FALSE(box.exists(kSecurity));
    EXPECT_EQ(oktofaketcb(), 0);
}

TEST_F(TcbSwitchTest, AnswerIsDecidedOncePerProcess) {
    box.write(kSecurity, "TCBFILES=OFF\n");
    EXPECT_EQ(oktofaketcb(), 1);
    box.write(kSecurity, "TCBFILES=ON\n");
    EXPECT_EQ(oktofaketcb(), 1);
    box.remove(kSecurity);
    EXPECT_EQ(oktofaketcb(), 1);
}

TEST_F(TcbSwitchTest, NoAnswerIsTakenBackWhenTheFileAppears) {
    EXPECT_EQ(oktofaketcb(), 0);
    box.write(kSecurity, "TCBFILES=OFF\n");
    EXPECT_EQ(oktofaketcb(), 0);
}

}  // namespace
}  // namespace vant::test
