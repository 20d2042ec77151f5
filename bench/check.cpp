// tarnvik-tool check over the bundled demo (target: under 100 ms a check), against the peer of the
// player reaching its first frame headless on the same game: the check loads every scene where the
// player loads one, so the ratio says what the whole-game pass costs beyond a start.
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

// Wall milliseconds of one run of the command (output discarded); negative when it failed to run.
double timed(const std::vector<std::string>& command, int expectedStatus) {
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
  waitpid(pid, &status, 0);
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == expectedStatus ? ms : -1;
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
  std::vector<double> check, start;
  for (int i = 0; i < kRuns; ++i) {
    check.push_back(timed({(build / "tarnvik-tool").string(), "check", demo}, 0));
    start.push_back(timed({(build / "tarnvik").string(), "--headless", "--frames", "1", "--settings", settings, "-path", demo}, 0));
  }
  fs::remove(settings);
  if (*std::min_element(check.begin(), check.end()) < 0 || *std::min_element(start.begin(), start.end()) < 0) {
    std::fprintf(stderr, "check: a run failed (is the demo built and clean?)\n");
    return 1;
  }
  double c = median(check), s = median(start);
  std::printf("check of the demo:              %7.1f ms (median of %d; target under 100 ms)\n", c, kRuns);
  std::printf("player start, 1 frame headless: %7.1f ms (peer)\n", s);
  std::printf("ratio check / start:            %7.2f\n", c / s);
  return c < 100.0 ? 0 : 1;
}
