// Bitmap fonts: files read and written, fonts built from animations, letter widths with margins and
// kerning, drawing letters into a drawable, and the collection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/animation.h"
#include "graphics/font.h"

namespace {

// A letter of width w (in a cell of `cell` columns) whose opaque columns run from `left` to w - right.
std::unique_ptr<CAnimoFrame> glyph(int w, int h, int left, int right, uint16_t colour) {
  auto f = std::make_unique<CAnimoFrame>();
  EXPECT_TRUE(f->create(w, h, 16, true));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      f->pixels16()[y * w + x] = colour;
      f->GetAlphaPtr()[y * w + x] = x >= left && x < w - right ? 255 : 0;
    }
  return f;
}

// A font of the letters "A", "V", "l", "<" built from an animation with one event per letter.
std::unique_ptr<CSimpleFont6> makeFont() {
  CAnimo animo;
  animo.AddFrame(glyph(8, 5, 1, 2, 0x1111));  // A: 5 wide
  animo.AddFrame(glyph(8, 5, 0, 1, 0x2222));  // V: 7 wide
  animo.AddFrame(glyph(4, 5, 1, 1, 0x3333));  // l: 2 wide, 4 more empty columns in its cell
  animo.AddFrame(glyph(8, 5, 2, 2, 0x4444));  // <: 4 wide
  const char* names[] = {"A", "Vee", "l", "<"};
  for (int i = 0; i < 4; ++i) {
    CAnimoEvent e;
    e.name = names[i];
    CAnimoEntry entry;
    entry.frame = i;
    e.entries.push_back(entry);
    animo.AddEvent(e);
  }
  auto font = std::make_unique<CSimpleFont6>();
  EXPECT_TRUE(font->create(animo));
  return font;
}

TEST(FontTest, BuiltFromAnAnimationWithMarginsFromTransparentColumns) {
  auto made = makeFont();
  CSimpleFont6& font = *made;
  ASSERT_EQ(font.getLetterCount(), 4);
  EXPECT_EQ(font.getCellWidth(), 8);
  EXPECT_EQ(font.Width(), 32);
  EXPECT_EQ(font.getLetter(1), 'V') << "the first character of the event's name";
  EXPECT_EQ(font.getLeftMargin(0), 1);
  EXPECT_EQ(font.getRightMargin(0), 2);
  EXPECT_EQ(font.getRightMargin(2), 5) << "the narrow frame's cell is padded on the right";
  EXPECT_EQ(font.getLetterWidth(0, 'A'), 5);
  EXPECT_EQ(font.getLetterWidth(0, 'l'), 2);
  EXPECT_EQ(font.getLetterWidth(0, ' '), 2) << "a blank is as wide as l";
  EXPECT_EQ(font.getLetterWidth(0, '~'), 1);
  EXPECT_EQ(font.getLetterWidth(0, 'Q'), 0);
  EXPECT_EQ(font.findLetter('@'), 3) << "@ is drawn with <";
  EXPECT_EQ(font.findLetter('$'), -1) << "no > in the font";
}

TEST(FontTest, KerningMakesPairsNarrower) {
  auto made = makeFont();
  CSimpleFont6& font = *made;
  int a = font.findLetter('A'), v = font.findLetter('V');
  font.setKerning(a, v, 2);
  EXPECT_EQ(font.getLetterWidth('A', 'V'), 7 - 2);
  EXPECT_EQ(font.getLetterWidth(0, 'V'), 7);
  EXPECT_EQ(font.getLetterWidth('V', 'A'), 5);
  EXPECT_EQ(font.getTextWidth("AV"), font.getTextWidth("A") + font.getTextWidth("V") - 2);
}

TEST(FontTest, FilesRoundTripAndBadFilesAreRefused) {
  auto made = makeFont();
  CSimpleFont6& font = *made;
  font.setKerning(0, 1, -3);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(font.SaveToMemory(bytes));
  CSimpleFont6 read;
  ASSERT_TRUE(read.LoadFromMemory(bytes.data(), bytes.size()));
  EXPECT_EQ(read.getLetterCount(), 4);
  EXPECT_EQ(read.getCellWidth(), 8);
  EXPECT_EQ(read.getKerning(0, 1), -3);
  EXPECT_EQ(read.getRightMargin(2), 5);
  EXPECT_EQ(read.GetPixel(9, 2), font.GetPixel(9, 2));
  EXPECT_EQ(read.GetAlpha(0, 0), 0);
  std::vector<uint8_t> again;
  ASSERT_TRUE(read.SaveToMemory(again));
  EXPECT_EQ(again, bytes);

  for (size_t cut = 0; cut < bytes.size(); cut += 7) EXPECT_FALSE(read.LoadFromMemory(bytes.data(), cut)) << cut;
  // No letters: refused rather than divided by.
  std::vector<uint8_t> none = bytes;
  none[16] = none[17] = none[18] = none[19] = 0;
  EXPECT_FALSE(read.LoadFromMemory(none.data(), none.size()));
  EXPECT_EQ(read.getLetterCount(), 0);
  EXPECT_EQ(read.getLetterWidth(0, 'A'), 0);
  // A letter count whose kerning table cannot be in the file.
  std::vector<uint8_t> many = bytes;
  many[17] = 0x7F;
  EXPECT_FALSE(read.LoadFromMemory(many.data(), many.size()));
}

TEST(FontTest, DrawsOnlyTheLettersColumnsAndAdvancesByWidthPlusTwo) {
  auto made = makeFont();
  CSimpleFont6& font = *made;
  CGraphicsObject page(40, 6, 16, false);
  int advance = font.drawLetter(&page, 10, 1, 0, 'A');
  EXPECT_EQ(advance, 5 + 2);
  for (int x = 0; x < 40; ++x) EXPECT_EQ(page.GetPixel(x, 2), x >= 10 && x < 15 ? 0x1111 : 0) << x;
  EXPECT_EQ(page.GetPixel(12, 0), 0) << "the row above the letter";
  EXPECT_EQ(font.drawLetter(&page, 0, 0, 0, ' '), 2);
  EXPECT_EQ(font.drawLetter(&page, 0, 0, 0, 'Q'), 0);
  EXPECT_EQ(page.GetPixel(0, 0), 0);
  CGraphicsObject line(40, 6, 16, false);
  EXPECT_EQ(font.drawText(&line, 0, 0, "@l"), 4 + 2 + 2 + 2);
  EXPECT_EQ(line.GetPixel(0, 0), 0x4444);
  EXPECT_EQ(line.GetPixel(6, 0), 0x3333);
  // The font's own place and clipping are as before.
  EXPECT_EQ(font.GetPosition(), CXPoint());
  EXPECT_TRUE(font.GetClippingRect().isEmpty());
}

TEST(FontTest, TheCollectionFindsByFamilyStyleAndSize) {
  CFontCollection fonts;
  for (int size : {10, 12}) {
    auto font = std::make_unique<CSimpleFont6>();
    font->setFamily("Serif");
    font->setStyle("Bold");
    font->setSize(size);
    fonts.add(std::move(font));
  }
  ASSERT_NE(fonts.get("serif", "BOLD", 12), nullptr);
  EXPECT_EQ(fonts.get("serif", "BOLD", 12)->getSize(), 12);
  EXPECT_EQ(fonts.get("Serif", "Italic", 12), nullptr);
  EXPECT_EQ(fonts.get("Serif", "Bold", 11), nullptr);
}

}  // namespace
