// The authcap reader on a Terminal Control database of 10,000 entries,
// against a plain line-by-line read of the same file (fgets of every line):
// the floor, since the reader must at least read every line.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include "ratios.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "vant.h"

namespace {

constexpr int kEntries = 10000;

struct System {
    std::string root;
    std::string ttys;  // host path
    std::string last_name;
};
System sys;

// An entry as the Terminal Control writer lays it out: a continuation after
// every fourth field.
std::string tty_entry(int i) {
    char name[16];
    snprintf(name, sizeof name, "tty%03d", i);
    static const char *const kUsers[] = {"alice", "bob", "root", "daemon"};
    std::string e =
        std::string(name) + ":t_devname=" + name + ":t_uid=" + kUsers[i % 4] + ":t_logtime#" +
        std::to_string(700000000 + i * 37) + ":\\\n\t:t_unsucuid=" + kUsers[(i + 1) % 4] +
        ":t_unsuctime#" + std::to_string(700000000 + i * 13) + ":t_prevuid=" + kUsers[(i + 2) % 4] +
        ":t_prevtime#" + std::to_string(690000000 + i) + ":\\\n\t:t_failures#" +
        std::to_string(i % 5) + ":t_maxtries#5:t_logdelay#2:t_login_timeout#60:\\\n\t:chkent:\n";
    return e;
}

void make_system() {
    char dir[] = "/tmp/vant-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) abort();
    sys.root = dir;
    std::filesystem::create_directories(sys.root + "/etc/auth/system");
    sys.ttys = sys.root + "/etc/auth/system/ttys";
    std::ofstream out(sys.ttys);
    out << "# Terminal Control database\n";
    for (int i = 1; i <= kEntries; ++i)
        out << tty_entry(i);
    char name[16];
    snprintf(name, sizeof name, "tty%03d", kEntries);
    sys.last_name = name;
    std::ofstream(sys.root + "/etc/passwd") << "root:x:0:0::/:/bin/sh\n";
    std::ofstream(sys.root + "/etc/group") << "root:x:0:\n";
}

FILE *open_ttys() {
    FILE *fp = nullptr;
    open_auth_file(nullptr, VANT_OBJ_TTYS, &fp);
    if (fp == nullptr) abort();
    return fp;
}

void BM_AgetentPass(benchmark::State &state) {
    FILE *fp = open_ttys();
    for (auto _ : state) {
        long pos = 0;
        int count = 0;
        while (agettty(&pos, fp, nullptr) == 1)
            ++count;
        if (count != kEntries) state.SkipWithError("short pass");
    }
    fclose(fp);
}
BENCHMARK(BM_AgetentPass)->Unit(benchmark::kMillisecond);

void BM_AgetentFindLast(benchmark::State &state) {
    FILE *fp = open_ttys();
    for (auto _ : state) {
        long pos = 0;
        if (agettty(&pos, fp, sys.last_name.c_str()) != 1) state.SkipWithError("not found");
    }
    fclose(fp);
}
BENCHMARK(BM_AgetentFindLast)->Unit(benchmark::kMillisecond);

void BM_PlainRead(benchmark::State &state) {
    FILE *fp = open_ttys();
    char line[1024];
    for (auto _ : state) {
        rewind(fp);
        long lines = 0;
        while (fgets(line, sizeof line, fp) != nullptr)
            ++lines;
        benchmark::DoNotOptimize(lines);
    }
    fclose(fp);
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    make_system();
    setenv("VANT_ROOT", sys.root.c_str(), 1);
    static char program[] = "authcap_bench";
    static char *args[] = {program, nullptr};
    set_auth_parameters(1, args);
    benchmark::Initialize(&argc, argv);
    vant::bench::Recorder recorder(vant::bench::Recorder::Clock::Cpu);
    benchmark::RunSpecifiedBenchmarks(&recorder);
    printf("\n%d entries\n", kEntries);
    recorder.print_ratio("agetent pass / plain read", "BM_AgetentPass", "BM_PlainRead", 2);
    recorder.print_ratio("agetent find last / plain read", "BM_AgetentFindLast", "BM_PlainRead", 2);
    std::filesystem::remove_all(sys.root);
    benchmark::Shutdown();
    return 0;
}
