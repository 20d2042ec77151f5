// Text layout over the test font: where lines break and letters land, for the cases the screen
// tests do not reach (several blanks sharing JUSTIFY's pixels, blanks at a break, empty texts).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/font.h"
#include "graphics/text_layout.h"
#include "support/test_font.h"

namespace {

using namespace tarnvik::testfont;
using tarnvik::CTextLayout;
using tarnvik::HJustify;
using tarnvik::TextBox;

constexpr int A = kCell - 1 - 2 + 2, BLANK = kCell - 2 - 3;  // the advance of A and the blank (l's width)

class TextLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<uint8_t> bytes = testFontFile();
    ASSERT_TRUE(font_.LoadFromMemory(bytes.data(), bytes.size()));
  }
  // The x of every placed letter, line by line ("|" between lines).
  std::string placesOf(const std::string& text, TextBox box) {
    CTextLayout layout;
    layout.layout(font_, text, box);
    std::string out;
    int y = 0;
    for (const auto& l : layout.letters()) {
      if (l.y != y) out += '|';
      y = l.y;
      out += l.c;
      out += std::to_string(l.x);
      out += ' ';
    }
    return out;
  }
  CSimpleFont6 font_;
};

TEST_F(TextLayoutTest, JustifyGivesTheFirstBlanksOneMorePixelOfTheRemainder) {
  // "A A A" is 5 + 2 * (2 + 3 + 5) wide: 25 in a box of 30 with one more A following on a new
  // line; 5 pixels over 2 blanks: 3 to the first, 2 to the second.
  TextBox box{30, 100, HJustify::Justify};
  static_assert(A + BLANK + 3 == 13 && 2 * (A + BLANK) + 5 == 25);
  EXPECT_EQ(placesOf("A A A AB", box), "A0 A13 A25 |A0 B7 ");
}

TEST_F(TextLayoutTest, BlanksAtABreakVanishAndBlanksThatBeginAParagraphIndentIt) {
  TextBox box{20, 100};
  EXPECT_EQ(placesOf("AB     AB", box), "A0 B7 |A0 B7 ") << "the run of blanks at the break is dropped";
  static_assert(BLANK == 3 && A == 7, "the test font's blank and A");
  EXPECT_EQ(placesOf("  AB", box), "A6 B13 ") << "two blanks before A";
}

TEST_F(TextLayoutTest, EmptyTextsAndEmptyLinesCountAsTheyShould) {
  CTextLayout layout;
  layout.layout(font_, "", TextBox{50, 50});
  EXPECT_EQ(layout.numLines(), 0);
  EXPECT_EQ(layout.height(), 0);
  layout.layout(font_, "A\\n\\nB", TextBox{50, 50});
  EXPECT_EQ(layout.numLines(), 3) << "an empty line between two";
  EXPECT_EQ(layout.letters().back().y, 2 * kHeight);
  layout.layout(font_, "qqq", TextBox{50, 50});
  EXPECT_EQ(layout.numLines(), 0) << "letters the font lacks leave nothing";
}

TEST_F(TextLayoutTest, ALetterWiderThanTheBoxStillGetsALineOfItsOwn) {
  TextBox box{3, 100};
  EXPECT_EQ(placesOf("AB", box), "A0 |B0 ");
  CTextLayout layout;
  layout.layout(font_, "AB", TextBox{3, 100, HJustify::Right});
  EXPECT_EQ(layout.letters()[0].x, 0) << "never left of the box";
}

TEST_F(TextLayoutTest, JustificationNamesAreReadInAnyCase) {
  HJustify h = HJustify::Left;
  tarnvik::VJustify v = tarnvik::VJustify::Top;
  EXPECT_TRUE(tarnvik::parseHJustify("justify", h));
  EXPECT_EQ(h, HJustify::Justify);
  EXPECT_TRUE(tarnvik::parseVJustify("Bottom", v));
  EXPECT_EQ(v, tarnvik::VJustify::Bottom);
  EXPECT_FALSE(tarnvik::parseHJustify("MIDDLE", h));
  EXPECT_EQ(h, HJustify::Justify) << "unchanged by an unknown name";
}

}  // namespace
