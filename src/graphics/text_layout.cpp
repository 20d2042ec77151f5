// Text layout: preparing the text, breaking it into lines, justifying and placing the letters.
#include "graphics/text_layout.h"

#include <algorithm>

#include "foundation/log.h"
#include "foundation/xstring.h"
#include "graphics/font.h"

namespace tarnvik {

namespace {

bool isBlank(char c) { return c == ' '; }
// Blanks and "~" are spacing only: they advance the pen and draw nothing.
bool isDrawn(char c) { return c != ' ' && c != '~'; }

// A line starts as if after a blank, so a font's kerning after a blank applies to its first letter.
constexpr char kLineStart = ' ';

// The pen along one line: the advances of drawLetter summed, and the letter before the next one.
struct Pen {
  int advance = 0;
  char last = kLineStart;

  void add(const CSimpleFont6& font, char c) {
    advance += font.getLetterWidth(last, c) + (isDrawn(c) ? 2 : 0);
    last = c;
  }
  void add(const CSimpleFont6& font, std::string_view text) {
    for (char c : text) add(font, c);
  }
  // The ink's extent: no spacing after the last drawn letter.
  int width() const { return advance - (isDrawn(last) ? 2 : 0); }
};

bool equalsIgnoreCase(std::string_view a, const char* b) {
  return CXString(a).equalsIgnoreCase(CXString(b));
}

}  // namespace

bool parseHJustify(std::string_view text, HJustify& out) {
  static const struct { const char* name; HJustify value; } rows[] = {
      {"LEFT", HJustify::Left}, {"CENTER", HJustify::Center}, {"RIGHT", HJustify::Right}, {"JUSTIFY", HJustify::Justify}};
  for (const auto& row : rows)
    if (equalsIgnoreCase(text, row.name)) {
      out = row.value;
      return true;
    }
  return false;
}

bool parseVJustify(std::string_view text, VJustify& out) {
  static const struct { const char* name; VJustify value; } rows[] = {
      {"TOP", VJustify::Top}, {"CENTER", VJustify::Center}, {"BOTTOM", VJustify::Bottom}};
  for (const auto& row : rows)
    if (equalsIgnoreCase(text, row.name)) {
      out = row.value;
      return true;
    }
  return false;
}

std::string CTextLayout::prepare(const CSimpleFont6& font, std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else if (c == '\n') {
      out += '\n';
    } else if (c == '_') {
      out += ' ';  // scripts lose their blanks before a statement is read; "_" puts one back
    } else if (c == ' ' || c == '~' || font.findLetter(c) >= 0) {
      out += c;
    } else if (c != '\r' && font.noteMissing(c)) {
      TLOG_WARN("font " << (font.getFileName().isEmpty() ? font.getFamily().view() : font.getFileName().view())
                        << " has no letter '" << c << "' (code " << static_cast<int>(static_cast<unsigned char>(c))
                        << "); it is skipped");
    }
  }
  return out;
}

int CTextLayout::lineWidth(const CSimpleFont6& font, std::string_view line) {
  Pen pen;
  pen.add(font, line);
  return pen.width();
}

int CTextLayout::lineAdvance(const CSimpleFont6& font, std::string_view line) {
  Pen pen;
  pen.add(font, line);
  return pen.advance;
}

void CTextLayout::layout(const CSimpleFont6& font, std::string_view text, const TextBox& box) {
  lines_.clear();
  letters_.clear();
  widest_ = height_ = 0;
  const std::string prepared = prepare(font, text);
  if (prepared.empty()) return;
  std::string_view rest = prepared;
  for (;;) {
    size_t end = rest.find('\n');
    breakParagraph(font, rest.substr(0, end), box.width);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  const int lineHeight = font.Height() + box.lineSpacing;
  height_ = lineHeight * numLines();
  int top = box.v == VJustify::Center ? (box.height - height_) / 2 : box.v == VJustify::Bottom ? box.height - height_ : 0;
  top = std::max(0, top);  // an overfull box shows its first lines
  for (size_t i = 0; i < lines_.size(); ++i) {
    widest_ = std::max(widest_, lines_[i].width);
    placeLine(font, lines_[i], top + static_cast<int>(i) * lineHeight, box);
  }
}

void CTextLayout::breakParagraph(const CSimpleFont6& font, std::string_view paragraph, int boxWidth) {
  // Words and the runs of blanks between them.
  std::vector<Piece> pieces;
  for (size_t i = 0; i < paragraph.size();) {
    size_t j = i;
    bool blank = isBlank(paragraph[i]);
    while (j < paragraph.size() && isBlank(paragraph[j]) == blank) ++j;
    pieces.push_back({paragraph.substr(i, j - i), blank});
    i = j;
  }
  Line line;
  Pen pen;
  std::string_view gap;
  bool started = false;  // a word has been placed in this paragraph
  for (const Piece& piece : pieces) {
    if (piece.blank) {
      // Blanks before the paragraph's first word indent it; between words they wait for the next
      // word and vanish at a line break.
      if (!started) {
        line.text += piece.text;
        pen.add(font, piece.text);
      } else {
        gap = piece.text;
      }
      continue;
    }
    Pen candidate = pen;
    candidate.add(font, gap);
    candidate.add(font, piece.text);
    if (candidate.width() <= boxWidth) {
      line.text += gap;
      line.text += piece.text;
      pen = candidate;
    } else {
      if (!line.text.empty()) {
        line.width = pen.width();
        lines_.push_back(std::move(line));
        line = Line();
        pen = Pen();
      }
      Pen alone;
      alone.add(font, piece.text);
      if (alone.width() <= boxWidth) {
        line.text = piece.text;
        pen = alone;
      } else {
        breakWord(font, piece.text, line, boxWidth);
        pen = Pen();
        pen.add(font, line.text);
      }
    }
    gap = {};
    started = true;
  }
  line.width = pen.width();
  line.paragraphEnd = true;
  lines_.push_back(std::move(line));
}

void CTextLayout::breakWord(const CSimpleFont6& font, std::string_view word, Line& line, int boxWidth) {
  Pen pen;
  pen.add(font, line.text);
  for (char c : word) {
    Pen candidate = pen;
    candidate.add(font, c);
    // Every line holds at least one letter, so a letter wider than the box still shows.
    if (candidate.width() > boxWidth && !line.text.empty()) {
      line.width = pen.width();
      lines_.push_back(std::move(line));
      line = Line();
      candidate = Pen();
      candidate.add(font, c);
    }
    line.text += c;
    pen = candidate;
  }
}

void CTextLayout::placeLine(const CSimpleFont6& font, const Line& line, int y, const TextBox& box) {
  const int free = box.width - line.width;
  int x = box.h == HJustify::Center ? free / 2 : box.h == HJustify::Right ? free : 0;
  x = std::max(0, x);
  // JUSTIFY spreads the free pixels over the blanks between words, the first ones getting the
  // remainder; the last line of a paragraph stays as it is.
  int blanks = 0;
  const size_t firstWord = line.text.find_first_not_of(' ');
  const bool justify = box.h == HJustify::Justify && !line.paragraphEnd && free > 0 && firstWord != std::string::npos;
  if (justify) blanks = static_cast<int>(std::count(line.text.begin() + static_cast<long>(firstWord), line.text.end(), ' '));
  int blankIndex = 0;
  char previous = kLineStart;
  for (size_t i = 0; i < line.text.size(); ++i) {
    char c = line.text[i];
    if (isDrawn(c)) letters_.push_back({x, y, previous, c});
    x += font.getLetterWidth(previous, c) + (isDrawn(c) ? 2 : 0);
    if (c == ' ' && blanks > 0 && i > firstWord) {
      x += free / blanks + (blankIndex < free % blanks ? 1 : 0);
      ++blankIndex;
    }
    previous = c;
  }
}

void CTextLayout::draw(CSimpleFont6& font, CGraphicsObject* destination, int dx, int dy) const {
  for (const PlacedLetter& letter : letters_)
    font.drawLetter(destination, letter.x + dx, letter.y + dy, letter.previous, letter.c);
}

}  // namespace tarnvik
