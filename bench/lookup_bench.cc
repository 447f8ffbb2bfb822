// getprpwnam of random users at 1,000, 10,000 and 100,000 users, with
// mirroring on, against getpwnam plus getspnam of the C library on the same
// files (its nss_files, in a child chrooted into the generated root when run
// as root; otherwise the same scan made with fgetpwent and fgetspent); and
// putprpwnam at 100,000 users, which rewrites both files.
//
// Each lookup is made as a login program makes its one lookup: the files
// are opened for it and closed after it.
#include <fcntl.h>
#include <pwd.h>
#include <shadow.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "generated_system.h"
#include "in_child.h"
#include "vant.h"

namespace {

using vant::bench::user;

constexpr int kSizes[] = {1000, 10000, 100000};
constexpr int kLookups = 2000;
constexpr int kRounds = 5;
constexpr int kUpdates = 10;

std::string password(int i) {
    return "pw" + std::to_string(1000000000 + i) + "x";  // 13 characters
}

std::vector<std::string> random_users(int users) {
    std::mt19937 pick(users);
    std::vector<std::string> names;
    for (int i = 0; i < kLookups; ++i)
        names.push_back(user(static_cast<int>(pick() % static_cast<unsigned>(users))));
    return names;
}

// Microseconds per call of the fastest of a few rounds, or -1 when a call
// failed.
double per_call_us(const std::vector<std::string> &names,
                   const std::function<bool(const char *)> &call) {
    double best = 1e12;
    for (int round = 0; round < kRounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        for (const std::string &n : names)
            if (!call(n.c_str())) return -1;
        std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count() / static_cast<double>(names.size()));
    }
    return best;
}

bool vant_lookup(const char *name) {
    bool found = getprpwnam(name) != nullptr;
    endprpwent();
    return found;
}

bool libc_lookup(const char *name) {
    return getpwnam(name) != nullptr && getspnam(name) != nullptr;
}

// What nss_files does for each call, on the generated files.
bool scan_lookup(const std::string &root, const char *name) {
    bool found = false;
    if (FILE *f = fopen((root + "/etc/passwd").c_str(), "re")) {
        while (struct passwd *pw = fgetpwent(f))
            if (strcmp(pw->pw_name, name) == 0) {
                found = true;
                break;
            }
        fclose(f);
    }
    if (!found) return false;
    found = false;
    if (FILE *f = fopen((root + "/etc/shadow").c_str(), "re")) {
        while (struct spwd *sp = fgetspent(f))
            if (strcmp(sp->sp_namp, name) == 0) {
                found = true;
                break;
            }
        fclose(f);
    }
    return found;
}

// A tenth of the names: the C library's scan is slow at the larger sizes.
double libc_us(const std::string &root, std::vector<std::string> names) {
    names.resize(names.size() / 10);
    if (geteuid() != 0 || chroot(root.c_str()) != 0 || chdir("/") != 0)
        return per_call_us(names, [&](const char *n) { return scan_lookup(root, n); });
    return per_call_us(names, libc_lookup);
}

// Each update writes back a record as a lookup gave it with a new last
// change time.
double update_us(int users) {
    double total = 0;
    for (int i = 0; i < kUpdates; ++i) {
        std::string n = user(i * 7919 % users);
        struct pr_passwd *pr = getprpwnam(n.c_str());
        if (pr == nullptr) return -1;
        struct pr_passwd copy = *pr;
        copy.ufld.u_succhg = 86400 * (1000 + i);
        PR_SET(copy.uflg, PR_U_SUCCHG);
        auto start = std::chrono::steady_clock::now();
        if (putprpwnam(n.c_str(), &copy) != 1) return -1;
        std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
        total += took.count();
    }
    return total / kUpdates;
}

struct Figures {
    double vant_us = -1;
    double libc_us = -1;
    double update_us = -1;
};

// Measured in a process of its own: the root is fixed for a process, and the
// C library's side chroots.
Figures measure_in_child(int users, char **argv) {
    return vant::bench::in_child(Figures{}, [&] {
        std::string root = vant::bench::make_system({.users = users, .stored_password = password});
        setenv("VANT_ROOT", root.c_str(), 1);
        set_auth_parameters(1, argv);
        std::vector<std::string> names = random_users(users);
        Figures f;
        f.vant_us = per_call_us(names, vant_lookup);
        if (users == kSizes[2]) f.update_us = update_us(users);
        f.libc_us = vant::bench::in_child(-1.0, [&] { return libc_us(root, names); });
        std::filesystem::remove_all(root);
        return f;
    });
}

const char *verdict(bool met) {
    return met ? "(within target)" : "(OVER TARGET)";
}

}  // namespace

int main(int, char **argv) {
    Figures f[3];
    for (int i = 0; i < 3; ++i)
        f[i] = measure_in_child(kSizes[i], argv);
    printf("%s, random users, mirroring on, files opened and closed per lookup\n",
           geteuid() == 0 ? "C library: getpwnam + getspnam chrooted"
                          : "C library side: fgetpwent + fgetspent scan");
    printf("%-10s %14s %14s %10s\n", "users", "getprpwnam us", "C library us", "ratio");
    for (int i = 0; i < 3; ++i)
        printf("%-10d %14.1f %14.1f %9.2fx\n", kSizes[i], f[i].vant_us, f[i].libc_us,
               f[i].vant_us / f[i].libc_us);
    double growth = f[2].vant_us / f[0].vant_us;
    printf("%-42s %8.1f us %s\n", "getprpwnam at 100,000 users", f[2].vant_us,
           verdict(f[2].vant_us > 0 && f[2].vant_us <= 100));
    printf("%-42s %8.2fx %s\n", "time(100,000) / time(1,000)", growth,
           verdict(f[0].vant_us > 0 && growth <= 1.5));
    printf("%-42s %8.1f us (%.0fx a lookup; rewrites both files)\n", "putprpwnam at 100,000 users",
           f[2].update_us, f[2].update_us / f[2].vant_us);
    return 0;
}
