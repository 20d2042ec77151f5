// PNG reading and writing through libpng's simplified interface.
#include "png_rgba.h"

#include <png.h>

#include <cstring>

namespace tarnvik::tool {

bool readPngRgba(const std::string& path, RgbaPicture& picture, std::string& error) {
  picture = RgbaPicture();
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    error = image.message;
    return false;
  }
  if (image.width < 1 || image.height < 1 || image.width > 32768 || image.height > 32768) {
    png_image_free(&image);
    error = "its width or height is out of range";
    return false;
  }
  picture.hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = PNG_FORMAT_RGBA;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr)) {
    error = image.message;
    picture = RgbaPicture();
    return false;
  }
  return true;
}

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
