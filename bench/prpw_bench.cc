// Protected Password lookups and updates with mirroring on, over 10,000
// users (and 20,000 for the enumeration's growth).
//
// getprpwnam is measured per lookup, and one getprpwent pass over every
// user against an fgets pass over /etc/passwd and /etc/shadow, the least a
// pass must read. A pass over twice the users must take about twice the
// time: each lookup of a pass continues through the open files from where
// the last stopped. putprpwnam is measured per update.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "ratios.h"
#include "vant.h"

// Every flush to disk the library asks for passes through here, so that an
// update's cost can be told in flushes; a whole-machine sync would show too.
namespace {
long fsync_calls = 0;
long sync_calls = 0;
}  // namespace

extern "C" int fsync(int fd) {
    ++fsync_calls;
    return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" void sync(void) {
    ++sync_calls;
    syscall(SYS_sync);
}

namespace {

constexpr int kUsers = 10000;
constexpr int kPasses = 5;

std::string user(int i) {
    char name[16];
    snprintf(name, sizeof name, "u%05d", i);
    return name;
}

std::string password(int i) {
    return "pw" + std::to_string(1000000000 + i) + "x";  // 13 characters
}

std::string make_system(int users) {
    char dir[] = "/tmp/vant-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) abort();
    std::string root = dir;
    namespace fs = std::filesystem;
    for (const char *d :
         {"/etc/auth/system", "/etc/auth/subsystems", "/tcb/files/auth/r", "/tcb/files/auth/u"})
        fs::create_directories(root + d);
    std::ofstream(root + "/etc/group") << "root:x:0:\nusers:x:100:\nauth:x:21:\n";
    std::ofstream(root + "/etc/auth/system/authorize") << "audit:audittrail\nauth:su\n";
    std::ofstream(root + "/etc/auth/system/files")
        << "/tcb/files/auth/?/*:f_mode#0660:f_type=r:chkent:\n"
           "/etc/passwd:f_mode#0644:f_type=r:chkent:\n"
           "/etc/shadow:f_mode#0640:f_type=r:chkent:\n"
           "/etc/auth/subsystems/*:f_mode#0640:f_type=r:chkent:\n";
    std::ofstream(root + "/etc/auth/system/default")
        << "default:d_name=default:u_integrity@:u_maxlen#8:chkent:\n";
    std::ofstream passwd(root + "/etc/passwd");
    std::ofstream shadow(root + "/etc/shadow");
    passwd << "root:x:0:0::/root:/bin/sh\n";
    shadow << "root:rootpassword0:19000::::::\n";
    std::ofstream(root + "/tcb/files/auth/r/root")
        << "root:u_name=root:u_id#0:u_pwd=rootpassword0:chkent:\n";
    for (int i = 0; i < users; ++i) {
        std::string n = user(i);
        passwd << n << ":x:" << 1000 + i << ":100::/home/" << n << ":/bin/sh\n";
        shadow << n << ":" << password(i) << ":19000::::::\n";
        std::ofstream(root + "/tcb/files/auth/u/" + n)
            << n << ":u_name=" << n << ":u_id#" << 1000 + i << ":u_pwd=" << password(i)
            << ":chkent:\n";
    }
    return root;
}

void lookups(benchmark::State &state) {
    int i = 0;
    for (auto _ : state) {
        if (getprpwnam(user(i).c_str()) == nullptr) state.SkipWithError("not found");
        i = (i + 7919) % kUsers;
    }
}

// Each update writes back a record as a lookup gave it (the lookup is not
// timed) with a new last change time, so the conventional files are
// rewritten too.
void updates(benchmark::State &state) {
    int i = 0;
    long fsyncs = 0, syncs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        struct pr_passwd *pr = getprpwnam(user(i).c_str());
        struct pr_passwd copy {};
        if (pr != nullptr) copy = *pr;
        copy.ufld.u_succhg = 86400 * (1000 + static_cast<int>(state.iterations()));
        PR_SET(copy.uflg, PR_U_SUCCHG);
        long f0 = fsync_calls, s0 = sync_calls;
        state.ResumeTiming();
        if (pr == nullptr || putprpwnam(user(i).c_str(), &copy) != 1) {
            state.SkipWithError("not written");
            break;
        }
        fsyncs += fsync_calls - f0;
        syncs += sync_calls - s0;
        i = (i + 7919) % kUsers;
    }
    state.counters["fsync/update"] =
        benchmark::Counter(static_cast<double>(fsyncs), benchmark::Counter::kAvgIterations);
    state.counters["sync/update"] =
        benchmark::Counter(static_cast<double>(syncs), benchmark::Counter::kAvgIterations);
}

// The least a pass must read: both files, line by line.
void fgets_pass(benchmark::State &state, const std::string &root) {
    char line[1024];
    for (auto _ : state) {
        size_t n = 0;
        for (const char *f : {"/etc/passwd", "/etc/shadow"}) {
            FILE *fp = fopen((root + f).c_str(), "re");
            while (fgets(line, sizeof line, fp) != nullptr)
                ++n;
            fclose(fp);
        }
        benchmark::DoNotOptimize(n);
    }
}

// Seconds of the fastest whole pass, or -1 when a pass missed a user.
double enumeration_seconds(int users) {
    double best = 1e9;
    for (int pass = 0; pass < kPasses; ++pass) {
        auto start = std::chrono::steady_clock::now();
        int seen = 0;
        setprpwent();
        while (getprpwent() != nullptr)
            ++seen;
        endprpwent();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (seen != users + 1) return -1;
        best = std::min(best, took.count());
    }
    return best;
}

// Measured in a process of its own: the root is fixed for a process.
double enumeration_in_child(int users, char **argv) {
    int fds[2];
    if (pipe(fds) != 0) abort();
    pid_t pid = fork();
    if (pid == 0) {
        std::string root = make_system(users);
        setenv("VANT_ROOT", root.c_str(), 1);
        set_auth_parameters(1, argv);
        double s = enumeration_seconds(users);
        std::filesystem::remove_all(root);
        if (write(fds[1], &s, sizeof s) != sizeof s) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    double s = -1;
    if (read(fds[0], &s, sizeof s) != sizeof s) s = -1;
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return s;
}

}  // namespace

int main(int argc, char **argv) {
    double pass10 = enumeration_in_child(kUsers, argv);
    double pass20 = enumeration_in_child(2 * kUsers, argv);
    std::string root = make_system(kUsers);
    setenv("VANT_ROOT", root.c_str(), 1);
    set_auth_parameters(1, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("BM_Getprpwnam", lookups)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_Putprpwnam", updates)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_FgetsPass", [&](benchmark::State &s) {
        fgets_pass(s, root);
    })->Unit(benchmark::kMicrosecond);
    vant::bench::Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    printf("\n%d users, mirroring on\n", kUsers);
    printf("%-42s %8.1f ms\n", "getprpwent pass, 10,000 users", pass10 * 1e3);
    printf("%-42s %8.1f ms\n", "getprpwent pass, 20,000 users", pass20 * 1e3);
    printf("%-42s %8.2fx\n", "getprpwent pass / fgets pass, 10,000",
           pass10 * 1e9 / recorder.ns("BM_FgetsPass"));
    double growth = pass10 > 0 && pass20 > 0 ? pass20 / pass10 : -1;
    printf("%-42s %8.2fx %s\n", "time(20,000) / time(10,000)", growth,
           growth > 0 && growth <= 2.2 ? "(within target)" : "(OVER TARGET)");
    std::filesystem::remove_all(root);
    benchmark::Shutdown();
    return 0;
}
