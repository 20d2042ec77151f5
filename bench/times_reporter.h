// A console reporter that also keeps the real and the CPU time per iteration of every run, for the
// ratios the benchmark programs print at the end (on a shared machine the CPU time is the steadier).
// With repetitions, the fastest repetition of each benchmark is kept. Also the flags a benchmark
// program runs with unless its command line gives them.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The command line with default flags added: each "--name=value" whose name the command line does
// not give. Hand argc() and argv() to benchmark::Initialize.
class BenchmarkArgs {
 public:
  BenchmarkArgs(int argc, char** argv, std::initializer_list<const char*> defaults) : args_(argv, argv + argc) {
    for (const char* flag : defaults) {
      const std::string_view wanted(flag);
      const std::string_view name = wanted.substr(0, wanted.find('='));
      const bool given = std::any_of(args_.begin(), args_.end(), [&](const char* a) {
        const std::string_view arg(a);
        return arg.substr(0, arg.find('=')) == name;
      });
      if (!given) args_.push_back(const_cast<char*>(flag));
    }
    argc_ = static_cast<int>(args_.size());
    args_.push_back(nullptr);
  }
  int* argc() { return &argc_; }
  char** argv() { return args_.data(); }

 private:
  std::vector<char*> args_;
  int argc_ = 0;
};

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
