// PNG encoding and decoding through libpng. libpng reports errors by longjmp: the functions that call
// it keep only plain data in their own frame, and everything with a destructor lives in the caller.
#include "graphics/formats/png.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "foundation/atomic_file.h"

namespace tarnvik::png {
namespace {

constexpr int kMaxSide = 16384;
constexpr size_t kMaxPixels = size_t{8192} * 8192;

struct Failure {
  std::jmp_buf jump;
  char message[256] = {};
};

void onError(png_structp png, png_const_charp message) {
  auto* failure = static_cast<Failure*>(png_get_error_ptr(png));
  std::snprintf(failure->message, sizeof failure->message, "%s", message ? message : "libpng error");
  std::longjmp(failure->jump, 1);
}
void onWarning(png_structp, png_const_charp) {}

struct Sink {
  std::vector<uint8_t>* bytes;
};
void writeBytes(png_structp png, png_bytep data, png_size_t n) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  sink->bytes->insert(sink->bytes->end(), data, data + n);
}
void flushBytes(png_structp) {}

struct Source {
  const uint8_t* data;
  size_t size, pos;
};
void readBytes(png_structp png, png_bytep into, png_size_t n) {
  auto* source = static_cast<Source*>(png_get_io_ptr(png));
  if (n > source->size - source->pos) png_error(png, "the file ends early");
  std::memcpy(into, source->data + source->pos, n);
  source->pos += n;
}

// The libpng part of encode565; `row` holds width * 4 bytes (3 without alpha). False with
// failure->message set.
bool encodeRows(const uint16_t* pixels, const uint8_t* alpha, int pitch, int width, int height, Sink* sink,
                uint8_t* row, Failure* failure) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, onError, onWarning);
  if (!png) {
    std::snprintf(failure->message, sizeof failure->message, "cannot start the PNG encoder");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(failure->jump)) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!failure->message[0]) std::snprintf(failure->message, sizeof failure->message, "cannot start the PNG encoder");
    return false;
  }
  png_set_write_fn(png, sink, writeBytes, flushBytes);
  const int channels = alpha ? 4 : 3;
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const uint16_t* src = pixels + static_cast<size_t>(y) * pitch;
    for (int x = 0; x < width; ++x) {
      unsigned p = src[x];
      row[x * channels + 0] = expand5(p >> 11);
      row[x * channels + 1] = expand6((p >> 5) & 0x3f);
      row[x * channels + 2] = expand5(p & 0x1f);
      if (alpha) row[x * channels + 3] = alpha[static_cast<size_t>(y) * width + x];
    }
    png_write_row(png, row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

// The libpng part of decode: fills out (and `rows`, the row pointers into it).
bool decodeRows(Source* source, Image* out, std::vector<png_bytep>* rows, Failure* failure) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, failure, onError, onWarning);
  if (!png) {
    std::snprintf(failure->message, sizeof failure->message, "cannot start the PNG decoder");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(failure->jump)) {
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!failure->message[0]) std::snprintf(failure->message, sizeof failure->message, "cannot start the PNG decoder");
    return false;
  }
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_set_read_fn(png, source, readBytes);
  png_read_info(png, info);
  png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  if (static_cast<size_t>(width) * height > kMaxPixels) png_error(png, "the picture is too large");
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  int channels = png_get_channels(png, info);
  if (png_get_bit_depth(png, info) != 8 || (channels != 3 && channels != 4))
    png_error(png, "unsupported pixel layout");
  out->width = static_cast<int>(width);
  out->height = static_cast<int>(height);
  out->channels = channels;
  out->pixels.assign(static_cast<size_t>(width) * height * channels, 0);
  rows->resize(height);
  for (png_uint_32 y = 0; y < height; ++y) (*rows)[y] = out->pixels.data() + static_cast<size_t>(y) * width * channels;
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool encode565(const uint16_t* pixels, int pitch, int width, int height, std::vector<uint8_t>& out,
               std::string& error, const uint8_t* alpha) {
  out.clear();
  if (!pixels || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || pitch < width) {
    error = "no picture to write (" + std::to_string(width) + " x " + std::to_string(height) + ")";
    return false;
  }
  std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
  Failure failure;
  Sink sink{&out};
  if (!encodeRows(pixels, alpha, pitch, width, height, &sink, row.data(), &failure)) {
    out.clear();
    error = std::string("PNG encoding failed: ") + failure.message;
    return false;
  }
  return true;
}

bool write565(const std::string& path, const uint16_t* pixels, int pitch, int width, int height, std::string& error,
              const uint8_t* alpha) {
  std::vector<uint8_t> bytes;
  if (!encode565(pixels, pitch, width, height, bytes, error, alpha)) return false;
  std::filesystem::path target(path);
  std::error_code ec;
  if (std::filesystem::is_directory(target, ec)) {
    error = path + " is a folder";
    return false;
  }
  return replaceFileAtomically(path, bytes.data(), bytes.size(), 0644, false, error);
}

bool decode(const uint8_t* data, size_t size, Image& out, std::string& error) {
  out = Image();
  if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) {
    error = "not a PNG file";
    return false;
  }
  Source source{data, size, 0};
  std::vector<png_bytep> rows;
  Failure failure;
  if (!decodeRows(&source, &out, &rows, &failure)) {
    out = Image();
    error = std::string("PNG decoding failed: ") + failure.message;
    return false;
  }
  return true;
}

bool read(const std::string& path, Image& out, std::string& error) {
  out = Image();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "cannot read " + path;
    return false;
  }
  if (!decode(bytes.data(), bytes.size(), out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace tarnvik::png
