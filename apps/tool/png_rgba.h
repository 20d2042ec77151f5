// Writing 8-bit RGBA (or RGB) PNG files for the image commands (libpng's simplified interface);
// reading goes through graphics/png.h, which writes only 5-6-5 frames without alpha.
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

// Writes RGBA when the picture has alpha, RGB otherwise.
bool writePngRgba(const std::string& path, const RgbaPicture& picture, std::string& error);

}  // namespace tarnvik::tool
