// The player's own command line: double-dash host options, the rest passed to the engine unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/log.h"
#include "platform/scaling.h"

namespace tarnvik {

struct HostOptions {
  bool headless = false;
  bool virtualClock = false;  // --virtual-clock: a window on the headless run's clock, seed and sound
  // The game's time moves by --frame-ms a frame (headless, or --virtual-clock), not with the real clock.
  bool onVirtualClock() const { return headless || virtualClock; }
  std::optional<int> frames;  // unset: headless runs 600 frames, windowed runs until the game exits
  int frameMs = 16;
  std::string settingsFile;   // empty: the per-game default under $XDG_DATA_HOME/tarnvik/
  std::string archiveFile;    // --archive, or a plain word naming an archive
  std::string gameFolder;     // a plain word naming a game folder (as -path, blanks allowed)
  std::string inputFile;
  std::string recordFile;
  std::string screenshotFile;
  std::string audioOutFile;   // headless only: everything mixed, as a 16-bit stereo 44100 Hz WAV
  std::optional<int> volume;  // master volume, 0..100; unset: the one kept in the player's options (100)
  bool muteUnfocused = false; // silence while the window does not have the focus
  std::optional<ScaleMode> scale;  // --scale; unset: the player's options file, else automatic
  bool watch = false;         // reload the game when one of its files changes
  std::vector<std::pair<int, std::string>> saveAt;  // --save-at FRAME FILE, in the order given
  std::string loadFile;       // --load FILE
  std::optional<int> loadSlot;  // --load-slot N
  bool listSaves = false;
  std::optional<int> autosaveMinutes;  // unset: 5 in a window, off headless
  std::optional<int> frameCacheMB;  // budget of unpacked animation frames; unset: the engine's default
  std::optional<uint32_t> seed;
  log::Level logLevel = log::Level::warn;
  bool help = false;
  bool version = false;
  std::vector<std::string> engineWords;  // single-dash engine options and their values, in order
};

// Parses argv (without the program name). On a usage error returns false with a message in `error`.
// A word that is neither a host option nor an engine option or its value names the game when it is
// an existing folder or an existing ".pik" archive.
bool parseHostOptions(const std::vector<std::string>& args, HostOptions& out, std::string& error);

std::string hostUsage();
// For an unknown "--word" that is an engine option with one dash: the hint naming it; else empty.
std::string engineOptionHint(const std::string& option);

// The engine command line: the engine words joined with blanks.
std::string joinEngineWords(const std::vector<std::string>& words);

// Default settings file for a game folder: $XDG_DATA_HOME/tarnvik/<folder name>.ini
// ($HOME/.local/share when XDG_DATA_HOME is unset or not absolute).
std::string defaultSettingsFile(const std::string& gameFolder);
// The per-game data folder beside it: $XDG_DATA_HOME/tarnvik/<folder name>/
std::string defaultDataFolder(const std::string& gameFolder);
// The game's save folder: $XDG_DATA_HOME/tarnvik/saves/<folder name>
std::string defaultSavesFolder(const std::string& gameFolder);
// The name a game's saves carry: its folder's name.
std::string gameName(const std::string& gameFolder);
// The player's own options (the scale mode), never a game's: $XDG_CONFIG_HOME/tarnvik/player.ini
// ($HOME/.config when XDG_CONFIG_HOME is unset or not absolute).
std::string playerOptionsFile();
// The game folder an archive stands for when no -path is given: its name without ".pik".
std::string archiveGameFolder(const std::string& archiveFile);

}  // namespace tarnvik
