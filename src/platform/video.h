// Video output: receives the composed 16-bit 5-6-5 frame and presents it. Headless keeps it in memory.
#pragma once

#include <cstdint>
#include <vector>

namespace tarnvik {

class VideoOutput {
 public:
  virtual ~VideoOutput() = default;
  // Opens the output at the given logical size; false when no display can be had.
  virtual bool open(int width, int height, bool windowed) = 0;
  // Shows the frame (width x height pixels, row after row, 5-6-5).
  virtual void present(const uint16_t* pixels, int width, int height) = 0;
  virtual void minimize() = 0;
  virtual bool isMinimized() const = 0;
};

// No display: the last frame presented is kept so it can be inspected or written out.
class HeadlessVideo final : public VideoOutput {
 public:
  bool open(int width, int height, bool windowed) override;
  void present(const uint16_t* pixels, int width, int height) override;
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
