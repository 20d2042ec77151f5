// Fuzz target: random texts laid out in random boxes with random fonts. The input is a header (box
// width and height, justifications, line spacing, the length of a font file), a font file (a
// fixed two-letter font when it does not read) and the text. Lines must stack at the line height,
// only letters of the font may be placed, and every letter must be drawn without faults.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "files/bytereader.h"
#include "foundation/log.h"
#include "graphics/font.h"
#include "graphics/pixels/graphics_object.h"
#include "graphics/text_layout.h"

namespace {

// "A" and "l" in 4-pixel cells of 5 rows, A kerned after l.
CSimpleFont6& fallbackFont() {
  static CSimpleFont6 font;
  if (font.getLetterCount() == 0 && font.createEmpty(4, 5, {'A', 'l'})) {
    for (int i = 0; i < font.Width() * font.Height(); ++i) {
      font.pixels16()[i] = 0xFFFF;
      font.GetAlphaPtr()[i] = static_cast<uint8_t>(i % 3 ? 255 : 0);
    }
    font.setMargins(0, 1, 0);
    font.setKerning(1, 0, 3);
  }
  return font;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnvik::log::setLevel(tarnvik::log::Level::off);
  tarnvik::ByteReader r(data, size);
  tarnvik::TextBox box;
  box.width = static_cast<int16_t>(r.u16()) % 1200;  // negative boxes too
  box.height = static_cast<int16_t>(r.u16()) % 800;
  uint8_t justify = r.u8();
  box.h = static_cast<tarnvik::HJustify>(justify % 4);
  box.v = static_cast<tarnvik::VJustify>((justify / 4) % 3);
  box.lineSpacing = static_cast<int8_t>(r.u8());
  size_t fontBytes = std::min<size_t>(r.u16(), r.remaining());
  if (!r.ok()) return 0;
  auto fontData = r.view(fontBytes);
  CSimpleFont6 loaded;
  const bool own = loaded.LoadFromMemory(fontData.data(), fontData.size());
  CSimpleFont6& font = own ? loaded : fallbackFont();
  auto rest = r.view(r.remaining());
  std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());

  tarnvik::CTextLayout layout;
  layout.layout(font, text, box);
  const int lineHeight = font.Height() + box.lineSpacing;
  if (layout.height() != lineHeight * layout.numLines()) std::abort();
  if (layout.numLines() == 0 && !layout.letters().empty()) std::abort();
  for (const tarnvik::PlacedLetter& letter : layout.letters()) {
    // x may go left of the box: a font's kerning can take more than a letter's width.
    if (lineHeight > 0 && letter.y < 0) std::abort();
    if (font.findLetter(letter.c) < 0) std::abort();  // missing letters are dropped
  }
  CGraphicsObject surface;
  if (surface.create(std::clamp(box.width, 1, 256), std::clamp(box.height, 1, 256), 16, true)) layout.draw(font, &surface);
  return 0;
}
