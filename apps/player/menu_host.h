// The player's side of its menu: the game's time and sound held while it is open, the menu shown
// instead of the game, the options applied and kept, a quit passed on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "application/menu/player_menu.h"
#include "platform/clock.h"
#include "player_audio.h"

class CSimpleFont6;
class CWindow;

namespace tarnvik {

class VideoOutput;

class MenuHost {
 public:
  // `options` are the ones the run starts with (kept ones, with the command line's volume), already
  // applied to the sound; changes are written to `optionsFile`.
  MenuHost(CWindow& window, VideoOutput& video, PlayerAudio& audio, HeldClock& gameClock, CSimpleFont6* font,
           PlayerOptions options, std::string optionsFile);

  // The saves the menu offers; null until the game has some to offer.
  void setSaves(SaveSlots* saves) { menu_.setSaves(saves); }
  // One input event of the frame, in order: true when the menu takes it from the game.
  bool takes(const InputEvent& event) { return menu_.handle(event); }
  // Once a frame, after its input and before its sound: holds or lets go the game's clock and
  // sound, applies what the menu asked and, while it is open, shows it. True while it is open: the
  // game does not play this frame.
  bool update();
  bool quitAsked() const { return quit_; }
  bool isOpen() const { return menu_.isOpen(); }
  // The screen as the person sees it: the menu's frame while it is open, else the game's.
  const uint16_t* shownScreen(int& pitch) const;

 private:
  void apply(const PlayerOptions& options);
  PlayerOptions current() const;

  CWindow& window_;
  VideoOutput& video_;
  PlayerAudio& audio_;
  HeldClock& gameClock_;
  CSimpleFont6* font_;
  PlayerMenu menu_;
  PlayerOptions options_;
  std::string optionsFile_;
  bool holding_ = false, quit_ = false;
  std::vector<uint16_t> frame_;
};

}  // namespace tarnvik
