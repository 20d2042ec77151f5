// The player's own options (volumes, mute, full screen from its menu; the scale mode from --scale),
// kept in player.ini.
#pragma once

#include <optional>
#include <string>

#include "platform/scaling.h"

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
// The scale mode kept in the file (unset when absent or unreadable), and keeping one there alone
// (the other keys as they are; false with `error`).
std::optional<ScaleMode> keptScaleMode(const std::string& file);
bool keepScaleMode(const std::string& file, ScaleMode mode, std::string& error);

}  // namespace tarnvik
