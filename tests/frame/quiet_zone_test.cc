#include <signal.h>
#include <unistd.h>

#include "support/child.h"
#include "support/sandbox.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

volatile sig_atomic_t interrupts = 0;
void count_interrupt(int) {
    interrupts = interrupts + 1;
}

bool blocked(int sig) {
    sigset_t now;
    sigprocmask(SIG_BLOCK, nullptr, &now);
    return sigismember(&now, sig);
}

class QuietZoneTest : public SandboxTest {
  protected:
    void SetUp() override { ASSERT_EQ(start(box, {.program = "dbwriter", .recorder = false}), 0); }
};

TEST_F(QuietZoneTest, InterruptHeldUntilOutermostExit) {
    signal(SIGINT, count_interrupt);
    EXPECT_EQ(enter_quiet_zone(), 0);
    EXPECT_EQ(enter_quiet_zone(), 2);
    kill(getpid(), SIGINT);
    EXPECT_EQ(interrupts, 0);
    EXPECT_EQ(exit_quiet_zone(), 0);
    EXPECT_EQ(interrupts, 0);
    EXPECT_TRUE(blocked(SIGINT));
    EXPECT_EQ(exit_quiet_zone(), 0);
    EXPECT_EQ(interrupts, 1);
    EXPECT_FALSE(blocked(SIGINT));
}

TEST_F(QuietZoneTest, TerminationArrivesOnlyAfterTheZone) {
    auto r = run_child([] {
        enter_quiet_zone();
        kill(getpid(), SIGTERM);
        printf("survived the zone\n");
        fflush(stdout);
        exit_quiet_zone();
        printf("not reached\n");
    });
    EXPECT_EQ(r.signal, SIGTERM);
    EXPECT_EQ(r.out, "survived the zone\n");
}

TEST_F(QuietZoneTest, BlocksTheListedSignalsAndKeepsTheOldMask) {
    sigset_t before;
    sigemptyset(&before);
    sigaddset(&before, SIGUSR1);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    enter_quiet_zone();
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGSYS, SIGALRM, SIGTERM, SIGXFSZ, SIGUSR1})
        EXPECT_TRUE(blocked(sig)) << sig;
    EXPECT_FALSE(blocked(SIGUSR2));
    exit_quiet_zone();
    EXPECT_TRUE(blocked(SIGUSR1));
    EXPECT_FALSE(blocked(SIGTERM));
}

TEST_F(QuietZoneTest, UnbalancedExitWarnsAndRepairsDepth) {
    set_auth_msg(VANT_MSG_STORE);
    sigset_t before;
    sigprocmask(SIG_BLOCK, nullptr, &before);
    EXPECT_EQ(exit_quiet_zone(), -1);
    EXPECT_EQ(stored_messages(),
              std::vector<std::string>{"unbalanced enter_quiet_zone()/exit_quiet_zone calls"});
    // Depth is 0 again: the next enter is an outermost one.
    EXPECT_EQ(enter_quiet_zone(), 0);
    EXPECT_EQ(exit_quiet_zone(), 0);
    EXPECT_EQ(exit_quiet_zone(), -1);
}

TEST_F(QuietZoneTest, UnbalancedExitWhilePrintingOnlyWarns) {
    auto r = run_child([] { printf("%d\n", exit_quiet_zone()); });
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "-1\n");
    EXPECT_EQ(r.err, "dbwriter: unbalanced enter_quiet_zone()/exit_quiet_zone calls\n");
}

}  // namespace
}  // namespace vant::test
