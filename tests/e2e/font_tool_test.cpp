// The tool's font makers run as the built program: a font rendered from the distribution's DejaVu
// font reads back through the engine's loader with the size asked for and FreeType's advances.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/player_fixture.h"
#include "foundation/cp1250.h"
#include "graphics/font.h"
#include "support/test_font.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class FontToolTest : public tarnvik::e2e::PlayerTest {
 protected:
  tarnvik::e2e::PlayerRun tool(const std::vector<std::string>& args) {
    std::vector<std::string> command{std::string(TARNVIK_BUILD_DIR) + "/tarnvik-tool"};
    command.insert(command.end(), args.begin(), args.end());
    return finish(spawn(command));
  }
  bool load(const fs::path& file, CSimpleFont6& font) {
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    return font.LoadFromMemory(bytes.data(), bytes.size());
  }
};

// FreeType's advance of a Windows-1250 letter at a pixel size, in whole pixels.
class FreeTypeFace {
 public:
  FreeTypeFace(const char* file, int size) {
    ok_ = FT_Init_FreeType(&library_) == 0 && FT_New_Face(library_, file, 0, &face_) == 0 &&
          FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(size)) == 0;
  }
  ~FreeTypeFace() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  bool ok() const { return ok_; }
  int advance(char letter) {
    FT_Load_Char(face_, tarnvik::cp1250::toUnicode(static_cast<uint8_t>(letter)), FT_LOAD_DEFAULT);
    return static_cast<int>((face_->glyph->advance.x + 32) >> 6);
  }
  // The width of the rendered ink.
  int inkWidth(char letter) {
    FT_Load_Char(face_, tarnvik::cp1250::toUnicode(static_cast<uint8_t>(letter)), FT_LOAD_RENDER);
    return static_cast<int>(face_->glyph->bitmap.width);
  }
  int lineHeight() const {
    return static_cast<int>(((face_->size->metrics.ascender + 63) >> 6) - (face_->size->metrics.descender >> 6));
  }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  bool ok_ = false;
};

TEST_F(FontToolTest, ADejaVuFontReadsBackWithItsSizeAndFreeTypesAdvances) {
  if (!fs::exists(kDejaVu)) GTEST_SKIP() << "fonts-dejavu-core is not installed";
  fs::path out = dir_ / "dv.fnt";
  auto run = tool({"ttf2font", kDejaVu, "16", out.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("wrote " + out.string()), std::string::npos) << run.out;
  CSimpleFont6 font;
  ASSERT_TRUE(load(out, font));
  EXPECT_EQ(font.getSize(), 16);
  FreeTypeFace face(kDejaVu, 16);
  ASSERT_TRUE(face.ok());
  EXPECT_GE(font.Height(), face.lineHeight());
  EXPECT_GE(font.getLetterCount(), 94 - 3 + 90) << "printable ASCII and the letters of Windows-1250";
  for (char letter : std::string("AVWamjf1\xB9\xE8\x9E\xA3")) {  // š č ž Ł among them
    SCOPED_TRACE(std::string(1, letter));
    ASSERT_GE(font.findLetter(letter), 0);
    EXPECT_NEAR(font.getLetterWidth(0, letter), face.advance(letter), 1);
  }
  // Within a word the kerning table takes back the engine's 2 spacing pixels: "nn" is spaced as
  // FreeType spaces it, and so is a word's first letter after a blank.
  EXPECT_EQ(font.getLetterWidth('n', 'n') + 2, face.advance('n'));
  EXPECT_EQ(font.getLetterWidth(' ', 'n') + 2, face.advance('n'));
  // A letter whose ink is wider than its advance (a few accented ones) keeps all of it.
  std::string off;
  for (int i = 0; i < font.getLetterCount(); ++i) {
    char c = font.getLetter(i);
    if (std::abs(font.getLetterWidth(0, c) - std::max(face.advance(c), face.inkWidth(c))) > 1) off += c;
  }
  EXPECT_EQ(off, "") << "letters whose width is neither FreeType's advance nor its ink within a pixel";
}

TEST_F(FontToolTest, ChosenLettersColourAndOutlineShapeTheStrip) {
  if (!fs::exists(kDejaVu)) GTEST_SKIP() << "fonts-dejavu-core is not installed";
  std::ofstream(dir_ / "letters.txt") << "AB\xC5\xBE\n";  // A, B and ž in UTF-8
  fs::path plain = dir_ / "plain.fnt", outlined = dir_ / "outlined.fnt";
  ASSERT_EQ(tool({"ttf2font", kDejaVu, "20", plain.string(), "--chars", (dir_ / "letters.txt").string(), "--color",
                  "FF0000"}).status, 0);
  ASSERT_EQ(tool({"ttf2font", kDejaVu, "20", outlined.string(), "--chars", (dir_ / "letters.txt").string(),
                  "--outline", "2"}).status, 0);
  CSimpleFont6 a, b;
  ASSERT_TRUE(load(plain, a));
  ASSERT_TRUE(load(outlined, b));
  ASSERT_EQ(a.getLetterCount(), 4) << "the three letters and the blank kerning needs";
  EXPECT_EQ(a.getLetter(2), '\x9E') << "UTF-8 letters become Windows-1250 bytes";
  bool red = false;
  for (int x = 0; x < a.Width(); ++x)
    for (int y = 0; y < a.Height(); ++y)
      if (a.GetAlpha(x, y) == 255) red = red || a.GetPixel(x, y) == 0xF800;
  EXPECT_TRUE(red) << "fully covered pixels take the colour";
  EXPECT_EQ(b.Height(), a.Height() + 4) << "the outline adds its width above and below";
  EXPECT_GE(b.getCellWidth(), a.getCellWidth() + 4);
}

TEST_F(FontToolTest, AStripWrittenByFont2PngComesBackThroughPng2FontWithItsLettersAndMargins) {
  std::vector<uint8_t> bytes = tarnvik::testfont::testFontFile();
  std::ofstream(dir_ / "in.fnt", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          static_cast<std::streamsize>(bytes.size()));
  fs::path strip = dir_ / "strip.png", out = dir_ / "out.fnt";
  ASSERT_EQ(tool({"font2png", (dir_ / "in.fnt").string(), strip.string()}).status, 0);
  auto run = tool({"png2font", strip.string(), "AVBl", out.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("4 letters"), std::string::npos) << run.out;
  CSimpleFont6 in, back;
  ASSERT_TRUE(load(dir_ / "in.fnt", in));
  ASSERT_TRUE(load(out, back));
  ASSERT_EQ(back.getLetterCount(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(back.getLetter(i), in.getLetter(i));
    EXPECT_EQ(back.getLeftMargin(i), in.getLeftMargin(i)) << i;
    EXPECT_EQ(back.getRightMargin(i), in.getRightMargin(i)) << i;
  }
  for (int x = 0; x < in.Width(); ++x)
    for (int y = 0; y < in.Height(); ++y) ASSERT_EQ(back.GetPixel(x, y), in.GetPixel(x, y)) << x << "," << y;
  EXPECT_EQ(tool({"png2font", strip.string(), "AVB", out.string()}).status, 2) << "32 columns are not 3 cells";
  EXPECT_EQ(tool({"png2font", strip.string(), "AVBA", out.string()}).status, 2) << "a letter given twice";
}

TEST_F(FontToolTest, BadArgumentsAndFilesGiveUsageOrAFailure) {
  EXPECT_EQ(tool({"ttf2font", kDejaVu, "16"}).status, 1);
  EXPECT_EQ(tool({"ttf2font", kDejaVu, "0", (dir_ / "x.fnt").string()}).status, 1);
  EXPECT_EQ(tool({"ttf2font", kDejaVu, "16", (dir_ / "x.fnt").string(), "--color", "red"}).status, 1);
  std::ofstream(dir_ / "junk.ttf") << "not a font";
  auto run = tool({"ttf2font", (dir_ / "junk.ttf").string(), "16", (dir_ / "x.fnt").string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir_ / "x.fnt"));
}

}  // namespace
