// Colour values and their conversions.
#include "graphics/pixels/color.h"

namespace {
uint32_t byte(int v) { return static_cast<uint32_t>(v) & 0xFF; }
}  // namespace

void CColor::Set(int r, int g, int b) {
  pixel_ = (byte(r) << 16) | (byte(g) << 8) | byte(b);
  model_ = RGB24;
}

void CColor::Set(int a, int r, int g, int b) {
  pixel_ = (byte(a) << 24) | (byte(r) << 16) | (byte(g) << 8) | byte(b);
  model_ = ARGB32;
}

void CColor::Set(uint16_t pixel, int model) {
  pixel_ = pixel;
  model_ = model == RGB555 ? RGB555 : RGB565;
}

void CColor::set(int value) {
  pixel_ = static_cast<uint32_t>(value);
  model_ = ARGB32;
}

uint32_t CColor::Convert(int model) const {
  if (model == model_ || (model_ != RGB24 && model_ != ARGB32)) return pixel_;
  uint32_t r = red(), g = green(), b = blue();
  switch (model) {
    case RGB555: return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case RGB565: return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    case RGB24: return pixel_ & 0xFFFFFFu;
    default: return pixel_;
  }
}

uint32_t CColor::GetInBPP(int bpp) const {
  switch (bpp) {
    case 15: return Convert(RGB555);
    case 16: return Convert(RGB565);
    case 24: return Convert(RGB24);
    case 32: return Convert(ARGB32);
    default: return pixel_;
  }
}

bool CColor::operator==(const CColor& other) const {
  if (model_ == other.model_) return pixel_ == other.pixel_;
  // A 16-bit value cannot be widened exactly, so the wider colour is narrowed to the 16-bit model.
  if (other.model_ == RGB555 || other.model_ == RGB565) return Convert(other.model_) == other.pixel_;
  return pixel_ == other.Convert(model_);
}
