// A console reporter that also keeps the real and the CPU time per iteration of every run, for the
// ratios the benchmark programs print at the end (on a shared machine the CPU time is the steadier).
// With repetitions, the fastest repetition of each benchmark is kept.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class TimesReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> times, cpuTimes;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration) {
        keepFastest(times, run.benchmark_name(), run.GetAdjustedRealTime());
        keepFastest(cpuTimes, run.benchmark_name(), run.GetAdjustedCPUTime());
      }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  static void keepFastest(std::map<std::string, double>& kept, const std::string& name, double time) {
    auto [at, fresh] = kept.emplace(name, time);
    if (!fresh && time < at->second) at->second = time;
  }
};
