// The frame counter's built-in font.
#include "graphics/pixels/fps_text.h"

#include <cstdint>

#include "graphics/pixels/graphics_object.h"

namespace tarnvik {
namespace {

struct Glyph {
  char c;
  unsigned char rows[kFpsGlyphHeight];
};

constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
};

}  // namespace

const unsigned char* fpsGlyph(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return g.rows;
  return nullptr;
}

CXRect drawFpsText(CGraphicsObject& surface, int x, int y, std::string_view text) {
  const int bpp = surface.GetRealBpp();
  auto* pixels = static_cast<uint16_t*>(surface.GetDataPtr());
  if (!pixels || bpp == 32 || text.empty()) return CXRect();
  const uint16_t white = bpp == 15 ? 0x7FFF : 0xFFFF, black = 0;
  CXRect box(x, y, x + static_cast<int>(text.size()) * kFpsAdvance + 1, y + kFpsGlyphHeight + 2);
  CXRect drawn = box.intersection(CXRect(0, 0, surface.Width(), surface.Height()));
  for (int py = drawn.top; py < drawn.bottom; ++py)
    for (int px = drawn.left; px < drawn.right; ++px) {
      int gx = px - x - 1, gy = py - y - 1;
      bool ink = false;
      if (gx >= 0 && gy >= 0 && gy < kFpsGlyphHeight && gx % kFpsAdvance < kFpsGlyphWidth) {
        size_t index = static_cast<size_t>(gx / kFpsAdvance);
        const unsigned char* rows = index < text.size() ? fpsGlyph(text[index]) : nullptr;
        ink = rows && ((rows[gy] >> (kFpsGlyphWidth - 1 - gx % kFpsAdvance)) & 1);
      }
      pixels[static_cast<size_t>(py) * surface.GetPitch() + px] = ink ? black : white;
    }
  return drawn;
}

}  // namespace tarnvik
