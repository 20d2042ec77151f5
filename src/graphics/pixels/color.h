// CColor: a colour value in one of four models, with conversions to the display's pixel formats.
#pragma once

#include <cstdint>

#include "foundation/xobject.h"

class CColor : public CXObject {
 public:
  enum Model { RGB24 = 4, ARGB32 = 5, RGB555 = 6, RGB565 = 7 };

  CColor() = default;
  CColor(int r, int g, int b) { Set(r, g, b); }

  void Set(int r, int g, int b);            // model 4
  void Set(int a, int r, int g, int b);     // model 5
  void Set(uint16_t pixel, int model);      // model 6 or 7
  void set(int value);                      // model 5, the whole 32-bit value (a, r, g, b from high to low)

  // The value: for models 4 and 5 0xAARRGGBB, for 6 and 7 the 16-bit pixel.
  uint32_t getPixel() const { return pixel_; }
  int getModel() const { return model_; }
  int red() const { return (pixel_ >> 16) & 0xFF; }
  int green() const { return (pixel_ >> 8) & 0xFF; }
  int blue() const { return pixel_ & 0xFF; }

  // The value in the target model; unchanged when the target is the model or the model is 16-bit.
  uint32_t Convert(int model) const;
  // The value for a display depth: 15 -> model 6, 16 -> 7, 24 -> 4, 32 -> 5; others unchanged.
  uint32_t GetInBPP(int bpp) const;

  bool operator==(const CColor& other) const;
  bool operator!=(const CColor& other) const { return !(*this == other); }

 private:
  uint32_t pixel_ = 0;
  int model_ = RGB24;
};
