// PNG writing through libpng's simplified interface.
#include "png_rgba.h"

#include <png.h>

#include <cstring>

#include "foundation/atomic_file.h"

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
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(image, size, 0, buffer, 0, nullptr)) {
    error = image.message;
    return false;
  }
  std::vector<uint8_t> bytes(size);
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, buffer, 0, nullptr)) {
    error = image.message;
    return false;
  }
  return replaceFileAtomically(path, bytes.data(), size, 0644, false, error);
}

}  // namespace tarnvik::tool
