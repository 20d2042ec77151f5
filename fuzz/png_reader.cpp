// Fuzz target: arbitrary bytes through the PNG reader; what it accepts is written again as 5-6-5.
// The chunk checksums are made right before decoding, so mutations reach past the CRC checks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/formats/png.h"

namespace {

uint32_t crc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return c ^ 0xFFFFFFFFu;
}

// Rewrites the checksum of every whole chunk after the 8-byte signature.
void fixChecksums(std::vector<uint8_t>& b) {
  size_t at = 8;
  while (at + 12 <= b.size()) {
    uint32_t length = uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
    if (length > b.size() - at - 12) return;
    uint32_t crc = crc32(&b[at + 4], length + 4);
    size_t c = at + 8 + length;
    b[c] = static_cast<uint8_t>(crc >> 24);
    b[c + 1] = static_cast<uint8_t>(crc >> 16);
    b[c + 2] = static_cast<uint8_t>(crc >> 8);
    b[c + 3] = static_cast<uint8_t>(crc);
    at = c + 4;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  fixChecksums(input);
  tarnvik::png::Image image;
  std::string error;
  if (!tarnvik::png::decode(input.data(), input.size(), image, error)) {
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
