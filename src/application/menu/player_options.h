// The player's own options that its menu changes (volumes, mute, full screen), kept in player.ini.
#pragma once

#include <optional>
#include <string>

namespace tarnvik {

struct PlayerOptions {
  int masterVolume = 100;  // 0..100, linear on the whole mix
  int musicVolume = 100;   // 0..100, linear on music only
  bool mute = false;
  std::optional<bool> fullScreen;  // unset: as the command line says (-window)

  bool operator==(const PlayerOptions&) const = default;
};

// The options kept in the file (section "player"); a missing file, key or a value out of range
// reads as the default.
PlayerOptions readPlayerOptions(const std::string& file);
// Writes them into the file, keeping its other keys (the scale mode); false with `error`.
bool writePlayerOptions(const std::string& file, const PlayerOptions& options, std::string& error);

}  // namespace tarnvik
