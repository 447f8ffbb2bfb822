// Tests of the protected-files switch.
#include <stdio.h>
#include <stdlib.h>

#include "support/child.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

constexpr const char *kSecurity = "/etc/default/security";

class TcbSwitchTest : public SandboxTest {};

TEST_F(TcbSwitchTest, OnlyTheFirstKeyLineSayingExactlyOffSwitchesTheFilesOff) {
    struct Row {
        const char *content;  // null: no file
        int off;
    } rows[] = {{"# site security\nTCBFILES=OFF\n", 1},
                {"OTHER=1\nTCBFILES=OFF", 1},
                {"TCBFILES=ON\nTCBFILES=OFF\n", 0},
                {"TCBFILES=OFF \n", 0},
                {"TCBFILES=off\n", 0},
                {"TCBFILES=ON\n", 0},
                {"TCBFILES=\n", 0},
                {"TCBFILES\n", 0},
                {"TCBFILES=OFFX\n", 0},
                {"tcbfiles=OFF\n", 0},
                {" TCBFILES=OFF\n", 0},
                {"TCBFILESX=OFF\n", 0},
                {"# TCBFILES=OFF\n", 0},
                {"", 0},
                {nullptr, 0}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.content != nullptr ? row.content : "(no file)");
        box.remove(kSecurity);
        if (row.content != nullptr) box.write(kSecurity, row.content);
        // Each is decided in a process of its own.
        EXPECT_EQ(run_child([] { exit(oktofaketcb()); }).exit_status, row.off);
    }
}

TEST_F(TcbSwitchTest, TheAnswerIsDecidedOncePerProcess) {
    for (bool off : {true, false}) {
        auto r = run_child([this, off] {
            if (off) box.write(kSecurity, "TCBFILES=OFF\n");
            printf("%d", oktofaketcb());
            box.write(kSecurity, off ? "TCBFILES=ON\n" : "TCBFILES=OFF\n");
            printf("%d", oktofaketcb());
            box.remove(kSecurity);
            printf("%d", oktofaketcb());
        });
        EXPECT_EQ(r.out, off ? "111" : "000");
    }
}

}  // namespace
}  // namespace vant::test
