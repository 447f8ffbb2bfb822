#include "authdb/syscall_filter.h"

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <ucontext.h>

#include <vector>

namespace vant::test {
namespace {

#if defined(__x86_64__)
constexpr unsigned kArch = AUDIT_ARCH_X86_64;

void (*trap_reporter)(long, long) = nullptr;

void on_sigsys(int, siginfo_t *info, void *context) {
    auto *uc = static_cast<ucontext_t *>(context);
    if (trap_reporter != nullptr) trap_reporter(info->si_syscall, uc->uc_mcontext.gregs[REG_RDI]);
    uc->uc_mcontext.gregs[REG_RAX] = 0;
}

bool install(std::initializer_list<long> calls, unsigned action) {
    std::vector<sock_filter> code = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
    };
    for (long call : calls) {
        code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(call), 0, 1));
        code.push_back(BPF_STMT(BPF_RET | BPF_K, action));
    }
    code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    sock_fprog program{static_cast<unsigned short>(code.size()), code.data()};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}
#else
bool install(std::initializer_list<long>, unsigned) {
    return false;
}
#endif

}  // namespace

bool fail_syscalls(std::initializer_list<long> calls, int error) {
    return install(calls, SECCOMP_RET_ERRNO | (static_cast<unsigned>(error) & SECCOMP_RET_DATA));
}

bool forbid_syscalls(std::initializer_list<long> calls) {
    return install(calls, SECCOMP_RET_KILL_PROCESS);
}

bool trap_syscalls(std::initializer_list<long> calls, void (*on_trap)(long call, long arg0)) {
#if defined(__x86_64__)
    trap_reporter = on_trap;
    struct sigaction sa {};
    sa.sa_sigaction = on_sigsys;
    sa.sa_flags = SA_SIGINFO;
    sigemptyset(&sa.sa_mask);
    if (sigaction(SIGSYS, &sa, nullptr) != 0) return false;
    return install(calls, SECCOMP_RET_TRAP);
#else
    (void)calls;
    (void)on_trap;
    return false;
#endif
}

}  // namespace vant::test
