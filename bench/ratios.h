// Collects each benchmark's time per iteration and prints the ratios of
// one benchmark to its baseline, against a target when there is one.
#pragma once

#include <benchmark/benchmark.h>
#include <stdio.h>

#include <map>
#include <string>
#include <vector>

namespace vant::bench {

class Recorder : public benchmark::ConsoleReporter {
  public:
    enum class Clock { Real, Cpu };
    explicit Recorder(Clock clock = Clock::Real) : ConsoleReporter(OO_Tabular), clock_(clock) {}

    void ReportRuns(const std::vector<Run> &runs) override {
        for (const auto &run : runs) {
            double t = clock_ == Clock::Cpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
            ns_[run.benchmark_name()] = t *
                                        benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                        benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double ns(const std::string &name) { return ns_[name]; }

    // A target of 0 means none.
    void print_ratio(const char *what, const std::string &a, const std::string &b,
                     double target = 0) {
        double ratio = ns_[a] / ns_[b];
        printf("%-42s %8.2fx %s\n", what, ratio,
               target > 0 ? (ratio <= target ? "(within target)" : "(OVER TARGET)") : "");
    }

  private:
    Clock clock_;
    std::map<std::string, double> ns_;
};

}  // namespace vant::bench
