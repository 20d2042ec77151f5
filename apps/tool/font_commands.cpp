// Font making: TrueType fonts rendered through FreeType (ttf2font) and strips of letter cells in a
// PNG (png2font) written as the engine's font files.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>

#include "commands.h"
#include "files/file.h"
#include "foundation/atomic_file.h"
#include "foundation/cp1250.h"
#include "graphics/font.h"
#include "graphics/formats/png.h"

namespace tarnvik::tool {

namespace {

constexpr const char* kTtfArguments = "FONT.ttf SIZE OUT.FNT [--chars FILE] [--color RRGGBB] [--outline N]";

struct TtfOptions {
  std::string fontFile, outFile, charsFile;
  int size = 0, outline = 0;
  int red = 255, green = 255, blue = 255;
};

bool parseNumber(const std::string& text, int low, int high, int& out) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || v < low || v > high) return false;
  out = static_cast<int>(v);
  return true;
}

bool parseTtfOptions(const std::vector<std::string>& args, TtfOptions& o, std::string& error) {
  std::vector<std::string> plain;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "--chars" && hasValue) {
      o.charsFile = args[++i];
    } else if (a == "--color" && hasValue) {
      const std::string& c = args[++i];
      unsigned rgb = 0;
      if (c.size() != 6 || std::sscanf(c.c_str(), "%6x", &rgb) != 1) return error = "--color takes RRGGBB in hex", false;
      o.red = static_cast<int>(rgb >> 16);
      o.green = static_cast<int>((rgb >> 8) & 0xFF);
      o.blue = static_cast<int>(rgb & 0xFF);
    } else if (a == "--outline" && hasValue) {
      if (!parseNumber(args[++i], 0, 16, o.outline)) return error = "--outline takes 0 to 16 pixels", false;
    } else if (a.rfind("--", 0) == 0) {
      return error = "unknown or incomplete option " + a, false;
    } else {
      plain.push_back(a);
    }
  }
  if (plain.size() != 3) return error = "", false;
  o.fontFile = plain[0];
  o.outFile = plain[2];
  if (!parseNumber(plain[1], 4, 256, o.size)) return error = "SIZE is a pixel size from 4 to 256", false;
  return true;
}

// The default letters: printable ASCII and the letters of Windows-1250. "~", "@" and "$" are left
// out: the engine spaces with "~" and draws "@" and "$" with "<" and ">". The blank is kept as a
// letter only for its kerning (the engine never draws it).
std::vector<char> defaultLetters() {
  std::vector<char> letters;
  for (int b = 32; b < 256; ++b) {
    if (b == '~' || b == '@' || b == '$' || b == 0x7F || b == 0xA0 || b == 0xAD) continue;
    if (b >= 0x80 && cp1250::toUnicode(static_cast<uint8_t>(b)) == 0) continue;
    letters.push_back(static_cast<char>(b));
  }
  return letters;
}

// The letters of a UTF-8 file, each once, in file order; blanks and line ends are skipped.
bool lettersFromFile(const std::string& file, std::vector<char>& letters, CommandIo& io) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::stringstream text;
  text << in.rdbuf();
  const std::string utf8 = text.str();
  for (size_t i = 0; i < utf8.size();) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : 4;
    std::string one = utf8.substr(i, length);
    i += length;
    std::string byte = cp1250::fromUtf8(one);
    char c = byte.empty() ? '?' : byte[0];
    if (c == '\n' || c == '\r' || c == '\t') continue;
    if (c == '?' && one != "?") {
      io.err << "tarnvik-tool: " << one << " is not in Windows-1250; it is skipped\n";
      continue;
    }
    if (std::find(letters.begin(), letters.end(), c) == letters.end()) letters.push_back(c);
  }
  return true;
}

// One rendered letter: its coverage (0-255) and where FreeType puts it.
struct Rendered {
  char letter = 0;
  unsigned glyphIndex = 0;
  int width = 0, rows = 0, left = 0, top = 0, advance = 0;
  std::vector<uint8_t> coverage;
};

uint16_t to565(int r, int g, int b) { return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); }

// Writes a glyph into its cell: the text colour where FreeType covers, darkened towards the black
// outline around it; alpha the larger of the coverage and the outline's spread of it.
void paintGlyph(CSimpleFont6& font, int index, const Rendered& g, int baseline, const TtfOptions& o) {
  const int cell = font.getCellWidth(), height = font.Height(), pitch = font.GetPitch();
  const int ox = index * cell + 1, oy = baseline - g.top;
  auto coverageAt = [&](int x, int y) -> int {  // coverage in cell coordinates relative to the glyph box
    int gx = x - o.outline, gy = y - oy;
    if (gx < 0 || gy < 0 || gx >= g.width || gy >= g.rows) return 0;
    return g.coverage[static_cast<size_t>(gy) * g.width + gx];
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < g.width + 2 * o.outline && x + 1 < cell; ++x) {
      int c = coverageAt(x, y), spread = c;
      for (int dy = -o.outline; dy <= o.outline; ++dy)
        for (int dx = -o.outline; dx <= o.outline; ++dx) spread = std::max(spread, coverageAt(x + dx, y + dy));
      if (spread == 0) continue;
      int share = c * 255 / spread;  // how much of the visible pixel is letter rather than outline
      size_t at = static_cast<size_t>(y) * pitch + ox + x;
      font.pixels16()[at] = to565(o.red * share / 255, o.green * share / 255, o.blue * share / 255);
      font.GetAlphaPtr()[at] = static_cast<uint8_t>(spread);
    }
}

// Renders every letter the face has; letters it lacks are reported and left out.
bool renderLetters(FT_Face face, const std::vector<char>& wanted, std::vector<Rendered>& out, CommandIo& io) {
  for (char letter : wanted) {
    char32_t code = cp1250::toUnicode(static_cast<uint8_t>(letter));
    unsigned index = FT_Get_Char_Index(face, code);
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0 ||
        face->glyph->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
      io.err << "tarnvik-tool: the font has no letter U+" << std::hex << static_cast<unsigned>(code) << std::dec
             << "; it is left out\n";
      continue;
    }
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    Rendered g;
    g.letter = letter;
    g.glyphIndex = index;
    g.width = static_cast<int>(bitmap.width);
    g.rows = static_cast<int>(bitmap.rows);
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
    g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
    for (int y = 0; y < g.rows; ++y)
      for (int x = 0; x < g.width; ++x)
        g.coverage[static_cast<size_t>(y) * g.width + x] = bitmap.buffer[y * bitmap.pitch + x];
    out.push_back(std::move(g));
  }
  return !out.empty();
}

// The engine adds 2 pixels after every drawn letter, and takes a kerning entry off the advance of a
// letter that follows another one (or a blank, as the first of a line does). Every entry therefore
// gets those 2 pixels, so that each letter advances by FreeType's advance, plus what the face's
// kerning table narrows the pair by. `pairs` counts the face's own pairs.
void setKerning(FT_Face face, const std::vector<Rendered>& glyphs, CSimpleFont6& font, int& pairs) {
  pairs = 0;
  const int n = font.getLetterCount();
  auto glyphOf = [&](int i) { return static_cast<size_t>(i) < glyphs.size() ? glyphs[static_cast<size_t>(i)].glyphIndex : 0u; };
  for (int p = 0; p < n; ++p)
    for (int c = 0; c < n; ++c) {
      int narrower = 0;
      FT_Vector delta{};
      if (FT_HAS_KERNING(face) && glyphOf(p) && glyphOf(c) &&
          FT_Get_Kerning(face, glyphOf(p), glyphOf(c), FT_KERNING_DEFAULT, &delta) == 0 && delta.x != 0) {
        narrower = -static_cast<int>((delta.x + (delta.x < 0 ? -32 : 32)) / 64);
        if (narrower) ++pairs;
      }
      font.setKerning(p, c, 2 + narrower);
    }
}

// Builds the font: cells wide enough for every letter's ink and advance; each letter's left margin
// is the transparent columns before its ink, its width the larger of ink and advance; kerning
// from the face's kerning table.
bool buildFont(FT_Face face, const std::vector<Rendered>& glyphs, const TtfOptions& o, CSimpleFont6& font, int& pairs) {
  const int ascender = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  const int descender = static_cast<int>(face->size->metrics.descender >> 6);  // negative or 0
  int height = ascender - descender + 2 * o.outline, widest = 1;
  for (const Rendered& g : glyphs) {
    widest = std::max(widest, std::max(g.width + 2 * o.outline, g.advance));
    height = std::max(height, ascender - g.top + g.rows + 2 * o.outline);  // letters reaching below the descender
  }
  std::vector<char> letters;
  for (const Rendered& g : glyphs) letters.push_back(g.letter);
  // Kerning needs the blank as a letter: texts start their lines as if after one.
  if (std::find(letters.begin(), letters.end(), ' ') == letters.end()) letters.push_back(' ');
  if (!font.createEmpty(widest + 2, height, letters)) return false;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const Rendered& g = glyphs[i];
    paintGlyph(font, static_cast<int>(i), g, ascender + o.outline, o);
    int span = std::max(g.width + 2 * o.outline, g.advance);
    int left = 1;
    if (g.width > 0) {
      // Measured: the first column with any alpha.
      CXRect cellRect(static_cast<int>(i) * font.getCellWidth(), 0, static_cast<int>(i + 1) * font.getCellWidth(), height);
      left = 0;
      for (bool found = false; !found && left < font.getCellWidth(); ++left)
        for (int y = 0; y < height && !found; ++y) found = font.GetAlpha(cellRect.left + left, y) != 0;
      --left;
    }
    font.setMargins(static_cast<int>(i), left, font.getCellWidth() - left - span);
  }
  setKerning(face, glyphs, font, pairs);
  font.setSize(o.size);
  return true;
}

bool writeFont(const CSimpleFont6& font, const std::string& file, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!font.SaveToMemory(bytes)) return error = "the font cannot be written", false;
  return replaceFileAtomically(file, bytes.data(), bytes.size(), 0644, false, error);
}

void report(CommandIo& io, const std::string& file, const CSimpleFont6& font, int pairs) {
  io.out << "wrote " << file << ": " << font.getLetterCount() << " letters, cells " << font.getCellWidth() << " x "
         << font.Height() << ", size " << font.getSize() << ", " << pairs << " kerning pairs\n";
}

}  // namespace

int runTtf2Font(const std::vector<std::string>& args, CommandIo& io) {
  TtfOptions o;
  std::string error;
  if (!parseTtfOptions(args, o, error)) {
    if (!error.empty()) io.err << "tarnvik-tool: " << error << "\n";
    return usage(io, "ttf2font", kTtfArguments);
  }
  std::vector<char> wanted;
  if (o.charsFile.empty()) wanted = defaultLetters();
  else if (!lettersFromFile(o.charsFile, wanted, io)) return failure(io, "cannot read the letters file '" + o.charsFile + "'");
  if (wanted.empty()) return failure(io, "no letters to make");
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return failure(io, "FreeType cannot start");
  FT_Face face = nullptr;
  int status = kExitOk;
  std::vector<Rendered> glyphs;
  CSimpleFont6 font;
  int pairs = 0;
  if (FT_New_Face(library, o.fontFile.c_str(), 0, &face) != 0) status = failure(io, "cannot read '" + o.fontFile + "' as a font");
  else if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(o.size)) != 0) status = failure(io, "the font has no size " + std::to_string(o.size));
  else if (!renderLetters(face, wanted, glyphs, io)) status = failure(io, "the font has none of the letters");
  else if (!buildFont(face, glyphs, o, font, pairs)) status = failure(io, "the letters do not fit in one font strip");
  else if (!writeFont(font, o.outFile, error)) status = failure(io, error);
  else report(io, o.outFile, font, pairs);
  if (face) FT_Done_Face(face);
  FT_Done_FreeType(library);
  return status;
}

int runPng2Font(const std::vector<std::string>& args, CommandIo& io) {
  if (args.size() != 3) return usage(io, "png2font", "STRIP.png LETTERS OUT.FNT");
  std::string letters = cp1250::fromUtf8(args[1]);
  if (letters.empty()) return failure(io, "no letters given");
  for (size_t i = 0; i < letters.size(); ++i)
    if (letters.find(letters[i]) != i) return failure(io, std::string("the letter '") + letters[i] + "' is given twice");
  png::Image strip;
  std::string error;
  if (!png::read(args[0], strip, error)) return failure(io, error);
  const int n = static_cast<int>(letters.size());
  if (strip.width % n != 0)
    return failure(io, "the strip is " + std::to_string(strip.width) + " pixels wide: not " + std::to_string(n) +
                           " cells of one width");
  CSimpleFont6 font;
  if (!font.createEmpty(strip.width / n, strip.height, std::vector<char>(letters.begin(), letters.end())))
    return failure(io, "the strip is too large for a font");
  for (int y = 0; y < strip.height; ++y)
    for (int x = 0; x < strip.width; ++x) {
      const uint8_t* p = &strip.pixels[(static_cast<size_t>(y) * strip.width + x) * strip.channels];
      size_t at = static_cast<size_t>(y) * font.GetPitch() + x;
      font.pixels16()[at] = to565(p[0], p[1], p[2]);
      font.GetAlphaPtr()[at] = strip.channels == 4 ? p[3] : 255;
    }
  // Margins: the fully transparent columns at each side of a cell (all of them for an empty cell).
  const int cell = font.getCellWidth();
  auto opaqueColumn = [&](int x) {
    for (int y = 0; y < strip.height; ++y)
      if (font.GetAlpha(x, y) != 0) return true;
    return false;
  };
  for (int i = 0; i < n; ++i) {
    int left = 0, right = 0;
    while (left < cell && !opaqueColumn(i * cell + left)) ++left;
    while (left < cell && right < cell - left && !opaqueColumn((i + 1) * cell - 1 - right)) ++right;
    font.setMargins(i, left, right);
  }
  if (!writeFont(font, args[2], error)) return failure(io, error);
  report(io, args[2], font, 0);
  return kExitOk;
}

}  // namespace tarnvik::tool
