// tarnvik-tool check: a game's mistakes found without running it (application/game_check.h).
#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "application/game_check.h"
#include "application/host_options.h"
#include "commands.h"
#include "graphics/window.h"
#include "objects/register.h"
#include "platform/video.h"
#include "settings/commandline.h"
#include "settings/language.h"

namespace fs = std::filesystem;

namespace tarnvik::tool {
namespace {

// Unlike the other commands, check keeps 1 for "the game has errors": bad usage is 2.
constexpr int kCheckUsage = 2;
constexpr int kCheckUnreadable = 2;

int checkUsage(CommandIo& io) {
  usage(io, "check", "GAME [--json] [--werror]");
  return kCheckUsage;
}

}  // namespace

int runCheck(const std::vector<std::string>& args, CommandIo& io) {
  std::string game;
  bool json = false, werror = false;
  for (const std::string& a : args) {
    if (a == "--json") json = true;
    else if (a == "--werror") werror = true;
    else if (game.empty() && !a.starts_with("--")) game = a;
    else return checkUsage(io);
  }
  if (game.empty()) return checkUsage(io);
  std::error_code ec;
  std::string folder, archive;
  if (fs::is_directory(game, ec)) {
    folder = fs::weakly_canonical(game, ec).string();
  } else if (fs::is_regular_file(game, ec)) {
    archive = fs::absolute(game, ec).string();
    folder = archiveGameFolder(archive);
  } else {
    failure(io, game + " is neither a game folder nor an archive");
    return kCheckUnreadable;
  }
  CCommandLine6 commandLine{CXString()};
  CLanguageOSVer language;
  HeadlessVideo video;
  video.open(800, 600, true);
  CWindow window(&commandLine, &language, &video, 800, 600);
  registerEngineTypes();
  std::vector<CheckDiagnostic> list;
  std::string why;
  if (!checkGame(&window, folder, archive, list, why)) {
    failure(io, why.empty() ? game + " cannot be read" : why);
    return kCheckUnreadable;
  }
  io.out << formatDiagnostics(list, json);
  if (std::any_of(list.begin(), list.end(), [](const CheckDiagnostic& d) { return d.error; })) return 1;
  return werror && !list.empty() ? 1 : 0;
}

}  // namespace tarnvik::tool
