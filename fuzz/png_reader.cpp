// Fuzz target: arbitrary bytes through the PNG reader; what it accepts is written again as 5-6-5.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnvik::png::Image image;
  std::string error;
  if (!tarnvik::png::decode(data, size, image, error)) {
    if (error.empty() || image.width != 0 || !image.pixels.empty()) std::abort();
    return 0;
  }
  if (image.width <= 0 || image.height <= 0 || (image.channels != 3 && image.channels != 4) ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height * image.channels)
    std::abort();
  if (static_cast<size_t>(image.width) * image.height > 65536) return 0;
  std::vector<uint16_t> frame(static_cast<size_t>(image.width) * image.height);
  for (size_t i = 0; i < frame.size(); ++i) {
    const uint8_t* p = &image.pixels[i * image.channels];
    frame[i] = static_cast<uint16_t>((p[0] >> 3) << 11 | (p[1] >> 2) << 5 | (p[2] >> 3));
  }
  std::vector<uint8_t> bytes;
  if (!tarnvik::png::encode565(frame.data(), image.width, image.width, image.height, bytes, error)) std::abort();
  tarnvik::png::Image again;
  if (!tarnvik::png::decode(bytes.data(), bytes.size(), again, error) || again.width != image.width) std::abort();
  return 0;
}
