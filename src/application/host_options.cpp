// Parsing of the player's host options.
#include "application/host_options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "settings/commandline.h"

namespace tarnvik {
namespace {

bool parseInt(const std::string& text, long long min, long long max, long long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  out = v;
  return true;
}

std::string dataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : ".") + "/.local/share";
}

std::string configHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : ".") + "/.config";
}

std::string folderName(const std::string& gameFolder) {
  std::filesystem::path p(gameFolder);
  while (!p.empty() && p.filename().empty()) p = p.parent_path();  // "games/demo/" -> "games/demo"
  std::string name = p.filename().string();
  if (name.empty() || name == "." || name == "..") {
    std::error_code ec;
    name = std::filesystem::weakly_canonical(gameFolder.empty() ? "." : gameFolder, ec).filename().string();
  }
  return name.empty() ? "game" : name;
}

bool endsWithPik(const std::string& word) {
  if (word.size() <= 4) return false;
  std::string tail = word.substr(word.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".pik";
}

// Takes the game out of the engine words: the one plain word (not an engine option or its value)
// that names an existing folder or archive. A plain word that looks like a game but names nothing
// is a usage error, as is a second game or a game named twice.
bool takeGame(HostOptions& out, std::string& error) {
  std::vector<bool> optionWords = CCommandLine6::optionWords(out.engineWords);
  bool pathGiven = false;
  for (size_t i = 0; i < out.engineWords.size(); ++i) {
    const std::string& w = out.engineWords[i];
    if (optionWords[i] && (w == "-path" || w == "/path" || w == "-game" || w == "/game")) pathGiven = true;
  }
  std::vector<std::string> kept;
  std::string game;
  for (size_t i = 0; i < out.engineWords.size(); ++i) {
    const std::string& w = out.engineWords[i];
    std::error_code ec;
    bool folder = !optionWords[i] && std::filesystem::is_directory(w, ec);
    bool archive = !optionWords[i] && !folder && endsWithPik(w) && std::filesystem::is_regular_file(w, ec);
    if (!folder && !archive) {
      if (!optionWords[i] && endsWithPik(w)) return error = "no such archive: " + w, false;
      kept.push_back(w);
      continue;
    }
    if (!game.empty()) return error = "two games named: " + game + " and " + w, false;
    game = w;
    if (folder && pathGiven) return error = "the game is named twice: -path and " + w, false;
    if (archive && !out.archiveFile.empty()) return error = "the archive is named twice: --archive and " + w, false;
    (folder ? out.gameFolder : out.archiveFile) = w;
  }
  out.engineWords = std::move(kept);
  return true;
}

}  // namespace

bool parseHostOptions(const std::vector<std::string>& args, HostOptions& out, std::string& error) {
  out = HostOptions();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a[0] != '-' || a[1] != '-') {
      out.engineWords.push_back(a);
      continue;
    }
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      into = args[++i];
      return true;
    };
    std::string v;
    long long n = 0;
    if (a == "--headless") {
      out.headless = true;
    } else if (a == "--virtual-clock") {
      out.virtualClock = true;
    } else if (a == "--help") {
      out.help = true;
    } else if (a == "--version") {
      out.version = true;
    } else if (a == "--frames") {
      if (!value(v)) return false;
      if (!parseInt(v, 0, 1000000000, n)) return error = "--frames takes a whole number of frames", false;
      out.frames = static_cast<int>(n);
    } else if (a == "--frame-ms") {
      if (!value(v)) return false;
      if (!parseInt(v, 1, 60000, n)) return error = "--frame-ms takes milliseconds from 1 to 60000", false;
      out.frameMs = static_cast<int>(n);
    } else if (a == "--seed") {
      if (!value(v)) return false;
      if (!parseInt(v, 0, 4294967295LL, n)) return error = "--seed takes a whole number from 0 to 4294967295", false;
      out.seed = static_cast<uint32_t>(n);
    } else if (a == "--log") {
      if (!value(v)) return false;
      if (!log::parseLevel(v, out.logLevel)) return error = "--log takes error, warn, info, debug or trace", false;
    } else if (a == "--settings") {
      if (!value(out.settingsFile)) return false;
    } else if (a == "--archive") {
      if (!value(out.archiveFile)) return false;
    } else if (a == "--input") {
      if (!value(out.inputFile)) return false;
    } else if (a == "--record") {
      if (!value(out.recordFile)) return false;
    } else if (a == "--screenshot") {
      if (!value(out.screenshotFile)) return false;
    } else if (a == "--audio-out") {
      if (!value(out.audioOutFile)) return false;
    } else if (a == "--volume") {
      if (!value(v)) return false;
      if (!parseInt(v, 0, 100, n)) return error = "--volume takes a whole number from 0 to 100", false;
      out.volume = static_cast<int>(n);
    } else if (a == "--scale") {
      if (!value(v)) return false;
      ScaleMode mode;
      if (!parseScaleMode(v, mode)) return error = "--scale takes pixel, fit or stretch", false;
      out.scale = mode;
    } else if (a == "--frame-cache") {
      if (!value(v)) return false;
      if (!parseInt(v, 0, 65536, n)) return error = "--frame-cache takes megabytes from 0 to 65536", false;
      out.frameCacheMB = static_cast<int>(n);
    } else if (a == "--mute-unfocused") {
      out.muteUnfocused = true;
    } else if (a == "--watch") {
      out.watch = true;
    } else if (a == "--save-at") {
      std::string file;
      if (!value(v) || !value(file)) return error = "--save-at takes a frame and a file", false;
      if (!parseInt(v, 0, 1000000000, n)) return error = "--save-at takes a whole number of frames", false;
      out.saveAt.emplace_back(static_cast<int>(n), file);
    } else if (a == "--load") {
      if (!value(out.loadFile)) return false;
    } else if (a == "--load-slot") {
      if (!value(v)) return false;
      if (!parseInt(v, 0, 999, n)) return error = "--load-slot takes a slot number from 0 to 999", false;
      out.loadSlot = static_cast<int>(n);
    } else if (a == "--list-saves") {
      out.listSaves = true;
    } else if (a == "--autosave-minutes") {
      if (!value(v)) return false;
      if (!parseInt(v, 0, 100000, n)) return error = "--autosave-minutes takes a whole number of minutes (0: off)", false;
      out.autosaveMinutes = static_cast<int>(n);
    } else {
      error = "unknown option " + a + engineOptionHint(a);
      return false;
    }
  }
  if (!out.audioOutFile.empty() && !out.onVirtualClock())
    return error = "--audio-out needs --headless or --virtual-clock", false;
  if (!out.loadFile.empty() && out.loadSlot) return error = "--load and --load-slot name two saves", false;
  return takeGame(out, error);
}

std::string engineOptionHint(const std::string& option) {
  static const char* const kEngineWords[] = {"path", "game", "window", "nomusic", "nosound", "nogfx", "res", "code",
                                             "decode", "2bin", "debug", "bigfile", "pack", "file", "delay", "pf",
                                             "vmem", "noframe", "params", "server", "client", "player"};
  if (!option.starts_with("--")) return std::string();
  std::string word = option.substr(2);
  for (const char* engine : kEngineWords)
    if (word == engine)
      return " (engine options take one dash: -" + word + ")";
  return std::string();
}

std::string hostUsage() {
  return "usage: tarnvik [host options] [engine options] [GAME]\n"
         "Plays GAME, a game folder or a .pik archive (also -path FOLDER or --archive FILE);\n"
         "without one, the game in the current folder, else the bundled demo.\n"
         "\n"
         "host options:\n"
         "  --headless         no window, no audio device; virtual clock\n"
         "                     (without it: a window, or headless on the real clock when there is no display)\n"
         "  --virtual-clock    a window on the headless run's clock: time moves --frame-ms a frame, the\n"
         "                     headless seed, sound mixed on that clock and not played (replays in a window)\n"
         "  --frames N         run N frames, then exit (headless default: 600; also in a window)\n"
         "  --frame-ms MS      virtual milliseconds per frame on the virtual clock (default 16)\n"
         "  --settings FILE    the settings (INI) file (default: $XDG_DATA_HOME/tarnvik/<game>.ini)\n"
         "  --archive FILE     archive to open for the process\n"
         "  --input FILE       play a script of input events (docs/player.md gives the format)\n"
         "  --record FILE      write the run's input, seed and frame times in that format for --input\n"
         "  --screenshot FILE  when the run ends, write the screen as an 8-bit RGB PNG\n"
         "  --audio-out FILE   (virtual clock) write all mixed sound as a 16-bit stereo 44100 Hz WAV\n"
         "  --volume 0-100     master volume (default 100)\n"
         "  --mute-unfocused   silence while the window is not focused (default: sound goes on)\n"
         "  --scale MODE       pixel (whole multiples), fit (keeps the aspect ratio) or stretch; kept\n"
         "                     for the next runs (default: fit in full screen and large windows)\n"
         "  --frame-cache MB   memory for unpacked animation frames (default 32; 0: only the shown ones)\n"
         "  --seed N           seed of the random generator\n"
         "  --save-at FRAME FILE  write a save at the end of that frame (may be given more than once)\n"
         "  --load FILE        start from a save; frame numbers go on from the saved frame\n"
         "  --load-slot N      start from the save in slot N (0: the autosave)\n"
         "  --list-saves       the game's save slots, one a line: slot, scene, date, play time\n"
         "  --autosave-minutes N  autosave into slot 0 every N minutes of play and at scene changes\n"
         "                     (0: off; default 5 in a window, off headless)\n"
         "  --watch            reload the game (back to the current scene) when one of its files changes\n"
         "  --log LEVEL        error, warn, info, debug, trace (trace prints every script statement)\n"
         "  --help             this text\n"
         "  --version          the version and the libraries the player was built with\n"
         "\n"
         "engine options (\"-\" or \"/\" in front, passed to the engine): -path FOLDER, -window, -nomusic,\n"
         "  -nosound, -res W H, -forceCNV, -2bin, -debug, -cheat, -player NAME, ...\n"
         "\n"
         "in a window: Alt+Enter toggles full screen, F12 or Alt+S writes a screenshot into the per-game\n"
         "  data folder, Ctrl+M mutes, closing the window ends the run\n";
}

std::string joinEngineWords(const std::vector<std::string>& words) {
  std::string line;
  for (const auto& w : words) {
    if (!line.empty()) line += ' ';
    line += w;
  }
  return line;
}

std::string defaultSettingsFile(const std::string& gameFolder) {
  return dataHome() + "/tarnvik/" + folderName(gameFolder) + ".ini";
}

std::string defaultDataFolder(const std::string& gameFolder) {
  return dataHome() + "/tarnvik/" + folderName(gameFolder);
}

std::string defaultSavesFolder(const std::string& gameFolder) {
  return dataHome() + "/tarnvik/saves/" + folderName(gameFolder);
}

std::string gameName(const std::string& gameFolder) { return folderName(gameFolder); }

std::string playerOptionsFile() { return configHome() + "/tarnvik/player.ini"; }

std::string archiveGameFolder(const std::string& archiveFile) {
  std::string folder = archiveFile;
  if (endsWithPik(folder)) folder.resize(folder.size() - 4);
  return folder;
}

}  // namespace tarnvik
