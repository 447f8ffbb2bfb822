// The id maps on a system of 60,000 users, against what they replace.
//
// Lookups are measured against a linear fgetpwent scan of the same file (the
// platform's files lookup) and against one bare stat of it, the floor: every
// lookup must stat the source. Rebuilding the table and loading the map file
// are measured against one full fgetpwent pass.
#include <benchmark/benchmark.h>

#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include "ratios.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "frame/map_ids.h"
#include "vant.h"

namespace {

constexpr int kUsers = 60000;
constexpr int kFirstId = 1000;
constexpr size_t kProbes = 4096;

struct System {
    std::string root;
    std::string passwd;  // host path of /etc/passwd
    std::vector<std::string> names;
    std::vector<int> ids;
};
System sys;

std::string user_name(int i) {
    // Names of mixed length and no common order with the ids.
    static const char *const kStems[] = {"ann", "bartholomew", "cy", "dmitri", "eve", "fitz"};
    return kStems[(i * 7) % 6] + std::to_string((i * 7919) % 1000003);
}

void make_system() {
    char dir[] = "/tmp/vant-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) abort();
    sys.root = dir;
    std::filesystem::create_directories(sys.root + "/etc/auth/system");
    sys.passwd = sys.root + "/etc/passwd";
    std::ofstream pw(sys.passwd);
    pw << "root:x:0:0:root:/root:/bin/sh\nauth:x:7:21:auth:/tcb/files/auth:/bin/false\n";
    for (int i = 0; i < kUsers; ++i)
        pw << user_name(i) << ":x:" << kFirstId + i << ":100:User " << i << ":/home/"
           << user_name(i) << ":/bin/sh\n";
    std::ofstream(sys.root + "/etc/group") << "root:x:0:\nauth:x:21:\nusers:x:100:\n";
    std::mt19937 random(42);
    for (size_t k = 0; k < kProbes; ++k) {
        int i = static_cast<int>(random() % kUsers);
        sys.names.push_back(user_name(i));
        sys.ids.push_back(kFirstId + i);
    }
}

void BM_PwNameToId(benchmark::State &state) {
    size_t k = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(pw_nametoid(sys.names[k++ % kProbes].c_str()));
}
BENCHMARK(BM_PwNameToId);

void BM_PwIdToName(benchmark::State &state) {
    size_t k = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(pw_idtoname(sys.ids[k++ % kProbes]));
}
BENCHMARK(BM_PwIdToName);

void BM_BareStat(benchmark::State &state) {
    struct stat st;
    for (auto _ : state)
        benchmark::DoNotOptimize(stat(sys.passwd.c_str(), &st));
}
BENCHMARK(BM_BareStat);

void BM_FgetpwentScanLookup(benchmark::State &state) {
    size_t k = 0;
    for (auto _ : state) {
        const std::string &name = sys.names[k++ % kProbes];
        FILE *f = fopen(sys.passwd.c_str(), "re");
        struct passwd *pw;
        while ((pw = fgetpwent(f)) != nullptr && name != pw->pw_name) {
        }
        benchmark::DoNotOptimize(pw);
        fclose(f);
    }
}
BENCHMARK(BM_FgetpwentScanLookup)->Unit(benchmark::kMicrosecond);

void BM_FgetpwentPass(benchmark::State &state) {
    for (auto _ : state) {
        FILE *f = fopen(sys.passwd.c_str(), "re");
        while (struct passwd *pw = fgetpwent(f))
            benchmark::DoNotOptimize(pw);
        fclose(f);
    }
}
BENCHMARK(BM_FgetpwentPass)->Unit(benchmark::kMillisecond);

void BM_Rebuild(benchmark::State &state) {
    for (auto _ : state)
        if (vant::frame::make_file(vant::frame::user_map()) != 0) state.SkipWithError("rebuild");
}
BENCHMARK(BM_Rebuild)->Unit(benchmark::kMillisecond);

void BM_LoadMapFile(benchmark::State &state) {
    vant::frame::IdMap &m = vant::frame::user_map();
    struct stat source;
    stat(sys.passwd.c_str(), &source);
    // A map built in the second of the source's last change is not loaded.
    while (time(nullptr) <= source.st_ctime)
        usleep(100 * 1000);
    vant::frame::make_file(m);
    for (auto _ : state)
        if (vant::frame::read_file(m, source) != 0) state.SkipWithError("load");
}
BENCHMARK(BM_LoadMapFile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    make_system();
    setenv("VANT_ROOT", sys.root.c_str(), 1);
    benchmark::Initialize(&argc, argv);
    vant::bench::Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    printf("\n%d users\n", kUsers);
    recorder.print_ratio("pw_nametoid / bare stat", "BM_PwNameToId", "BM_BareStat", 3);
    recorder.print_ratio("pw_idtoname / bare stat", "BM_PwIdToName", "BM_BareStat", 3);
    recorder.print_ratio("fgetpwent scan / pw_nametoid", "BM_FgetpwentScanLookup", "BM_PwNameToId",
                         0);
    recorder.print_ratio("rebuild / fgetpwent pass", "BM_Rebuild", "BM_FgetpwentPass", 3);
    recorder.print_ratio("load map file / fgetpwent pass", "BM_LoadMapFile", "BM_FgetpwentPass", 0);
    std::filesystem::remove_all(sys.root);
    benchmark::Shutdown();
    return 0;
}
