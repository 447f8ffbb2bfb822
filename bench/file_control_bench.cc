// File Control lookups in a database of 2,000 entries, 100 of them patterns.
//
// getprfinam is measured for names near the start, the middle and the end of
// the file, and for a name that only a pattern near the end matches. The
// baseline is the least any lookup in this text file must do: one fgets pass
// over the same open file, comparing each line's start with the name, up to
// the same entry (to the end for the pattern-only name).
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "ratios.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "vant.h"

namespace {

constexpr int kEntries = 2000;
constexpr int kPatternEvery = 20;  // 100 patterns

struct System {
    std::string root;
    std::string files;  // host path of the database
    std::string start, middle, end, pattern_only;
};
System sys;

std::string name_of(int i) {
    if (i % kPatternEvery == kPatternEvery - 1)
        return "/opt/group" + std::to_string(i / kPatternEvery) + "/*";
    return "/usr/share/package" + std::to_string(i) + "/data";
}

void make_system() {
    char dir[] = "/tmp/vant-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) abort();
    sys.root = dir;
    std::filesystem::create_directories(sys.root + "/etc/auth/system");
    std::ofstream(sys.root + "/etc/passwd") << "root:x:0:0::/root:/bin/sh\nbin:x:2:2::/:/bin/sh\n";
    std::ofstream(sys.root + "/etc/group") << "root:x:0:\nbin:x:2:\nauth:x:21:\n";
    sys.files = sys.root + "/etc/auth/system/files";
    std::ofstream db(sys.files);
    db << "# File Control database\n";
    for (int i = 0; i < kEntries; ++i)
        db << name_of(i) << ":f_owner=root:f_group=bin:f_mode#0644:\\\n\t:f_type=r:chkent:\n";
    sys.start = name_of(4);
    sys.middle = name_of(kEntries / 2);
    sys.end = name_of(kEntries - 2);
    sys.pattern_only = "/opt/group" + std::to_string(kEntries / kPatternEvery - 1) + "/x";
}

void lookup(benchmark::State &state, const std::string &name) {
    for (auto _ : state)
        if (getprfinam(name.c_str()) == nullptr) state.SkipWithError("not found");
}

// Lines are compared as a lookup would compare an entry's name.
void fgets_scan(benchmark::State &state, const std::string &name) {
    FILE *fp = fopen(sys.files.c_str(), "re");
    std::string prefix = name + ":";
    char line[1024];
    for (auto _ : state) {
        rewind(fp);
        bool found = false;
        while (!found && fgets(line, sizeof line, fp) != nullptr)
            found = strncmp(line, prefix.c_str(), prefix.size()) == 0;
        benchmark::DoNotOptimize(found);
    }
    fclose(fp);
}

void BM_GetprfinamStart(benchmark::State &s) {
    lookup(s, sys.start);
}
void BM_GetprfinamMiddle(benchmark::State &s) {
    lookup(s, sys.middle);
}
void BM_GetprfinamEnd(benchmark::State &s) {
    lookup(s, sys.end);
}
void BM_GetprfinamPatternOnly(benchmark::State &s) {
    lookup(s, sys.pattern_only);
}
void BM_FgetsScanStart(benchmark::State &s) {
    fgets_scan(s, sys.start);
}
void BM_FgetsScanMiddle(benchmark::State &s) {
    fgets_scan(s, sys.middle);
}
void BM_FgetsScanEnd(benchmark::State &s) {
    fgets_scan(s, sys.end);
}
void BM_FgetsScanWhole(benchmark::State &s) {
    fgets_scan(s, sys.pattern_only);
}
BENCHMARK(BM_GetprfinamStart);
BENCHMARK(BM_FgetsScanStart);
BENCHMARK(BM_GetprfinamMiddle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FgetsScanMiddle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetprfinamEnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FgetsScanEnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetprfinamPatternOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FgetsScanWhole)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char **argv) {
    make_system();
    setenv("VANT_ROOT", sys.root.c_str(), 1);
    set_auth_parameters(1, argv);
    benchmark::Initialize(&argc, argv);
    vant::bench::Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    printf("\n%d entries, %d patterns\n", kEntries, kEntries / kPatternEvery);
    recorder.print_ratio("getprfinam / fgets scan, near the start", "BM_GetprfinamStart",
                         "BM_FgetsScanStart");
    recorder.print_ratio("getprfinam / fgets scan, middle", "BM_GetprfinamMiddle",
                         "BM_FgetsScanMiddle");
    recorder.print_ratio("getprfinam / fgets scan, near the end", "BM_GetprfinamEnd",
                         "BM_FgetsScanEnd");
    recorder.print_ratio("getprfinam / fgets scan, pattern only", "BM_GetprfinamPatternOnly",
                         "BM_FgetsScanWhole");
    std::filesystem::remove_all(sys.root);
    benchmark::Shutdown();
    return 0;
}
