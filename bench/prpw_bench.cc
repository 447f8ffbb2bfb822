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
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "flush_count.h"
#include "generated_system.h"
#include "in_child.h"
#include "ratios.h"
#include "vant.h"

namespace {

using vant::bench::user;

constexpr int kUsers = 10000;
constexpr int kPasses = 5;

std::string password(int i) {
    return "pw" + std::to_string(1000000000 + i) + "x";  // 13 characters
}

std::string make_system(int users) {
    return vant::bench::make_system({.users = users, .stored_password = password});
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
        long f0 = vant::bench::flushes.fsyncs, s0 = vant::bench::flushes.syncs;
        state.ResumeTiming();
        if (pr == nullptr || putprpwnam(user(i).c_str(), &copy) != 1) {
            state.SkipWithError("not written");
            break;
        }
        fsyncs += vant::bench::flushes.fsyncs - f0;
        syncs += vant::bench::flushes.syncs - s0;
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
    return vant::bench::in_child(-1.0, [&] {
        std::string root = make_system(users);
        setenv("VANT_ROOT", root.c_str(), 1);
        set_auth_parameters(1, argv);
        double s = enumeration_seconds(users);
        std::filesystem::remove_all(root);
        return s;
    });
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
