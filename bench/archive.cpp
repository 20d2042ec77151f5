// Archives against loose files: opening a 200 MB archive of 20000 files (its table only), then reading
// 1000 random files from it, against reading the same files from the unpacked folder.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "files/bigfile.h"
#include "files/path.h"
#include "times_reporter.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 20000;
constexpr int kFolders = 100;
constexpr size_t kFileSize = 10000;  // 20000 files of 10000 bytes: 200 MB
constexpr int kReads = 1000;

struct Data {
  fs::path root;
  fs::path tree;
  fs::path archive;
  std::vector<std::string> archivePaths;  // letter case changed, as game data names files
  std::vector<std::string> loosePaths;
};

std::string relative(int i) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "Dane/F%03d/file%05d.dat", i % kFolders, i);
  return buf;
}

// Builds the tree and the archive once (kept between runs in the temporary folder).
const Data& data() {
  static Data d = [] {
    Data out;
    out.root = fs::temp_directory_path() / "tarnvik-bench-archive";
    out.tree = out.root / "tree";
    out.archive = out.root / "tree.pik";
    if (!fs::exists(out.root / "complete")) {
      fs::remove_all(out.root);
      std::vector<char> bytes(kFileSize);
      for (int i = 0; i < kFiles; ++i) {
        fs::path p = out.tree / relative(i);
        fs::create_directories(p.parent_path());
        for (size_t k = 0; k < kFileSize; ++k) bytes[k] = static_cast<char>((i * 31 + k) & 0xff);
        std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      }
      std::string error;
      if (!CBigFile::create(CXString(out.tree.string()), CXString(out.archive.string()), nullptr, nullptr, &error)) {
        std::fprintf(stderr, "packing failed: %s\n", error.c_str());
        std::exit(1);
      }
      std::ofstream(out.root / "complete") << "ok";
    }
    std::mt19937 random(14);
    for (int r = 0; r < kReads; ++r) {
      int i = static_cast<int>(random() % kFiles);
      std::string rel = relative(i);
      std::string upper = rel;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      for (char& c : upper)
        if (c == '/') c = '\\';
      out.archivePaths.push_back(upper);
      out.loosePaths.push_back((out.tree / rel).string());
    }
    return out;
  }();
  return d;
}

void BM_OpenArchive(benchmark::State& state) {
  const Data& d = data();
  for (auto _ : state) {
    CBigFile archive;
    if (!archive.open(CXString(d.archive.string()))) state.SkipWithError("archive does not open");
    benchmark::DoNotOptimize(archive.files().size());
  }
  state.SetLabel(std::to_string(kFiles) + " entries");
}
BENCHMARK(BM_OpenArchive)->Unit(benchmark::kMillisecond);

void BM_ReadFromArchive(benchmark::State& state) {
  const Data& d = data();
  CBigFile archive;
  if (!archive.open(CXString(d.archive.string()))) state.SkipWithError("archive does not open");
  std::vector<uint8_t> out;
  for (auto _ : state) {
    for (const std::string& path : d.archivePaths) {
      if (!archive.readFile(CXString(path), out)) state.SkipWithError("missing file");
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * kReads * static_cast<int64_t>(kFileSize));
}
BENCHMARK(BM_ReadFromArchive)->Unit(benchmark::kMillisecond);

void BM_ReadLooseFiles(benchmark::State& state) {
  const Data& d = data();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    for (const std::string& path : d.loosePaths) {
      FILE* f = std::fopen(path.c_str(), "rb");
      if (!f) {
        state.SkipWithError("missing file");
        break;
      }
      std::fseek(f, 0, SEEK_END);
      long size = std::ftell(f);
      std::fseek(f, 0, SEEK_SET);
      out.resize(static_cast<size_t>(size));
      if (std::fread(out.data(), 1, out.size(), f) != out.size()) state.SkipWithError("short read");
      std::fclose(f);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * kReads * static_cast<int64_t>(kFileSize));
}
BENCHMARK(BM_ReadLooseFiles)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  data();
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto open = reporter.times.find("BM_OpenArchive");
  auto packed = reporter.times.find("BM_ReadFromArchive");
  auto loose = reporter.times.find("BM_ReadLooseFiles");
  std::printf("\n");
  if (open != reporter.times.end())
    std::printf("open (table of %d entries): %.2f ms (target under 50 ms)\n", kFiles, open->second);
  if (packed != reporter.times.end() && loose != reporter.times.end() && loose->second > 0)
    std::printf("%d random reads: archive %.2f ms   loose files %.2f ms   ratio %.2f (target at most 1)\n", kReads,
                packed->second, loose->second, packed->second / loose->second);
  benchmark::Shutdown();
  return 0;
}
