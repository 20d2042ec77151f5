// Tool commands over archives and the precompiled form: pack, unpack, list and precompile.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "application/application.h"
#include "commands.h"
#include "files/bigfile.h"
#include "files/path.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "objects/register.h"
#include "platform/video.h"
#include "settings/commandline.h"
#include "settings/language.h"

namespace fs = std::filesystem;

namespace tarnvik::tool {

namespace {

// One progress line on the terminal, rewritten in place; nothing when stderr is not a terminal (or
// the command writes into a test's stream).
class ProgressLine {
 public:
  ProgressLine(CommandIo& io, const char* verb) : verb_(verb) {
    active_ = &io.err == &std::cerr && ::isatty(STDERR_FILENO);
  }
  ~ProgressLine() {
    if (active_ && shown_) std::fputs("\n", stderr);
  }
  void update(int filesDone, int files, int64_t bytesDone, int64_t bytes) {
    if (!active_) return;
    shown_ = true;
    std::fprintf(stderr, "\r%s: %d of %d files, %.1f of %.1f MB   ", verb_, filesDone, files, bytesDone / 1048576.0,
                 bytes / 1048576.0);
    std::fflush(stderr);
  }

 private:
  const char* verb_;
  bool active_ = false;
  bool shown_ = false;
};

bool openArchive(CBigFile& archive, const std::string& name, CommandIo& io) {
  if (archive.open(CXString(name))) return true;
  io.err << "tarnvik-tool: " << archive.getError() << "\n";
  return false;
}

// Whether `path` lies inside `root` once links are followed (both exist or have existing parents).
bool inside(const fs::path& root, const fs::path& path) {
  std::error_code ec;
  std::string r = fs::weakly_canonical(root, ec).string();
  std::string p = fs::weakly_canonical(path, ec).string();
  return !ec && p.size() > r.size() && p.compare(0, r.size(), r) == 0 && p[r.size()] == '/';
}

bool writeEntry(const CBigFile& archive, int32_t index, const fs::path& target, std::string& why) {
  CFile out;
  if (!out.openRewrite(target.string())) {
    why = "cannot create " + target.string();
    return false;
  }
  const CBigFile::FileEntry& entry = archive.files()[static_cast<size_t>(index)];
  std::vector<uint8_t> buffer(1 << 20);
  int64_t done = 0;
  while (done < entry.size) {
    size_t n = static_cast<size_t>(std::min<int64_t>(entry.size - done, static_cast<int64_t>(buffer.size())));
    if (!archive.readAt(entry.offset + done, buffer.data(), n) ||
        out.Write(buffer.data(), static_cast<int>(n)) != static_cast<int>(n)) {
      out.abandon();
      why = "cannot copy " + target.string();
      return false;
    }
    done += static_cast<int64_t>(n);
  }
  if (out.Close() != 0) {
    why = "cannot write " + target.string();
    return false;
  }
  return true;
}

}  // namespace

int runPack(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 2) return usage(io, "pack", "GAMEDIR OUT.pik");
  // The packer's own statistics, "TOC saved." and progress line, as the engine's -pack prints them.
  std::string error;
  if (!CBigFile::create(CXString(args[0]), CXString(args[1]), &io.out, nullptr, &error)) return failure(io, error);
  io.out << "\n";
  return kExitOk;
}

int runUnpack(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 2) return usage(io, "unpack", "ARCHIVE OUTDIR");
  CBigFile archive;
  if (!openArchive(archive, args[0], io)) return kExitFailure;
  fs::path root(args[1]);
  std::error_code ec;
  fs::create_directories(root, ec);
  if (!fs::is_directory(root, ec)) return failure(io, "cannot create the folder " + args[1]);

  int refused = 0, failed = 0, written = 0;
  auto refuse = [&](const std::string& path, const char* why) {
    io.err << "tarnvik-tool: refusing entry \"" << path << "\": " << why << "\n";
    ++refused;
  };
  // Folders first (empty ones included), then files in table order.
  for (size_t i = 1; i < archive.folders().size(); ++i) {
    const CBigFile::FolderEntry& folder = archive.folders()[i];
    if (!folder.safe) continue;
    fs::path path;
    for (int32_t f = static_cast<int32_t>(i); f > 0; f = archive.folders()[static_cast<size_t>(f)].parent)
      path = fs::path(archive.folders()[static_cast<size_t>(f)].name) / path;
    fs::path target = root / path;
    if (!inside(root, target)) {
      refuse(path.string(), "it would lie outside the output folder");
      continue;
    }
    fs::create_directories(target, ec);
  }
  ProgressLine progress(io, "unpacking");
  int64_t bytes = 0, bytesDone = 0;
  for (const auto& f : archive.files()) bytes += f.size;
  int files = static_cast<int>(archive.files().size());
  for (int32_t i = 0; i < files; ++i) {
    std::string shown = archive.pathOf(i);
    bytesDone += archive.files()[static_cast<size_t>(i)].size;
    progress.update(i + 1, files, bytesDone, bytes);
    if (!archive.isSafe(i)) {
      refuse(shown, "its name could reach outside the output folder");
      continue;
    }
    fs::path target = root;
    for (char& c : shown)
      if (c == '\\') c = '/';
    target /= fs::path(shown);
    if (!inside(root, target) || !inside(root, target.parent_path() / "x")) {
      refuse(shown, "it would lie outside the output folder");
      continue;
    }
    fs::create_directories(target.parent_path(), ec);
    std::string why;
    if (!writeEntry(archive, i, target, why)) {
      io.err << "tarnvik-tool: " << why << "\n";
      ++failed;
      continue;
    }
    ++written;
  }
  io.out << args[1] << ": " << written << " files written";
  if (refused) io.out << ", " << refused << " entries refused";
  if (failed) io.out << ", " << failed << " failed";
  io.out << "\n";
  return failed || refused ? kExitFailure : kExitOk;
}

int runList(const std::vector<std::string>& args, CommandIo& io) {
  std::string file;
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--json") json = true;
    else if (file.empty()) file = a;
    else return usage(io, "list", "ARCHIVE [--json]");
  }
  if (file.empty()) return usage(io, "list", "ARCHIVE [--json]");
  CBigFile archive;
  if (!openArchive(archive, file, io)) return kExitFailure;
  int files = static_cast<int>(archive.files().size());
  if (json) {
    nlohmann::json list = nlohmann::json::array();
    for (int32_t i = 0; i < files; ++i) {
      const auto& f = archive.files()[static_cast<size_t>(i)];
      nlohmann::json entry = {{"path", archive.pathOf(i)}, {"size", f.size}, {"offset", f.offset}};
      if (!f.safe) entry["refused"] = true;
      list.push_back(std::move(entry));
    }
    io.out << list.dump(2) << "\n";
    return kExitOk;
  }
  io.out << std::left << std::setw(48) << "path" << std::right << std::setw(12) << "size" << std::setw(12) << "offset"
         << "\n";
  for (int32_t i = 0; i < files; ++i) {
    const auto& f = archive.files()[static_cast<size_t>(i)];
    std::string path = archive.pathOf(i) + (f.safe ? "" : "  (refused)");
    io.out << std::left << std::setw(48) << path << std::right << std::setw(12) << f.size << std::setw(12) << f.offset
           << "\n";
  }
  return kExitOk;
}

int runPrecompile(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 1) return usage(io, "precompile", "GAMEDIR");
  std::error_code ec;
  if (!fs::is_directory(args[0], ec)) return failure(io, "game folder " + args[0] + " does not exist");
  std::string folder = fs::weakly_canonical(args[0], ec).string();
  // The game folder is its own local installation, so every scene file is found in it.
  CPath::setStartDirectory(CXString(folder));
  CCommandLine6 commandLine(CXString("-2bin"));
  commandLine.setPath(CXString(folder));
  CLanguageOSVer language;
  HeadlessVideo video;
  video.open(800, 600, true);
  CWindow window(&commandLine, &language, &video, 800, 600);
  registerEngineTypes();
  // Scenes left to their definition files are worth a line.
  if (log::level() < log::Level::warn) log::setLevel(log::Level::warn);
  CApplication application(&window, CXString(), CXString(), &commandLine);
  application.preinitializeApplication();
  if (!application.getStartError().empty()) return failure(io, application.getStartError());
  io.out << folder << "/Dane/application.bin written\n";
  return kExitOk;
}

}  // namespace tarnvik::tool
