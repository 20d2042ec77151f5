// The player's menu drawn into a frame of its own.
#include "application/menu/menu_drawing.h"

#include <algorithm>
#include <string>

#include "application/menu/player_menu.h"
#include "foundation/cp1250.h"
#include "graphics/font.h"
#include "graphics/pixels/graphics_object.h"

namespace tarnvik {

namespace {

constexpr int kTextLeft = 8;  // from an entry's left edge to its words

// A frame being drawn: pixels packed row after row, every write clipped to it.
struct Frame {
  std::vector<uint16_t>& pixels;
  int width, height;

  void fill(const PixelRect& r, uint16_t colour) {
    int x0 = std::max(0, r.x), y0 = std::max(0, r.y);
    int x1 = std::min(width, r.x + r.w), y1 = std::min(height, r.y + r.h);
    for (int y = y0; y < y1; ++y)
      std::fill_n(pixels.begin() + static_cast<ptrdiff_t>(y) * width + x0, std::max(0, x1 - x0), colour);
  }
  void frame(const PixelRect& r, uint16_t colour) {
    fill({r.x, r.y, r.w, 1}, colour);
    fill({r.x, r.y + r.h - 1, r.w, 1}, colour);
    fill({r.x, r.y, 1, r.h}, colour);
    fill({r.x + r.w - 1, r.y, 1, r.h}, colour);
  }
  void picture(const std::vector<uint16_t>& src, int w, int h, int x, int y) {
    for (int row = 0; row < h; ++row)
      for (int col = 0; col < w; ++col)
        if (x + col >= 0 && y + row >= 0 && x + col < width && y + row < height)
          pixels[static_cast<size_t>(y + row) * static_cast<size_t>(width) + static_cast<size_t>(x + col)] =
              src[static_cast<size_t>(row) * static_cast<size_t>(w) + static_cast<size_t>(col)];
  }
};

// Words in the built-in font (its letters are Windows-1250), cut at the box's right edge.
void text(CSimpleFont6* font, CGraphicsObject& target, const std::string& utf8, const PixelRect& box, int y) {
  if (!font || utf8.empty()) return;
  std::string letters = cp1250::fromUtf8(utf8);
  int x = box.x + kTextLeft, right = box.x + box.w - 2;
  char previous = 0;
  for (char c : letters) {
    int next = x + font->getLetterWidth(previous, c);
    if (next > right) break;
    x += font->drawLetter(&target, x, y, previous, c);
    previous = c;
  }
}

int middle(const CSimpleFont6* font, const PixelRect& box) { return box.y + (box.h - (font ? font->Height() : 0)) / 2; }

void drawEntry(Frame& frame, CSimpleFont6* font, CGraphicsObject& target, const MenuEntry& entry, bool selected) {
  const PixelRect& b = entry.box;
  if (b.w <= 0) return;
  if (selected) frame.fill(b, kMenuHighlight);
  if (entry.kind == MenuEntry::kName) {
    PixelRect field{b.x + 4, b.y + 2, b.w - 8, b.h - 4};
    frame.fill(field, kMenuField);
    frame.frame(field, kMenuBorder);
    text(font, target, entry.label + "_", b, middle(font, b));
    return;
  }
  if (entry.kind != MenuEntry::kSlot) {
    text(font, target, entry.label, b, middle(font, b));
    return;
  }
  // A slot: its picture (or an empty frame), the label, then scene and date under it.
  PixelRect thumb{b.x + 3, b.y + 3, PlayerMenu::kThumbWidth, PlayerMenu::kThumbHeight};
  if (entry.thumbnail.size() == static_cast<size_t>(thumb.w) * static_cast<size_t>(thumb.h))
    frame.picture(entry.thumbnail, thumb.w, thumb.h, thumb.x, thumb.y);
  else
    frame.frame(thumb, kMenuBorder);
  PixelRect words{thumb.x + thumb.w + 2, b.y, b.w - thumb.w - 5, b.h / 2};
  text(font, target, entry.label, words, words.y + 8);
  text(font, target, entry.detail, words, words.y + words.h + 4);
}

}  // namespace

void drawPlayerMenu(const PlayerMenu& menu, const uint16_t* behind, int pitch, int width, int height,
                    CSimpleFont6* font, std::vector<uint16_t>& out) {
  out.assign(static_cast<size_t>(std::max(0, width)) * static_cast<size_t>(std::max(0, height)), 0);
  if (width <= 0 || height <= 0) return;
  if (behind)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        out[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
            dimmed565(behind[static_cast<size_t>(y) * static_cast<size_t>(pitch) + static_cast<size_t>(x)]);
  if (!menu.isOpen()) return;
  Frame frame{out, width, height};
  CGraphicsObject target;
  target.SetDataPtr(out.data(), width, height, 16, width);
  frame.fill(menu.panel(), kMenuPanel);
  frame.frame(menu.panel(), kMenuBorder);
  const PixelRect& title = menu.titleBox();
  frame.fill({title.x, title.y + title.h - 2, title.w, 1}, kMenuBorder);
  text(font, target, menu.title(), title, middle(font, title));
  for (size_t i = 0; i < menu.entries().size(); ++i)
    drawEntry(frame, font, target, menu.entries()[i], static_cast<int>(i) == menu.selected());
  text(font, target, menu.status(), menu.statusBox(), middle(font, menu.statusBox()));
}

}  // namespace tarnvik
