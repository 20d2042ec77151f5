// The player's saves: --load and --load-slot at the start, --save-at and the autosave after each
// frame, --list-saves; the slots the player's menu uses.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "application/host_options.h"
#include "application/saves/game_saves.h"

class CApplication;

namespace tarnvik {

class PlayerSaves {
 public:
  PlayerSaves(CApplication& application, const HostOptions& options, const std::string& gameFolder,
              GameSaves::Host host);

  // Whether the run starts from a save (the scripts are then held while the game is built).
  static bool startsFromSave(const HostOptions& options) { return !options.loadFile.empty() || options.loadSlot; }
  // Puts the save the options name in place; false with the message printed.
  bool loadAtStart();
  // Prints the slots, one a line: slot, scene, date, play time (and the name given).
  void list();
  // After frame `frame` ran: the --save-at saves of that frame, then the autosave.
  void afterFrame(int frame);
  GameSaves& slots() { return saves_; }

 private:
  const HostOptions& options_;
  GameSaves saves_;
};

}  // namespace tarnvik
