// The process frame: the ids, command name and mask a program starts with,
// the ends of a program not started properly and the quiet zone.
#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "platform/security_call.h"
#include "support/child.h"
#include "support/sandbox.h"
#include "support/startup.h"
#include "vant.h"

namespace vant::test {
namespace {

char kProgram[] = "/usr/sbin/prog";
char *kArgv[] = {kProgram, nullptr};

std::string fatal_message() {
    char *text = nullptr;
    int severity = get_auth_msg(&text);
    return std::to_string(severity) + " " + (text != nullptr ? text : "");
}

TEST_F(SandboxTest, StartRecordsIdsCommandNameAndMaskOnce) {
    umask(022);
    ASSERT_EQ(set_auth_parameters(1, kArgv), 0);
    EXPECT_STREQ(command_name, "prog");
    EXPECT_EQ(starting_egid(), static_cast<vant_id_t>(getegid()));
    EXPECT_EQ(umask(0), 077u);
    // Only the low sixteen bits of an id count.
    int r = starting_ruid();
    EXPECT_EQ(is_starting_ruid(65536 + r), 1);
    EXPECT_EQ(is_starting_ruid(r + 1), 0);
    char *empty[] = {nullptr};
    EXPECT_EQ(set_auth_parameters(0, empty), 0);
    EXPECT_STREQ(command_name, "prog");
}

TEST_F(SandboxTest, ProgramsNotProperlyStartedEndOrRepairTheirStreams) {
    struct Row {
        std::function<void()> body;
        int exit_status;
        const char *err;
    } rows[] = {
        {[] { starting_ruid(); }, 1,
         "set_auth_parameters(S) has not been called, see identity(S)\n"},
        {[] {
             char *empty[] = {nullptr};
             set_auth_parameters(0, empty);
         },
         1, "process was started without mandatory first argument\n"},
        {[] {
             platform::set_loginuid_file_for_tests("/nonexistent/loginuid");
             set_auth_parameters(1, kArgv);
         },
         1, "prog: booted kernel does not support security system call\n"},
        {[] {
             int saved = dup(STDERR_FILENO);
             close(STDIN_FILENO);
             close(STDOUT_FILENO);
             int rc = set_auth_parameters(1, kArgv);
             struct stat in, out;
             dprintf(saved, "%d %d %d\n", rc, fstat(STDIN_FILENO, &in) == 0 && S_ISCHR(in.st_mode),
                     fstat(STDOUT_FILENO, &out) == 0);
         },
         0, "-1 1 1\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.err);
        auto r = run_child(row.body);
        EXPECT_EQ(r.exit_status, row.exit_status);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, row.err);
    }
    set_auth_msg(VANT_MSG_STORE);
    char *empty[] = {nullptr};
    EXPECT_EQ(set_auth_parameters(0, empty), -1);
    EXPECT_EQ(set_auth_parameters(1, kArgv), 0);
    EXPECT_EQ(command_name, nullptr);
    EXPECT_EQ(fatal_message(), "2 process was started without mandatory first argument");
}

TEST_F(SandboxTest, KernelWithoutFacilityReturnsMinusTwoWhenStoringAndRaisesSigsys) {
    platform::set_loginuid_file_for_tests("/nonexistent/loginuid");
    EXPECT_EQ(run_child([] { getluid(); }).signal, SIGSYS);
    set_auth_msg(VANT_MSG_STORE);
    EXPECT_EQ(set_auth_parameters(1, kArgv), -2);
    EXPECT_EQ(fatal_message(), "2 booted kernel does not support security system call");
    EXPECT_EQ(signal(SIGSYS, SIG_IGN), SIG_DFL);  // the probe's handler is gone again
    errno = 0;
    EXPECT_EQ(setluid(5), -1);
    EXPECT_EQ(errno, ENOSYS);
}

volatile sig_atomic_t interrupts = 0;

bool blocked(int sig) {
    sigset_t now;
    sigprocmask(SIG_BLOCK, nullptr, &now);
    return sigismember(&now, sig);
}

TEST_F(SandboxTest, QuietZoneHoldsSignalsUntilTheOutermostExit) {
    ASSERT_EQ(start(box, {.program = "dbwriter", .recorder = false}), 0);
    signal(SIGINT, [](int) { interrupts = interrupts + 1; });
    EXPECT_EQ(enter_quiet_zone(), 0);
    EXPECT_EQ(enter_quiet_zone(), 2);
    for (int sig : {SIGHUP, SIGQUIT, SIGSYS, SIGALRM, SIGTERM, SIGXFSZ})
        EXPECT_TRUE(blocked(sig)) << sig;
    kill(getpid(), SIGINT);
    EXPECT_EQ(exit_quiet_zone(), 0);
    EXPECT_EQ(interrupts, 0);
    EXPECT_EQ(exit_quiet_zone(), 0);
    EXPECT_EQ(interrupts, 1);
    EXPECT_FALSE(blocked(SIGINT));
    auto r = run_child([] { printf("%d\n", exit_quiet_zone()); });
    EXPECT_EQ(r.out, "-1\n");
    EXPECT_EQ(r.err, "dbwriter: unbalanced enter_quiet_zone()/exit_quiet_zone calls\n");
    EXPECT_EQ(exit_quiet_zone(), -1);
    EXPECT_EQ(enter_quiet_zone(), 0);  // depth 0 again: an outermost enter
}

}  // namespace
}  // namespace vant::test
