// Whole login attempts over 10,000 users (or as many as the first argument
// says) and 1,000 terminals, mirroring on.
//
// A failed attempt is what a login program does with a wrong password:
// smp_check_user, smp_check_pw, smp_audit_fail (while the refusal is the
// attempt's last result), smp_get_messages. A
// successful one runs up to smp_set_identity; that last service changes the
// process's identity, so it is timed apart, as root, each call in a child of
// its own with the cost of the bare child subtracted. The baseline asks the
// same question of the C library: getpwnam, getspnam and one crypt over the
// same files (in a child chrooted into the generated root as root, or with
// the C library's own file readers otherwise).
//
// Where the time goes: one DES encryption, the lookups of the user and the
// terminal, the entry writes, and the flushes to disk inside them.
#include <benchmark/benchmark.h>
#include <crypt.h>
#include <pwd.h>
#include <shadow.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "flush_count.h"
#include "generated_system.h"
#include "in_child.h"
#include "mirror/user_by_name.h"
#include "platform/security_call.h"
#include "ratios.h"
#include "vant.h"

namespace {

using vant::bench::elapsed;
using vant::bench::terminal;
using vant::bench::user;

int user_count = 10000;
constexpr int kTerminals = 1000;
constexpr const char *kPassword = "Login-p1";
constexpr const char *kWrong = "Wrong-p1";
constexpr int kStep = 7919;  // visits users in an order unrelated to the files'
constexpr double kTargetMs = 5.0;

std::string stored_password(int i) {
    char salt[3] = {"./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"[i % 64],
                    "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"[i / 64 % 64],
                    '\0'};
    return crypt(kPassword, salt);  // one segment: the same as the library stores
}

std::string device(int i) {
    return "/dev/" + terminal(i % kTerminals);
}

// smp_check_user, then smp_check_pw with `typed`; the attempt, or null
// when either did not answer as a login with that password should.
smp_attempt *check(int i, const char *typed, int expected) {
    std::string name = user(i), tty = device(i), password = typed;
    smp_attempt *a = nullptr;
    char *text = nullptr;
    int retries = 0, nis = 0, delay = 0;
    int r =
        smp_check_user(SMP_LOGIN, name.data(), tty.data(), 0, &a, &retries, &text, &nis, &delay);
    if (r == SMP_CHECK_PW) r = smp_check_pw(password.data(), a, &text);
    if (r == expected) return a;
    smp_free_attempt(a);
    return nullptr;
}

void messages(smp_attempt *a) {
    char *good = nullptr, *bad = nullptr;
    if (smp_get_messages(a, &good, &bad) == SMP_DONE) {
        free(good);
        free(bad);
    }
}

void failed_attempt(benchmark::State &state) {
    int i = 0;
    long fsyncs = vant::bench::flushes.fsyncs;
    double flushing = vant::bench::flushes.seconds;
    for (auto _ : state) {
        smp_attempt *a = check(i, kWrong, SMP_BAD_PW);
        if (a == nullptr) {
            state.SkipWithError("the wrong password was not refused");
            break;
        }
        smp_audit_fail(a, 0);
        messages(a);
        smp_free_attempt(a);
        i = (i + kStep) % user_count;
    }
    state.counters["fsync/attempt"] =
        benchmark::Counter(static_cast<double>(vant::bench::flushes.fsyncs - fsyncs),
                           benchmark::Counter::kAvgIterations);
    state.counters["flush_ms/attempt"] = benchmark::Counter(
        (vant::bench::flushes.seconds - flushing) * 1e3, benchmark::Counter::kAvgIterations);
}

void successful_attempt(benchmark::State &state) {
    int i = 1;
    for (auto _ : state) {
        smp_attempt *a = check(i, kPassword, SMP_PW_OK);
        if (a == nullptr) {
            state.SkipWithError("the right password was refused");
            break;
        }
        messages(a);
        smp_free_attempt(a);
        i = (i + kStep) % user_count;
    }
}

void des(benchmark::State &state) {
    std::string stored = stored_password(5);
    for (auto _ : state)
        benchmark::DoNotOptimize(bigcrypt(kWrong, stored.c_str()));
}

// What the account checks read: the user in /etc/passwd and the
// Protected Password database, the terminal in Terminal Control.
void lookups(benchmark::State &state) {
    int i = 2;
    for (auto _ : state) {
        std::string name = user(i), tty = terminal(i % kTerminals);
        if (vant::mirror::user_by_name(name.c_str()) == nullptr ||
            getprpwnam(name.c_str()) == nullptr || getprtcnam(tty.c_str()) == nullptr) {
            state.SkipWithError("not found");
            break;
        }
        i = (i + kStep) % user_count;
    }
}

// What a failed attempt writes: both entries, each read and written back.
void writes(benchmark::State &state) {
    int i = 3;
    for (auto _ : state) {
        std::string name = user(i), tty = terminal(i % kTerminals);
        state.PauseTiming();
        struct pr_passwd entry = *getprpwnam(name.c_str());
        struct pr_term term = *getprtcnam(tty.c_str());
        state.ResumeTiming();
        if (putprpwnam(name.c_str(), &entry) != 1 || putprtcnam(tty.c_str(), &term) != 1) {
            state.SkipWithError("not written");
            break;
        }
        i = (i + kStep) % user_count;
    }
}

// The C library's answer to the same question, in ns per attempt.
double c_library_ns(const std::string &root, int rounds) {
    bool chrooted = geteuid() == 0 && chroot(root.c_str()) == 0 && chdir("/") == 0;
    std::string passwd = chrooted ? "/etc/passwd" : root + "/etc/passwd";
    std::string shadow = chrooted ? "/etc/shadow" : root + "/etc/shadow";
    auto start = std::chrono::steady_clock::now();
    for (int k = 0, i = 4; k < rounds; ++k, i = (i + kStep) % user_count) {
        std::string name = user(i);
        const struct passwd *pw = nullptr;
        const struct spwd *sp = nullptr;
        if (chrooted) {
            pw = getpwnam(name.c_str());
            sp = getspnam(name.c_str());
        } else {
            FILE *f = fopen(passwd.c_str(), "re");
            while ((pw = fgetpwent(f)) != nullptr && name != pw->pw_name) {
            }
            fclose(f);
            f = fopen(shadow.c_str(), "re");
            while ((sp = fgetspent(f)) != nullptr && name != sp->sp_namp) {
            }
            fclose(f);
        }
        if (pw == nullptr || sp == nullptr) return -1;
        benchmark::DoNotOptimize(crypt(kWrong, sp->sp_pwdp));
    }
    return elapsed(start) * 1e9 / rounds;
}

// Seconds of `rounds` children, each running `body` on a checked attempt.
template <typename Body>
double children_seconds(int rounds, Body body) {
    double total = 0;
    for (int k = 0, i = 6; k < rounds; ++k, i = (i + kStep) % user_count) {
        smp_attempt *a = check(i, kPassword, SMP_PW_OK);
        if (a == nullptr) return -1;
        auto start = std::chrono::steady_clock::now();
        pid_t pid = fork();
        if (pid == 0) _exit(body(a));
        int status = 0;
        waitpid(pid, &status, 0);
        total += elapsed(start);
        smp_free_attempt(a);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    }
    return total;
}

// ns of one smp_set_identity, the bare child's cost taken off; -1 when
// not root.
double set_identity_ns(int rounds) {
    if (geteuid() != 0) return -1;
    double bare = children_seconds(rounds, [](smp_attempt *) { return 0; });
    double full = children_seconds(rounds, [](smp_attempt *a) {
        char *text = nullptr, **env = nullptr, *shell = nullptr;
        return smp_set_identity(a, &text, &env, &shell);
    });
    return bare < 0 || full < 0 ? -1 : (full - bare) * 1e9 / rounds;
}

void report(vant::bench::Recorder &r, double c_ns, double identity_ns) {
    double failed = r.ns("BM_FailedAttempt"), des_ns = r.ns("BM_DES");
    printf("\n%d users, %d terminals, mirroring on\n", user_count, kTerminals);
    printf("%-46s %8.3f ms\n", "failed attempt", failed / 1e6);
    printf("%-46s %8.3f ms\n", "successful attempt up to smp_set_identity",
           r.ns("BM_SuccessfulAttempt") / 1e6);
    if (identity_ns >= 0)
        printf("%-46s %8.3f ms\n", "smp_set_identity (in a child)", identity_ns / 1e6);
    else
        printf("%-46s %8s\n", "smp_set_identity (in a child)", "not measured (needs root)");
    printf("%-46s %8.3f ms\n", "C library: getpwnam + getspnam + crypt", c_ns / 1e6);
    printf("%-46s %8.2fx\n", "failed attempt / C library", failed / c_ns);
    printf("where a failed attempt's time goes:\n");
    printf("  %-44s %8.3f ms\n", "DES (one encryption)", des_ns / 1e6);
    printf("  %-44s %8.3f ms\n", "lookups (user, entry, terminal)", r.ns("BM_Lookups") / 1e6);
    printf("  %-44s %8.3f ms\n", "writes (both entries, flushes included)",
           r.ns("BM_Writes") / 1e6);
    double excluding = (failed - des_ns) / 1e6;
    printf("%-46s %8.3f ms %s\n", "failed attempt excluding DES", excluding,
           excluding < kTargetMs ? "(within target)" : "(OVER TARGET)");
}

}  // namespace

int main(int argc, char **argv) {
    if (argc > 1 && argv[1][0] != '-') {
        user_count = atoi(argv[1]);
        argv[1] = argv[0];
        --argc;
        ++argv;
    }
    std::string root = vant::bench::make_system(
        {.users = user_count, .terminals = kTerminals, .stored_password = stored_password});
    // The user a login becomes still reaches the stand-in login uid file.
    chmod(root.c_str(), 0755);
    for (const char *file : {"/dev/auditw", "/loginuid"})
        if (FILE *f = fopen((root + file).c_str(), "we")) fclose(f);
    setenv("VANT_ROOT", root.c_str(), 1);
    static std::string loginuid = root + "/loginuid";
    vant::platform::set_loginuid_file_for_tests(loginuid.c_str());
    set_auth_parameters(1, argv);
    double c_ns = vant::bench::in_child(-1.0, [&] { return c_library_ns(root, 300); });
    benchmark::Initialize(&argc, argv);
    struct Entry {
        const char *name;
        void (*run)(benchmark::State &);
    };
    static constexpr Entry kBenchmarks[] = {{"BM_FailedAttempt", failed_attempt},
                                            {"BM_SuccessfulAttempt", successful_attempt},
                                            {"BM_DES", des},
                                            {"BM_Lookups", lookups},
                                            {"BM_Writes", writes}};
    for (const Entry &e : kBenchmarks)
        benchmark::RegisterBenchmark(e.name, e.run)->Unit(benchmark::kMillisecond);
    vant::bench::Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    double identity_ns = set_identity_ns(50);
    report(recorder, c_ns, identity_ns);
    std::filesystem::remove_all(root);
    benchmark::Shutdown();
    return 0;
}
