// Text layout over a bitmap font: lines broken at "\n" and at the box's right edge, justified in a
// box, and the letters of each line placed where drawLetter will draw them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CGraphicsObject;
class CSimpleFont6;

namespace tarnvik {

enum class HJustify { Left, Center, Right, Justify };
enum class VJustify { Top, Center, Bottom };

// Parses "LEFT", "CENTER", "RIGHT", "JUSTIFY" / "TOP", "CENTER", "BOTTOM" (any case); false for others.
bool parseHJustify(std::string_view text, HJustify& out);
bool parseVJustify(std::string_view text, VJustify& out);

struct TextBox {
  int width = 0, height = 0;
  HJustify h = HJustify::Left;
  VJustify v = VJustify::Top;
  int lineSpacing = 0;  // pixels added to the font's strip height for every line
};

// One letter where it is drawn, in the box's coordinates; `previous` is the letter before it on
// its line (a blank at the start of a line), which decides the kerning.
struct PlacedLetter {
  int x = 0, y = 0;
  char previous = 0, c = 0;
};

class CTextLayout {
 public:
  // The text as TEXT shows it: the two characters "\n" break the line, "_" is a blank, letters
  // the font lacks are dropped (each warned about once per font).
  static std::string prepare(const CSimpleFont6& font, std::string_view text);
  // The width of one line of prepared text: the advances of its letters (kerning included), less
  // the 2 spacing pixels after the last drawn letter.
  static int lineWidth(const CSimpleFont6& font, std::string_view line);
  // Where the letter after the line would start: its advances, the last 2 spacing pixels included.
  static int lineAdvance(const CSimpleFont6& font, std::string_view line);

  // Lays the text out in the box. The font must stay alive until draw.
  void layout(const CSimpleFont6& font, std::string_view text, const TextBox& box);
  // Draws the placed letters into the destination, shifted by (dx, dy).
  void draw(CSimpleFont6& font, CGraphicsObject* destination, int dx = 0, int dy = 0) const;

  const std::vector<PlacedLetter>& letters() const { return letters_; }
  int numLines() const { return static_cast<int>(lines_.size()); }
  // The widest line and the height of all lines (each the strip height plus the line spacing).
  int width() const { return widest_; }
  int height() const { return height_; }

 private:
  struct Piece {  // a word or a run of blanks of one paragraph
    std::string_view text;
    bool blank = false;
  };
  struct Line {
    std::string text;  // the prepared letters of the line, blanks included
    int width = 0;
    bool paragraphEnd = false;
  };
  void breakParagraph(const CSimpleFont6& font, std::string_view paragraph, int boxWidth);
  void breakWord(const CSimpleFont6& font, std::string_view word, Line& line, int boxWidth);
  void placeLine(const CSimpleFont6& font, const Line& line, int y, const TextBox& box);

  std::vector<Line> lines_;
  std::vector<PlacedLetter> letters_;
  int widest_ = 0, height_ = 0;
};

}  // namespace tarnvik
