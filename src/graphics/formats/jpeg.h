// JPEG: JPEG streams through libjpeg-turbo, decoded to 16-bit pixels and encoded from them.
// libjpeg's fatal errors return here (never exit the process); failures are return values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class JPEG {
 public:
  // Over a memory block the caller keeps alive.
  JPEG(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

  // Reads the header; false for a stream that is not JPEG or whose size the readers refuse.
  bool readHeader();
  int getWidth() const { return width_; }
  int getHeight() const { return height_; }
  // Decodes to 5-5-5 (bpp 15) or 5-6-5 (anything else) pixels, top row first, the 8-bit samples
  // truncated. False (and `out` empty) for a corrupt or truncated stream.
  bool decompress(int bpp, std::vector<uint16_t>& out);

  // Encodes 16-bit pixels (5-5-5 for bpp 15, else 5-6-5; `pitch` in pixels) at the quality.
  static bool compress(const uint16_t* pixels, int width, int height, int pitch, int bpp, int quality,
                       std::vector<uint8_t>& out);

 private:
  const uint8_t* data_;
  size_t size_;
  int width_ = 0;
  int height_ = 0;
};
