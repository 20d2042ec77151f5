// The SDL2 video back end: a window showing the composed frame, scaled as the scale mode says.
#pragma once

#include <memory>
#include <string>

#include "platform/scaling.h"
#include "platform/video.h"

namespace tarnvik {

class SdlVideoOutput : public VideoOutput {
 public:
  // Why the last open() or full-screen switch failed; empty when nothing failed.
  virtual const std::string& lastError() const = 0;
  // One line about the open output for the log: size, mode, renderer, whether vsync paces it.
  virtual std::string describe() const = 0;
  // How the picture fills the window or the full screen (before or after open()).
  virtual void setScaleMode(ScaleMode mode) = 0;
};

// A video output on the desktop. Its open() fails (returns false) when there is no display to use:
// no DISPLAY or WAYLAND_DISPLAY, or SDL cannot start its video part or make the window.
std::unique_ptr<SdlVideoOutput> createSdlVideo();

}  // namespace tarnvik
