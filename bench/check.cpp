// tarnvik-tool check over the bundled demo (target: under 100 ms a check), against the peer of the
// player reaching its first frame headless on the same game: the check loads every scene where the
// player loads one, so the ratio says what the whole-game pass costs beyond a start. The figures are
// the processor time of the child process (user + system), which a busy machine does not inflate;
// the wall time is printed beside it.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
constexpr int kRuns = 15;

fs::path buildFolder() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path();
}

struct Times {
  double cpu = -1, wall = -1;
};

// Processor and wall milliseconds of one run of the command (output discarded); negative when it
// failed to run.
Times timed(const std::vector<std::string>& command, int expectedStatus) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    std::vector<char*> argv;
    std::vector<std::string> copy = command;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Times t;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus) return t;
  t.wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  auto ms = [](const timeval& v) { return static_cast<double>(v.tv_sec) * 1000.0 + static_cast<double>(v.tv_usec) / 1000.0; };
  t.cpu = ms(usage.ru_utime) + ms(usage.ru_stime);
  return t;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  fs::path build = buildFolder();
  std::string demo = (build / "games" / "demo").string();
  std::string settings = (fs::temp_directory_path() / "tarnvik-bench-check.ini").string();
  std::vector<double> checkCpu, checkWall, startCpu, startWall;
  for (int i = 0; i < kRuns; ++i) {
    Times c = timed({(build / "tarnvik-tool").string(), "check", demo}, 0);
    Times s = timed({(build / "tarnvik").string(), "--headless", "--frames", "1", "--settings", settings, "-path", demo}, 0);
    if (c.cpu < 0 || s.cpu < 0) {
      std::fprintf(stderr, "check: a run failed (is the demo built and clean?)\n");
      return 1;
    }
    checkCpu.push_back(c.cpu);
    checkWall.push_back(c.wall);
    startCpu.push_back(s.cpu);
    startWall.push_back(s.wall);
  }
  fs::remove(settings);
  double c = median(checkCpu), s = median(startCpu);
  std::printf("check of the demo:              %7.1f ms processor, %7.1f ms wall (median of %d; target under 100 ms)\n", c,
              median(checkWall), kRuns);
  std::printf("player start, 1 frame headless: %7.1f ms processor, %7.1f ms wall (peer)\n", s, median(startWall));
  std::printf("ratio check / start:            %7.2f\n", c / s);
  return c < 100.0 ? 0 : 1;
}
