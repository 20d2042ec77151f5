// Fuzz target: arbitrary bytes through the font file reader; a font that reads writes the same
// bytes back, measures and draws without faults.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/log.h"
#include "graphics/font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnvik::log::setLevel(tarnvik::log::Level::off);
  CSimpleFont6 font;
  if (!font.LoadFromMemory(data, size)) {
    if (font.getLetterCount() != 0) std::abort();
    return 0;
  }
  std::vector<uint8_t> bytes;
  if (!font.SaveToMemory(bytes)) std::abort();
  CSimpleFont6 again;
  if (!again.LoadFromMemory(bytes.data(), bytes.size()) || again.getLetterCount() != font.getLetterCount()) std::abort();
  CGraphicsObject page(64, 16, 16, false);
  CXString text;
  for (int i = 0; i < font.getLetterCount() && i < 8; ++i) text += font.getLetter(i);
  text += " ~@$";
  font.drawText(&page, -3, 2, text);
  font.getTextWidth(text);
  return 0;
}
