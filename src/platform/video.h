// Video output: receives the composed 16-bit 5-6-5 frame with its changed rectangles and presents it.
// Also the window-side host events (close, focus, keys the host itself handles). Headless keeps the
// frame in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnvik {

class PlatformInput;

// A rectangle of the logical screen in pixels.
struct PixelRect {
  int x = 0, y = 0, w = 0, h = 0;
};

// What the window system tells the host between frames.
struct HostEvent {
  enum Kind {
    kQuit,         // the window was closed
    kFocusGained,  // the window became the active one
    kFocusLost,
    kScreenshot,   // the person asked for a screenshot (F12 or Alt+S)
    kMuteToggle,   // Ctrl+M
    kMenu,         // the gamepad's Start: opens or closes the player's menu
  };
  Kind kind = kQuit;
};

class VideoOutput {
 public:
  virtual ~VideoOutput() = default;
  // Opens the output at the given logical size; false when no display can be had.
  virtual bool open(int width, int height, bool windowed) = 0;
  // Shows the frame: `pitch` pixels from one row to the next, 5-6-5. Only the dirty rectangles
  // changed since the previous call; an empty list means the whole frame.
  virtual void present(const uint16_t* pixels, int pitch, int width, int height,
                       const std::vector<PixelRect>& dirty) = 0;
  virtual void minimize() = 0;
  virtual bool isMinimized() const = 0;
  // Window-side events since the last call, in order.
  virtual void pollEvents(std::vector<HostEvent>& /*out*/) {}
  // A message for the person (a message box in a window); the text is UTF-8.
  virtual void showMessage(const std::string& /*title*/, const std::string& /*text*/) {}
  // True when the output is a real window on a display.
  virtual bool isWindowed() const { return false; }
  // Switches a window between full screen and a window (as Alt+Enter does); false when it cannot.
  virtual bool setFullScreen(bool /*on*/) { return false; }
  virtual bool isFullScreen() const { return false; }
  // With `on`, the window follows the pointer from now on, held at the point (x, y) of the logical
  // screen; without, it stays where it is. Outputs that are no window ignore it.
  virtual void dragWindow(bool /*on*/, int /*x*/, int /*y*/) {}
  // The mouse and keyboard of the window; null when the output has none.
  virtual PlatformInput* getInput() { return nullptr; }
  // A script's gamepad event (stick or button, as InputEvent::kPad*): a window feeds it to a virtual
  // game controller, which then works as a plugged-in one does; elsewhere it does nothing.
  virtual void drivePad(int /*kind*/, int /*x*/, int /*y*/, int /*button*/) {}
};

// No display: the last frame presented is kept so it can be inspected or written out.
class HeadlessVideo final : public VideoOutput {
 public:
  bool open(int width, int height, bool windowed) override;
  void present(const uint16_t* pixels, int pitch, int width, int height,
               const std::vector<PixelRect>& dirty) override;
  void minimize() override { minimized_ = true; }
  bool isMinimized() const override { return minimized_; }

  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<uint16_t>& frame() const { return frame_; }
  int framesPresented() const { return presented_; }

 private:
  int width_ = 0, height_ = 0, presented_ = 0;
  bool minimized_ = false;
  std::vector<uint16_t> frame_;
};

}  // namespace tarnvik
