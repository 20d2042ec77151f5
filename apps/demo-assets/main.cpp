// tarnvik-demo-assets: makes the playable demo game. Copies the committed definition files from the
// source folder and draws every image and animation, and synthesises every sound, into the output
// folder. All art is procedural; the output is the same bytes on every run.
//
// It also draws the program's desktop icon in the same way.
//
//   tarnvik-demo-assets SOURCE_GAME_DIR OUTPUT_GAME_DIR
//   tarnvik-demo-assets --icon SIZE OUTPUT.png
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "art.h"
#include "icon.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--icon") {
    std::string error;
    if (demo::writeIcon(argv[3], std::atoi(argv[2]), error)) return 0;
    std::fprintf(stderr, "tarnvik-demo-assets: %s\n", error.c_str());
    return 1;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: tarnvik-demo-assets SOURCE_GAME_DIR OUTPUT_GAME_DIR\n"
                         "       tarnvik-demo-assets --icon SIZE OUTPUT.png\n");
    return 1;
  }
  const fs::path source = argv[1], output = argv[2];
  std::error_code ec;
  if (!fs::is_directory(source / "Dane", ec)) {
    std::fprintf(stderr, "tarnvik-demo-assets: %s has no Dane folder\n", source.c_str());
    return 1;
  }
  // The definition files first, so a stale generated file of an older layout does not survive.
  fs::remove_all(output, ec);
  fs::create_directories(output, ec);
  fs::copy(source, output, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  if (ec) {
    std::fprintf(stderr, "tarnvik-demo-assets: cannot copy %s to %s: %s\n", source.c_str(), output.c_str(),
                 ec.message().c_str());
    return 1;
  }
  std::string error;
  if (!demo::makeArt(output, error) || !demo::makeSounds(output, error)) {
    std::fprintf(stderr, "tarnvik-demo-assets: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
