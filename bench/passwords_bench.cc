// The password tools, against what they build on.
//
// bigcryptmax is measured against libxcrypt's crypt verifying the same key
// against the same hash: the same number of DES computations, so the floor.
// randomword is measured in words per second, without restriction and with
// it, the spelling checker being a stand-in that reports every word as
// misspelt (so each word costs one run of the checker).
#include <benchmark/benchmark.h>

#include <crypt.h>
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

std::string root;

void make_system() {
    char dir[] = "/tmp/vant-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) abort();
    root = dir;
    std::filesystem::create_directories(root + "/etc/auth");
    std::filesystem::create_directories(root + "/usr/bin");
    std::ofstream(root + "/etc/passwd") << "root:x:0:0:root:/root:/bin/sh\n"
                                           "alice:x:1000:100:Alice:/home/alice:/bin/sh\n"
                                           "bob:x:1001:100:Bob:/home/bob:/bin/sh\n";
    std::ofstream(root + "/etc/group") << "root:x:0:\nusers:x:100:alice,bob\n";
    std::ofstream(root + "/usr/bin/spell") << "cat\n";
}

std::string key_of(int length) {
    std::string key;
    for (int i = 0; i < length; ++i)
        key += static_cast<char>('!' + (i * 37) % 90);
    return key;
}

void BM_Bigcryptmax(benchmark::State &state) {
    std::string key = key_of(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(bigcryptmax(key.c_str(), "ab"));
}
BENCHMARK(BM_Bigcryptmax)->Arg(8)->Arg(40)->Arg(80)->Unit(benchmark::kMicrosecond);

void BM_CryptOfHash(benchmark::State &state) {
    std::string key = key_of(static_cast<int>(state.range(0)));
    std::string hash = bigcryptmax(key.c_str(), "ab");
    for (auto _ : state)
        benchmark::DoNotOptimize(crypt(key.c_str(), hash.c_str()));
}
BENCHMARK(BM_CryptOfHash)->Arg(8)->Arg(40)->Arg(80)->Unit(benchmark::kMicrosecond);

void BM_Randomword(benchmark::State &state) {
    char word[13], hyphenated[24];
    for (auto _ : state)
        benchmark::DoNotOptimize(randomword(word, hyphenated, 8, 12, 0, 181));
}
BENCHMARK(BM_Randomword)->Unit(benchmark::kMicrosecond);

void BM_RandomwordRestricted(benchmark::State &state) {
    char word[13], hyphenated[24];
    for (auto _ : state)
        benchmark::DoNotOptimize(randomword(word, hyphenated, 8, 12, 1, 181));
}
BENCHMARK(BM_RandomwordRestricted)->Unit(benchmark::kMicrosecond);

void print_rate(vant::bench::Recorder &r, const char *what, const std::string &name) {
    printf("%-42s %9.0f words/s\n", what, 1e9 / r.ns(name));
}

}  // namespace

int main(int argc, char **argv) {
    make_system();
    setenv("VANT_ROOT", root.c_str(), 1);
    char program[] = "passwords_bench";
    char *args[] = {program, nullptr};
    set_auth_parameters(1, args);
    benchmark::Initialize(&argc, argv);
    vant::bench::Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    printf("\n");
    for (const char *length : {"8", "40", "80"}) {
        std::string what = std::string("bigcryptmax / crypt of the hash, key ") + length;
        recorder.print_ratio(what.c_str(), std::string("BM_Bigcryptmax/") + length,
                             std::string("BM_CryptOfHash/") + length, 1.1);
    }
    print_rate(recorder, "randomword, 8 to 12 letters", "BM_Randomword");
    print_rate(recorder, "randomword, restricted, stand-in checker", "BM_RandomwordRestricted");
    std::filesystem::remove_all(root);
    benchmark::Shutdown();
    return 0;
}
