// 8-bit RGB / RGBA PNG files for the image commands (libpng's simplified interface).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnvik::tool {

struct RgbaPicture {
  int width = 0, height = 0;
  bool hasAlpha = false;       // the file carried transparency
  std::vector<uint8_t> rgba;   // width x height x 4
};

// Any PNG, expanded to 8-bit RGBA; false with a message for files that cannot be read.
bool readPngRgba(const std::string& path, RgbaPicture& picture, std::string& error);
// Writes RGBA when the picture has alpha, RGB otherwise.
bool writePngRgba(const std::string& path, const RgbaPicture& picture, std::string& error);

}  // namespace tarnvik::tool
