// Fuzz target: the static check over a game whose application file (first byte 0), scene file
// (first byte 1) or archive (first byte 2) is the input. It must report or refuse, never crash.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "application/game_check.h"
#include "files/file.h"
#include "graphics/window.h"
#include "objects/register.h"
#include "platform/video.h"
#include "settings/commandline.h"
#include "settings/language.h"

namespace {

namespace fs = std::filesystem;

const char* const kApplication = "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\nOBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n";
const char* const kScene = "OBJECT=X\nX:TYPE=INTEGER\nOBJECT=S\nS:ONINIT={X^SET(1);}\n";

void put(const fs::path& file, const char* data, size_t size) {
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(data, static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path game = fs::temp_directory_path() / ("tarnvik-fuzz-check-" + std::to_string(getpid()));
  static CCommandLine6 commandLine{CXString()};
  static CLanguageOSVer language;
  static tarnvik::HeadlessVideo video;
  static CWindow* window = [] {
    video.open(800, 600, true);
    tarnvik::registerEngineTypes();
    return new CWindow(&commandLine, &language, &video, 800, 600);
  }();
  if (size < 1) return 0;
  fs::remove_all(game);
  fs::create_directories(game / "Dane" / "S");
  const char* body = reinterpret_cast<const char*>(data + 1);
  size_t length = size - 1;
  std::string archive;
  switch (data[0] % 3) {
    case 0:
      put(game / "Dane" / "application.def", body, length);
      put(game / "Dane" / "S" / "S.cnv", kScene, std::char_traits<char>::length(kScene));
      break;
    case 1:
      put(game / "Dane" / "application.def", kApplication, std::char_traits<char>::length(kApplication));
      put(game / "Dane" / "S" / "S.cnv", body, length);
      break;
    default:
      archive = (game.string() + ".pik");
      put(archive, body, length);
      break;
  }
  std::vector<tarnvik::CheckDiagnostic> list;
  std::string why;
  tarnvik::checkGame(window, game.string(), archive, list, why);
  (void)tarnvik::formatDiagnostics(list, false);
  CFile::closeBigFile();
  return 0;
}
