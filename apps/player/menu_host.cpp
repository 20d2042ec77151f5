// The player's menu in the frame loop.
#include "menu_host.h"

#include <cstdio>

#include "application/menu/menu_drawing.h"
#include "graphics/window.h"
#include "input/input_manager.h"
#include "platform/video.h"

namespace tarnvik {

MenuHost::MenuHost(CWindow& window, VideoOutput& video, PlayerAudio& audio, HeldClock& gameClock, CSimpleFont6* font,
                   PlayerOptions options, std::string optionsFile)
    : window_(window),
      video_(video),
      audio_(audio),
      gameClock_(gameClock),
      font_(font),
      menu_(window.GetScreenSize().width, window.GetScreenSize().height),
      options_(options),
      optionsFile_(std::move(optionsFile)) {}

// What the person has now: the kept options as Ctrl+M and Alt+Enter may have changed them since.
PlayerOptions MenuHost::current() const {
  PlayerOptions now = options_;
  now.mute = audio_.isMuted();
  if (video_.isWindowed()) now.fullScreen = video_.isFullScreen();
  return now;
}

void MenuHost::apply(const PlayerOptions& options) {
  audio_.setVolumes(options.masterVolume, options.musicVolume);
  audio_.setMuted(options.mute);
  if (options.fullScreen && video_.isWindowed() && *options.fullScreen != video_.isFullScreen() &&
      !video_.setFullScreen(*options.fullScreen))
    std::fprintf(stderr, "tarnvik: cannot switch full screen\n");
  options_ = options;
  std::string error;
  if (!writePlayerOptions(optionsFile_, options_, error)) std::fprintf(stderr, "tarnvik: %s\n", error.c_str());
}

bool MenuHost::update() {
  unsigned asked = menu_.takeRequests();
  if (asked & PlayerMenu::kApplyOptions) apply(menu_.options());
  if (asked & PlayerMenu::kQuit) quit_ = true;
  bool open = menu_.isOpen();
  if (open != holding_) {
    holding_ = open;
    audio_.hold(open);
    // The system pointer shows in the menu even where the game hides it for a pointer of its own.
    if (PlatformInput* pointer = video_.getInput()) {
      CInputManager* input = CInputManager::getCurrent();
      pointer->showCursor(open || !input || input->isCursorVisible());
    }
    if (open) {
      gameClock_.hold();
    } else {
      gameClock_.release();
      // The game's own frame again, whole: the game redraws only what changes.
      const uint16_t* pixels = window_.GetScreenPtr();
      CXSize size = window_.GetScreenSize();
      if (pixels) video_.present(pixels, window_.GetScreenPitch(), size.width, size.height, {});
    }
  }
  if (!open) {
    // The options page opens with what is in force at the moment the menu opens.
    menu_.setOptions(current());
    return false;
  }
  CXSize size = window_.GetScreenSize();
  drawPlayerMenu(menu_, window_.GetScreenPtr(), window_.GetScreenPitch(), size.width, size.height, font_, frame_);
  video_.present(frame_.data(), size.width, size.width, size.height, {});
  return true;
}

const uint16_t* MenuHost::shownScreen(int& pitch) const {
  if (menu_.isOpen() && !frame_.empty()) {
    pitch = window_.GetScreenSize().width;
    return frame_.data();
  }
  pitch = window_.GetScreenPitch();
  return window_.GetScreenPtr();
}

}  // namespace tarnvik
