// Preparing and releasing a terminal through the initial-conditions
// program.
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "frame/frame.h"
#include "frame/messages.h"
#include "login/attempt.h"
#include "login/login.h"
#include "platform/child_program.h"
#include "platform/root.h"

namespace vant::login {
namespace {

constexpr const char *kInitcond = "/tcb/lib/initcond";
constexpr int kExecFailureBase = 64;
constexpr mode_t kFreeTerminalMode = 0622;

// The terminal the child is preparing; read only in the child.
const char *terminal_in_child = nullptr;

// Without the program, a system running without the protected files still
// gets its terminal handed to the superuser.
int without_initcond(int error) {
    if (!frame::oktofaketcb()) return kExecFailureBase + error;
    struct stat st;
    if (platform::stat_file(terminal_in_child, &st) == 0) {
        platform::chown_file(terminal_in_child, 0, st.st_gid);
        platform::chmod_file(terminal_in_child, kFreeTerminalMode);
    }
    return 0;
}

char *failure_text(int status) {
    static char text[200];
    if (WIFEXITED(status) && WEXITSTATUS(status) >= kExecFailureBase)
        snprintf(text, sizeof text, frame::text_of(frame::msg_smpm_initcond2), kInitcond,
                 WEXITSTATUS(status) - kExecFailureBase);
    else
        snprintf(text, sizeof text, frame::text_of(frame::msg_smpm_initcond1), kInitcond,
                 static_cast<unsigned>(status));
    return text;
}

}  // namespace

int execute_initcond(const char *kind, const char *tty, const char *extra, char **text) {
    text = text_slot(text);
    const char *argv[] = {"initcond", kind, tty, extra, nullptr};
    terminal_in_child = tty;
    platform::ChildProgram initcond;
    platform::ChildCommand command{kInitcond, argv};
    command.exec_failed = without_initcond;
    if (!initcond.start(command)) {
        *text = const_cast<char *>(frame::text_of(frame::msg_smpm_cantfork));
        return SMP_FAIL;
    }
    int status = 0;
    if (initcond.wait(status) < 0) {
        *text = const_cast<char *>(frame::text_of(frame::msg_smpm_lostchl));
        return SMP_FAIL;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return SMP_DONE;
    *text = failure_text(status);
    return SMP_FAIL;
}

int smp_setup_tty(char *tty, char **text) {
    frame::check_auth_parameters();
    return execute_initcond("getty", tty, nullptr, text);
}

int smp_logout_tty(char *tty, char *extra, char **text) {
    frame::check_auth_parameters();
    return execute_initcond("init", tty, extra, text);
}

}  // namespace vant::login
