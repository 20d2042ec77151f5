// The player's menu options in player.ini.
#include "application/menu/player_options.h"

#include "settings/config.h"

namespace tarnvik {

namespace {
constexpr const char* kSection = "player";

int percent(const CConfig& config, const char* key) {
  int v = config.GetInt(kSection, key, 100);
  return v < 0 || v > 100 ? 100 : v;
}

// "true"/"false" (any case) or 1/0; anything else is unset.
std::optional<bool> flag(const CConfig& config, const char* key) {
  std::string v = config.GetString(kSection, key).str();
  for (char& c : v) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (v == "true" || v == "1") return true;
  if (v == "false" || v == "0") return false;
  return std::nullopt;
}
}  // namespace

PlayerOptions readPlayerOptions(const std::string& file) {
  CConfig config{CXString(file)};
  PlayerOptions options;
  options.masterVolume = percent(config, "volume");
  options.musicVolume = percent(config, "musicvolume");
  options.mute = flag(config, "mute").value_or(false);
  options.fullScreen = flag(config, "fullscreen");
  return options;
}

bool writePlayerOptions(const std::string& file, const PlayerOptions& options, std::string& error) {
  CConfig config{CXString(file)};
  config.PutInt(kSection, "volume", options.masterVolume);
  config.PutInt(kSection, "musicvolume", options.musicVolume);
  config.PutString(kSection, "mute", options.mute ? "true" : "false");
  if (options.fullScreen) config.PutString(kSection, "fullscreen", *options.fullScreen ? "true" : "false");
  if (config.isDirty() && !config.flush()) {
    error = "cannot write the player's options " + file;
    return false;
  }
  return true;
}

std::optional<ScaleMode> keptScaleMode(const std::string& file) {
  CConfig config{CXString(file)};
  ScaleMode mode = ScaleMode::automatic;
  if (!parseScaleMode(config.GetString(kSection, "scale").str(), mode)) return std::nullopt;
  return mode;
}

bool keepScaleMode(const std::string& file, ScaleMode mode, std::string& error) {
  CConfig config{CXString(file)};
  config.PutString(kSection, "scale", scaleModeName(mode));
  if (config.isDirty() && !config.flush()) {
    error = "cannot write the player's options " + file;
    return false;
  }
  return true;
}

}  // namespace tarnvik
