// PNG files: the composed 5-6-5 screen written as an 8-bit RGB PNG (screenshots), and a reader of
// 8-bit RGB/RGBA PNG files into plain bytes (tests and tools).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnvik::png {

// 5-6-5 channels widened to 8 bits by repeating their top bits, so 0 stays 0 and the maximum becomes 255.
inline uint8_t expand5(unsigned v5) { return static_cast<uint8_t>((v5 << 3) | (v5 >> 2)); }
inline uint8_t expand6(unsigned v6) { return static_cast<uint8_t>((v6 << 2) | (v6 >> 4)); }

// Encodes a 5-6-5 frame (`pitch` pixels from one row to the next) as an 8-bit RGB PNG in memory,
// or RGBA when an alpha plane (width * height bytes, rows packed) is given.
// False with a message in `error` for a bad frame or a libpng failure.
bool encode565(const uint16_t* pixels, int pitch, int width, int height, std::vector<uint8_t>& out,
               std::string& error, const uint8_t* alpha = nullptr);

// Writes the frame to `path` atomically: a temporary file beside it, synced, then renamed over it,
// so an existing file is either kept whole or replaced whole.
bool write565(const std::string& path, const uint16_t* pixels, int pitch, int width, int height, std::string& error,
              const uint8_t* alpha = nullptr);

// A decoded picture: `channels` bytes per pixel (3 = RGB, 4 = RGBA), rows packed without padding.
struct Image {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> pixels;
};

// Decodes a PNG to 8-bit RGB (or RGBA when it has alpha); palette, grey and 16-bit files are
// converted. Refuses pictures above 16384 pixels in either direction.
bool decode(const uint8_t* data, size_t size, Image& out, std::string& error);
bool read(const std::string& path, Image& out, std::string& error);

}  // namespace tarnvik::png
