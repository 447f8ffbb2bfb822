// Start-up: the ids, the command name and the mask a program starts with,
// and the ends of a program that was not started properly.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "platform/security_call.h"
#include "support/child.h"
#include "support/sandbox.h"
#include "vant.h"

namespace vant::test {
namespace {

char kProgram[] = "/usr/sbin/prog";
char *kArgv[] = {kProgram, nullptr};

class IdentityTest : public SandboxTest {};

TEST_F(IdentityTest, StartRecordsIdsCommandNameAndMask) {
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

TEST_F(IdentityTest, NameWithoutSlashIsTakenWhole) {
    char name[] = "passwd";
    char *argv[] = {name, nullptr};
    ASSERT_EQ(set_auth_parameters(1, argv), 0);
    EXPECT_STREQ(command_name, "passwd");
}

TEST_F(IdentityTest, SecondCallChangesNothingEvenAfterFailure) {
    set_auth_msg(VANT_MSG_STORE);
    char *empty[] = {nullptr};
    EXPECT_EQ(set_auth_parameters(0, empty), -1);
    EXPECT_EQ(set_auth_parameters(1, kArgv), 0);
    EXPECT_EQ(command_name, nullptr);
    EXPECT_EQ(starting_ruid(), 0xFFFF);  // ids were never recorded
    char *text = nullptr;
    EXPECT_EQ(get_auth_msg(&text), VANT_SEV_FATAL);
    EXPECT_STREQ(text, "process was started without mandatory first argument");
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
        {"standard input closed",
         [] {
             close(STDIN_FILENO);
             int rc = set_auth_parameters(1, kArgv);
             struct stat st;
             printf("%d %d\n", rc, fstat(STDIN_FILENO, &st) == 0 && S_ISCHR(st.st_mode));
         },
         0, "-1 1\n", ""},
        {"input and output closed",
         [] {
             int saved = dup(STDERR_FILENO);
             close(STDIN_FILENO);
             close(STDOUT_FILENO);
             int rc = set_auth_parameters(1, kArgv);
             struct stat st;
             dprintf(saved, "%d %d %d\n", rc, fstat(STDIN_FILENO, &st) == 0,
                     fstat(STDOUT_FILENO, &st) == 0);
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

TEST_F(IdentityTest, KernelWithoutFacilityReturnsMinusTwoWhenStoring) {
    platform::set_loginuid_file_for_tests("/nonexistent/loginuid");
    set_auth_msg(VANT_MSG_STORE);
    EXPECT_EQ(set_auth_parameters(1, kArgv), -2);
    char *text = nullptr;
    EXPECT_EQ(get_auth_msg(&text), VANT_SEV_FATAL);
    EXPECT_STREQ(text, "booted kernel does not support security system call");
    // The probe's handler is gone again: SIGSYS has its default action.
    struct sigaction now {};
    sigaction(SIGSYS, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace vant::test
