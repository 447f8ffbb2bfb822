// The process frame: the ids, command name and mask a program starts with,
// the ends of a program not started properly, the security calls on the
// login-uid stand-in, the protected-files switch and the quiet zone.
#include <errno.h>
#include <signal.h>
#include <stdlib.h>
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

class IdentityTest : public SandboxTest {
  protected:
    // A login uid file of the test's own, so nothing of the host changes.
    void use_loginuid(const std::string &content) {
        box.write("/loginuid", content);
        file = box.path("/loginuid");
        platform::set_loginuid_file_for_tests(file.c_str());
    }
    std::string file;  // held by the library until the test ends
};

std::string fatal_message() {
    char *text = nullptr;
    int severity = get_auth_msg(&text);
    return std::to_string(severity) + " " + (text != nullptr ? text : "");
}

TEST_F(IdentityTest, StartRecordsIdsCommandNameAndMask) {
    auto whole = run_child([] {
        char name[] = "passwd";
        char *argv[] = {name, nullptr};
        int rc = set_auth_parameters(1, argv);
        printf("%d %s", rc, command_name);
    });
    EXPECT_EQ(whole.out, "0 passwd");
    umask(022);
    ASSERT_EQ(set_auth_parameters(1, kArgv), 0);
    EXPECT_STREQ(command_name, "prog");
    EXPECT_EQ(starting_ruid(), static_cast<vant_id_t>(getuid()));
    EXPECT_EQ(starting_euid(), static_cast<vant_id_t>(geteuid()));
    EXPECT_EQ(starting_rgid(), static_cast<vant_id_t>(getgid()));
    EXPECT_EQ(starting_egid(), static_cast<vant_id_t>(getegid()));
    EXPECT_EQ(starting_luid(), static_cast<vant_id_t>(getluid()));
    EXPECT_EQ(umask(0), 077u);
    // Only the low sixteen bits of an id count.
    int r = starting_ruid();
    EXPECT_EQ(is_starting_ruid(65536 + r), 1);
    EXPECT_EQ(is_starting_ruid(r + 1), 0);
    EXPECT_EQ(is_starting_egid(65536 * 3 + starting_egid()), 1);
}

TEST_F(IdentityTest, SecondCallChangesNothingEvenAfterFailure) {
    set_auth_msg(VANT_MSG_STORE);
    char *empty[] = {nullptr};
    EXPECT_EQ(set_auth_parameters(0, empty), -1);
    EXPECT_EQ(set_auth_parameters(1, kArgv), 0);
    EXPECT_EQ(command_name, nullptr);
    EXPECT_EQ(starting_ruid(), 0xFFFF);  // ids were never recorded
    EXPECT_EQ(fatal_message(), "2 process was started without mandatory first argument");
}

TEST_F(IdentityTest, ProgramsNotProperlyStartedEndOrRepairTheirStreams) {
    struct Row {
        const char *what;
        std::function<void()> body;
        int exit_status;
        const char *out, *err;
    } rows[] = {
        {"unstarted", [] { starting_ruid(); }, 1, "",
         "set_auth_parameters(S) has not been called, see identity(S)\n"},
        {"no first argument",
         [] {
             char *empty[] = {nullptr};
             set_auth_parameters(0, empty);
         },
         1, "", "process was started without mandatory first argument\n"},
        {"kernel without the facility",
         [] {
             platform::set_loginuid_file_for_tests("/nonexistent/loginuid");
             set_auth_parameters(1, kArgv);
         },
         1, "", "prog: booted kernel does not support security system call\n"},
        {"input and output closed",
         [] {
             int saved = dup(STDERR_FILENO);
             close(STDIN_FILENO);
             close(STDOUT_FILENO);
             int rc = set_auth_parameters(1, kArgv);
             struct stat in, out;
             dprintf(saved, "%d %d %d\n", rc, fstat(STDIN_FILENO, &in) == 0 && S_ISCHR(in.st_mode),
                     fstat(STDOUT_FILENO, &out) == 0);
         },
         0, "", "-1 1 1\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        auto r = run_child(row.body);
        EXPECT_EQ(r.exit_status, row.exit_status);
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.err, row.err);
    }
}

TEST_F(IdentityTest, KernelWithoutFacilityReturnsMinusTwoWhenStoringAndRaisesSigsys) {
    platform::set_loginuid_file_for_tests("/nonexistent/loginuid");
    EXPECT_EQ(run_child([] { getluid(); }).signal, SIGSYS);
    set_auth_msg(VANT_MSG_STORE);
    EXPECT_EQ(set_auth_parameters(1, kArgv), -2);
    EXPECT_EQ(fatal_message(), "2 booted kernel does not support security system call");
    // The probe's handler is gone again: SIGSYS has its default action.
    struct sigaction now {};
    sigaction(SIGSYS, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
    signal(SIGSYS, SIG_IGN);
    errno = 0;
    EXPECT_EQ(setluid(5), -1);
    EXPECT_EQ(errno, ENOSYS);
}

TEST_F(IdentityTest, LoginUidAndPrivilegeVectorsOfTheStandIn) {
    use_loginuid("1000\n");
    EXPECT_EQ(getluid(), 1000);
    EXPECT_EQ(setluid(65536 + 1001), 0);  // only the low 16 bits are passed
    EXPECT_EQ(getluid(), 1001);
    use_loginuid("4294967295");
    EXPECT_EQ(getluid(), -1);
    ASSERT_EQ(start(box, {.program = "su"}), 0);
    EXPECT_EQ(starting_luid(), 0xFFFF);
    priv_t vector = 1, wanted = 0x85;
    EXPECT_EQ(getpriv(VANT_PRIV_KERNEL_AUTHS, &vector), 0);
    EXPECT_EQ(vector, 0u);
    EXPECT_EQ(setpriv(VANT_PRIV_KERNEL_AUTHS, &wanted), 0);
    EXPECT_EQ(getpriv(VANT_PRIV_KERNEL_AUTHS, &vector), 0);
    EXPECT_EQ(vector, 0x85u);
    int zero = 0;
    EXPECT_EQ(chpriv(99, &wanted, 5, &zero), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(stopio("/dev/tty99"), -1);
    EXPECT_EQ(stopio(nullptr), -1);
}

// Only the first key line saying exactly OFF switches the files off, and the
// answer is decided once per process.
TEST_F(SandboxTest, ProtectedFilesSwitch) {
    const char *const off[] = {"# site security\nTCBFILES=OFF\n", "OTHER=1\nTCBFILES=OFF"};
    const char *const on[] = {"TCBFILES=ON\nTCBFILES=OFF\n",
                              "TCBFILES=OFF \n",
                              "TCBFILES=off\n",
                              "TCBFILES=\n",
                              "TCBFILES\n",
                              "TCBFILES=OFFX\n",
                              "tcbfiles=OFF\n",
                              " TCBFILES=OFF\n",
                              "TCBFILESX=OFF\n",
                              "# TCBFILES=OFF\n",
                              "",
                              nullptr};
    for (bool want : {true, false})
        for (const char *content : want ? std::vector(off, off + 2) : std::vector(on, on + 12)) {
            SCOPED_TRACE(content != nullptr ? content : "(no file)");
            box.remove("/etc/default/security");
            if (content != nullptr) box.write("/etc/default/security", content);
            auto r = run_child([this, want] {
                printf("%d", oktofaketcb());
                box.write("/etc/default/security", want ? "TCBFILES=ON\n" : "TCBFILES=OFF\n");
                printf("%d", oktofaketcb());
            });
            EXPECT_EQ(r.out, want ? "11" : "00");
        }
}

volatile sig_atomic_t interrupts = 0;

bool blocked(int sig) {
    sigset_t now;
    sigprocmask(SIG_BLOCK, nullptr, &now);
    return sigismember(&now, sig);
}

class QuietZoneTest : public SandboxTest {
  protected:
    void SetUp() override { ASSERT_EQ(start(box, {.program = "dbwriter", .recorder = false}), 0); }
};

TEST_F(QuietZoneTest, SignalsAreHeldUntilTheOutermostExit) {
    signal(SIGINT, [](int) { interrupts = interrupts + 1; });
    sigset_t before;
    sigemptyset(&before);
    sigaddset(&before, SIGUSR1);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    EXPECT_EQ(enter_quiet_zone(), 0);
    EXPECT_EQ(enter_quiet_zone(), 2);
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGSYS, SIGALRM, SIGTERM, SIGXFSZ, SIGUSR1})
        EXPECT_TRUE(blocked(sig)) << sig;
    EXPECT_FALSE(blocked(SIGUSR2));
    kill(getpid(), SIGINT);
    EXPECT_EQ(exit_quiet_zone(), 0);
    EXPECT_EQ(interrupts, 0);
    EXPECT_TRUE(blocked(SIGINT));
    EXPECT_EQ(exit_quiet_zone(), 0);
    EXPECT_EQ(interrupts, 1);
    EXPECT_FALSE(blocked(SIGINT));
    EXPECT_TRUE(blocked(SIGUSR1));
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

TEST_F(QuietZoneTest, UnbalancedExitWarnsAndRepairsDepth) {
    auto r = run_child([] { printf("%d\n", exit_quiet_zone()); });
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "-1\n");
    EXPECT_EQ(r.err, "dbwriter: unbalanced enter_quiet_zone()/exit_quiet_zone calls\n");
    set_auth_msg(VANT_MSG_STORE);
    EXPECT_EQ(exit_quiet_zone(), -1);
    EXPECT_EQ(stored_messages(),
              std::vector<std::string>{"unbalanced enter_quiet_zone()/exit_quiet_zone calls"});
    EXPECT_EQ(enter_quiet_zone(), 0);  // depth 0 again: an outermost enter
    EXPECT_EQ(exit_quiet_zone(), 0);
    EXPECT_EQ(exit_quiet_zone(), -1);
}

}  // namespace
}  // namespace vant::test
