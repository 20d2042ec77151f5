// JPEG decoding and encoding through libjpeg-turbo with an error manager that jumps back here.
#include "graphics/formats/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "foundation/log.h"
#include "graphics/formats/codecs.h"
#include "graphics/pixels/graphics_object.h"

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
  bool truncated;
};

void errorExit(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  char text[JMSG_LENGTH_MAX];
  info->err->format_message(info, text);
  TLOG_DEBUG("jpeg: " << text);
  std::longjmp(manager->jump, 1);
}

void emitMessage(j_common_ptr info, int level) {
  if (level >= 0) return;  // trace output
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  // A stream that ends early is decoded with invented data: treat it as a failed decode.
  if (info->err->msg_code == JWRN_JPEG_EOF) manager->truncated = true;
  info->err->num_warnings++;
}

void outputMessage(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX];
  info->err->format_message(info, text);
  TLOG_DEBUG("jpeg: " << text);
}

void install(ErrorManager& manager) {
  jpeg_std_error(&manager.base);
  manager.base.error_exit = errorExit;
  manager.base.emit_message = emitMessage;
  manager.base.output_message = outputMessage;
  manager.truncated = false;
}

// A JPEG of this many pixels per stream byte is refused: real streams need far more data, and the
// check keeps a tiny hostile header from allocating a huge picture.
constexpr size_t kMaxPixelsPerByte = 1024;

bool plausible(size_t width, size_t height, size_t streamBytes) {
  return width >= 1 && height >= 1 && width <= CGraphicsObject::kMaxSide && height <= CGraphicsObject::kMaxSide &&
         width * height <= tarnvik::imagelimits::kMaxPixels && width * height <= streamBytes * kMaxPixelsPerByte;
}

// The decoding steps in one frame with no C++ objects of their own, so the jump back skips nothing.
bool decodeInto(const uint8_t* data, size_t size, int bpp, bool headerOnly, int* width, int* height,
                std::vector<uint16_t>* out, std::vector<uint8_t>* row) {
  jpeg_decompress_struct info;
  ErrorManager manager;
  info.err = &manager.base;
  install(manager);
  jpeg_create_decompress(&info);
  if (setjmp(manager.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_mem_src(&info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
      !plausible(info.image_width, info.image_height, size)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  *width = static_cast<int>(info.image_width);
  *height = static_cast<int>(info.image_height);
  if (headerOnly) {
    jpeg_destroy_decompress(&info);
    return true;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (info.output_components != 3 || info.output_width != info.image_width ||
      info.output_height != info.image_height) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const size_t w = info.output_width;
  out->resize(w * info.output_height);
  row->resize(w * 3);
  while (info.output_scanline < info.output_height) {
    const size_t y = info.output_scanline;
    JSAMPROW rows[1] = {row->data()};
    if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
    uint16_t* target = out->data() + y * w;
    const uint8_t* s = row->data();
    for (size_t x = 0; x < w; ++x, s += 3) {
      target[x] = bpp == 15 ? static_cast<uint16_t>(((s[0] >> 3) << 10) | ((s[1] >> 3) << 5) | (s[2] >> 3))
                            : static_cast<uint16_t>(((s[0] >> 3) << 11) | ((s[1] >> 2) << 5) | (s[2] >> 3));
    }
  }
  const bool complete = info.output_scanline == info.output_height;
  if (complete) jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return complete && !manager.truncated;
}

bool encodeFrom(const uint16_t* pixels, int width, int height, int pitch, int bpp, int quality, unsigned char** buffer,
                unsigned long* length, std::vector<uint8_t>* row) {
  jpeg_compress_struct info;
  ErrorManager manager;
  info.err = &manager.base;
  install(manager);
  jpeg_create_compress(&info);
  if (setjmp(manager.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_mem_dest(&info, buffer, length);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  row->resize(static_cast<size_t>(width) * 3);
  while (info.next_scanline < info.image_height) {
    const uint16_t* source = pixels + static_cast<size_t>(info.next_scanline) * pitch;
    uint8_t* d = row->data();
    for (int x = 0; x < width; ++x, d += 3) {
      const unsigned p = source[x];
      unsigned r, g, b;
      if (bpp == 15) {
        r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
        d[1] = static_cast<uint8_t>((g << 3) | (g >> 2));
      } else {
        r = p >> 11, g = (p >> 5) & 63, b = p & 31;
        d[1] = static_cast<uint8_t>((g << 2) | (g >> 4));
      }
      d[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
      d[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
    }
    JSAMPROW rows[1] = {row->data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

bool JPEG::readHeader() {
  width_ = height_ = 0;
  if (!data_ || size_ < 4) return false;
  int w = 0, h = 0;
  if (!decodeInto(data_, size_, 16, true, &w, &h, nullptr, nullptr)) return false;
  width_ = w;
  height_ = h;
  return true;
}

bool JPEG::decompress(int bpp, std::vector<uint16_t>& out) {
  out.clear();
  if (!data_ || size_ < 4) return false;
  std::vector<uint8_t> row;
  int w = 0, h = 0;
  if (!decodeInto(data_, size_, bpp, false, &w, &h, &out, &row)) {
    out.clear();
    return false;
  }
  width_ = w;
  height_ = h;
  return true;
}

bool JPEG::compress(const uint16_t* pixels, int width, int height, int pitch, int bpp, int quality,
                    std::vector<uint8_t>& out) {
  out.clear();
  if (!pixels || width < 1 || height < 1 || pitch < width || width > 65500 || height > 65500) return false;
  unsigned char* buffer = nullptr;
  unsigned long length = 0;
  std::vector<uint8_t> row;
  bool ok = encodeFrom(pixels, width, height, pitch, bpp, quality, &buffer, &length, &row);
  if (ok && buffer) out.assign(buffer, buffer + length);
  std::free(buffer);
  return ok && !out.empty();
}
