// PNG writing through libpng's simplified interface.
#include "png_rgba.h"

#include <png.h>

#include <cstring>

namespace tarnvik::tool {

bool writePngRgba(const std::string& path, const RgbaPicture& picture, std::string& error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  std::vector<uint8_t> rgb;
  const void* buffer = picture.rgba.data();
  if (picture.hasAlpha) {
    image.format = PNG_FORMAT_RGBA;
  } else {
    image.format = PNG_FORMAT_RGB;
    rgb.reserve(picture.rgba.size() / 4 * 3);
    for (size_t i = 0; i + 3 < picture.rgba.size(); i += 4) rgb.insert(rgb.end(), &picture.rgba[i], &picture.rgba[i] + 3);
    buffer = rgb.data();
  }
  if (!png_image_write_to_file(&image, path.c_str(), 0, buffer, 0, nullptr)) {
    error = image.message;
    return false;
  }
  return true;
}

}  // namespace tarnvik::tool
