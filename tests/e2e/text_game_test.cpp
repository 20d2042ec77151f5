// Games with FONT and TEXT objects played headless: letters found in --screenshot PNGs where the
// font's tables put them, for every layout rule, and method results through TOINI values.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/player_fixture.h"
#include "graphics/formats/png.h"
#include "support/test_font.h"

namespace fs = std::filesystem;

namespace {

using namespace tarnvik::testfont;
using tarnvik::e2e::expectScreen;

// A letter where the test expects it, relative to the text's box.
struct At {
  char c;
  int x, y;
};

struct LayoutCase {
  const char* rule;
  std::string keys;  // definition lines of the TEXT object T after its FONT
  std::vector<At> letters;
  CXRect box{100, 50, 140, 80};
};

// Advances along a line as drawLetter makes them: ink + 2 for a letter, the width of "l" for a blank.
const int A = ink('A') + 2, B = ink('B') + 2, BLANK = ink('l');

std::vector<LayoutCase> layoutCases() {
  const int ab = A + ink('B');  // the width of "AB"
  return {
      {"left", "T:TEXT=AB\n", {{'A', 0, 0}, {'B', A, 0}}},
      {"right", "T:TEXT=AB\nT:HJUSTIFY=RIGHT\n", {{'A', 40 - ab, 0}, {'B', 40 - ab + A, 0}}},
      {"center", "T:TEXT=AB\nT:HJUSTIFY=CENTER\n", {{'A', (40 - ab) / 2, 0}, {'B', (40 - ab) / 2 + A, 0}}},
      {"wrap at a word", "T:TEXT=AB AB AB\n",
       {{'A', 0, 0}, {'B', A, 0}, {'A', A + B + BLANK, 0}, {'B', A + B + BLANK + A, 0}, {'A', 0, kHeight}, {'B', A, kHeight}},
       {100, 50, 135, 80}},
      // "AB AB" is 31 pixels wide in a 35-pixel box: its one blank takes the 4 left over.
      {"justify", "T:TEXT=AB AB AB\nT:HJUSTIFY=JUSTIFY\n",
       {{'A', 0, 0}, {'B', A, 0}, {'A', A + B + BLANK + 4, 0}, {'B', A + B + BLANK + 4 + A, 0}, {'A', 0, kHeight},
        {'B', A, kHeight}},
       {100, 50, 135, 80}},
      // "ABA" is exactly 20 wide; "BAB" 21.
      {"wrap inside a long word", "T:TEXT=ABABAB\n",
       {{'A', 0, 0}, {'B', A, 0}, {'A', A + B, 0}, {'B', 0, kHeight}, {'A', B, kHeight}, {'B', 0, 2 * kHeight}},
       {100, 50, 120, 80}},
      {"backslash n", "T:TEXT=A\\nB\n", {{'A', 0, 0}, {'B', 0, kHeight}}},
      {"kerning", "T:TEXT=AVB\n", {{'A', 0, 0}, {'V', A, 0}, {'B', A + ink('V') - kKernAV + 2, 0}}},
      {"line spacing", "T:TEXT=A\\nB\nT:LINESPACING=3\n", {{'A', 0, 0}, {'B', 0, kHeight + 3}}},
      {"bottom", "T:TEXT=A\nT:VJUSTIFY=BOTTOM\n", {{'A', 0, 30 - kHeight}}},
      {"vertical center", "T:TEXT=A\nT:VJUSTIFY=CENTER\n", {{'A', 0, (30 - kHeight) / 2}}},
      {"missing letters skipped", "T:TEXT=AqBq\n", {{'A', 0, 0}, {'B', A, 0}}},
      {"definition blanks kept", "T:TEXT=A B\n", {{'A', 0, 0}, {'B', A + BLANK, 0}}},
      {"underscore is a blank", "T:ONINIT={THIS^SETTEXT(\"A_B\");}\n", {{'A', 0, 0}, {'B', A + BLANK, 0}}},
      {"STRING blanks kept", "T:ONINIT={THIS^SETTEXT(WORDS);}\n", {{'A', 0, 0}, {'B', A + BLANK, 0}}},
      {"SETTEXT joins its arguments", "T:ONINIT={THIS^SETTEXT(\"A\",\"B\");}\n", {{'A', 0, 0}, {'B', A, 0}}},
      {"moved", "T:TEXT=A\nT:ONINIT={THIS^SETPOSITION(300,200);}\n", {{'A', 0, 0}}, {300, 200, 340, 230}},
      {"hidden", "T:TEXT=A\nT:ONINIT={THIS^HIDE();}\n", {}},
      {"not on the canvas", "T:TEXT=A\nT:TOCANVAS=FALSE\n", {}},
  };
}

class TextGameTest : public tarnvik::e2e::SceneGameTest {
 protected:
  std::string fontAndText(const CXRect& box) {
    writeBytes("Dane/S/f.fnt", testFontFile());
    return "OBJECT=F\nF:TYPE=FONT\nF:FILENAME=f.fnt\n"
           "OBJECT=WORDS\nWORDS:TYPE=STRING\nWORDS:VALUE=A B\n"
           "OBJECT=T\nT:TYPE=TEXT\nT:FONT=F\nT:RECT=" +
           std::to_string(box.left) + "," + std::to_string(box.top) + "," + std::to_string(box.right) + "," +
           std::to_string(box.bottom) + "\n";
  }
  // The screen the test expects: black, with each letter's block (cut to the box) in its colour,
  // blended at the opacity.
  static std::vector<uint16_t> expectedScreen(const std::vector<At>& letters, const CXRect& box, int opacity = 255) {
    std::vector<uint16_t> screen(800 * 600, 0);
    for (const At& at : letters)
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < ink(at.c); ++x) {
          int sx = box.left + at.x + x, sy = box.top + at.y + y;
          if (box.contains(sx, sy)) screen[static_cast<size_t>(sy) * 800 + sx] = blend(glyph(at.c).colour, opacity);
        }
    return screen;
  }
  // A colour over black at an opacity, as the screen's alpha-and-opacity copy mixes it.
  static uint16_t blend(uint16_t colour, int opacity) {
    if (opacity == 255) return colour;
    int w = (255 * opacity) >> 8;
    auto channel = [w](int s, int mask) { return ((s * w) >> 8) & mask; };
    return static_cast<uint16_t>((channel(colour >> 11, 31) << 11) | (channel((colour >> 5) & 63, 63) << 5) |
                                 channel(colour & 31, 31));
  }
};

TEST_F(TextGameTest, LettersLandWhereTheFontsTablesAndTheLayoutRulesPutThem) {
  for (const LayoutCase& c : layoutCases()) {
    SCOPED_TRACE(c.rule);
    // The box is written where the case starts; a moved text's expected box is its final one.
    CXRect start = c.rule == std::string("moved") ? CXRect(100, 50, 140, 80) : c.box;
    scene(fontAndText(start) + c.keys);
    fs::path shot = dir_ / "shot.png";
    ASSERT_EQ(play(2, {"--screenshot", shot.string()}), 0) << err();
    expectScreen(shot, expectedScreen(c.letters, c.box));
  }
}

TEST_F(TextGameTest, TextsFontsAndEditBoxesRunFromThePrecompiledForm) {
  scene(fontAndText(CXRect(100, 50, 140, 80)) + "T:TEXT=AB\nT:OPACITY=128\n" +
        "OBJECT=E\nE:TYPE=EDITBOX\nE:FONT=F\nE:RECT=300,50,400,70\nE:TEXT=VA\nE:MAXLENGTH=5\n");
  ASSERT_EQ(play(1, {"-2bin"}), 0) << err();
  ASSERT_TRUE(fs::exists(folder() / "Dane" / "S" / "S.bin"));
  fs::path shot = dir_ / "shot.png";
  ASSERT_EQ(play(2, {"--log", "info", "--screenshot", shot.string()}), 0) << err();
  EXPECT_NE(err().find("running from the precompiled form"), std::string::npos) << err();
  std::vector<uint16_t> want = expectedScreen({{'A', 0, 0}, {'B', A, 0}}, CXRect(100, 50, 140, 80), 128);
  std::vector<uint16_t> box = expectedScreen({{'V', 0, 0}, {'A', ink('V') + 2, 0}}, CXRect(300, 50, 400, 70));
  for (size_t i = 0; i < want.size(); ++i) want[i] |= box[i];
  expectScreen(shot, want);
}

TEST_F(TextGameTest, OpacityBlendsTheLettersIntoTheScreen) {
  scene(fontAndText(CXRect(100, 50, 140, 80)) + "T:TEXT=AB\nT:OPACITY=128\n");
  fs::path shot = dir_ / "shot.png";
  ASSERT_EQ(play(2, {"--screenshot", shot.string()}), 0) << err();
  expectScreen(shot, expectedScreen({{'A', 0, 0}, {'B', A, 0}}, CXRect(100, 50, 140, 80), 128));
}

TEST_F(TextGameTest, AMissingLetterIsWarnedAboutOncePerFontAndCharacter) {
  scene(fontAndText(CXRect(100, 50, 140, 80)) + "T:TEXT=AqBq\nT:ONINIT={THIS^SETTEXT(\"qq\");}\n");
  ASSERT_EQ(play(2, {"--log", "warn"}), 0) << err();
  size_t first = err().find("no letter 'q'");
  ASSERT_NE(first, std::string::npos) << err() << last_.out;
  EXPECT_EQ(err().find("no letter 'q'", first + 1), std::string::npos) << err();
}

TEST_F(TextGameTest, ATextWithoutAFontDrawsWithTheBuiltInFontAfterOneWarning) {
  scene("OBJECT=T\nT:TYPE=TEXT\nT:RECT=100,50,300,80\nT:TEXT=Hello\nT:ONINIT={THIS^SETTEXT(\"Hello_again\");}\n");
  fs::path shot = dir_ / "shot.png";
  ASSERT_EQ(play(2, {"--log", "warn", "--screenshot", shot.string()}), 0) << err();
  size_t first = err().find("no usable font");
  ASSERT_NE(first, std::string::npos) << err();
  EXPECT_EQ(err().find("no usable font", first + 1), std::string::npos) << err();
  tarnvik::png::Image got;
  std::string error;
  ASSERT_TRUE(tarnvik::png::read(shot.string(), got, error)) << error;
  int inside = 0, outside = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const uint8_t* q = &got.pixels[(static_cast<size_t>(y) * 800 + x) * 3];
      if (q[0] || q[1] || q[2]) ++(CXRect(100, 50, 300, 80).contains(x, y) ? inside : outside);
    }
  EXPECT_GT(inside, 100) << "the built-in font's white letters";
  EXPECT_EQ(outside, 0);
}

TEST_F(TextGameTest, MethodsReportTheLayoutTheTextAndTheFontsMeasures) {
  scene(fontAndText(CXRect(100, 50, 120, 80)) +
        "T:TEXT=ABABAB\n" +
        integers({"W", "H", "N", "X", "Y", "FH", "FW", "FW2", "O", "N2"}) +
        "OBJECT=TX\nTX:TYPE=STRING\nTX:TOINI=TRUE\nOBJECT=VIS\nVIS:TYPE=BOOL\nVIS:TOINI=TRUE\n"
        "OBJECT=S\nS:ONINIT={W^SET(T^GETWIDTH());H^SET(T^GETHEIGHT());N^SET(T^GETNUMLINES());"
        "T^SETPOSITION(7,9);X^SET(T^GETPOSITIONX());Y^SET(T^GETPOSITIONY());FH^SET(F^GETHEIGHT());"
        "FW^SET(F^GETTEXTWIDTH(\"AVB\"));FW2^SET(F^GETTEXTWIDTH(\"A_B\\nA\"));T^SETOPACITY(99);O^SET(T^GETOPACITY());"
        "T^SETRECT(0,0,100,30);N2^SET(T^GETNUMLINES());TX^SET(T^GETTEXT());T^HIDE();VIS^SET(T^ISVISIBLE());}\n");
  ASSERT_EQ(play(2), 0) << err();
  EXPECT_EQ(value("W"), A + B + ink('A')) << "the widest line: ABA";
  EXPECT_EQ(value("H"), 3 * kHeight);
  EXPECT_EQ(value("N"), 3);
  EXPECT_EQ(value("X"), 7);
  EXPECT_EQ(value("Y"), 9);
  EXPECT_EQ(value("FH"), kHeight);
  EXPECT_EQ(value("FW"), A + ink('V') - kKernAV + 2 + ink('B')) << "kerning narrows the advance after V";
  EXPECT_EQ(value("FW2"), A + BLANK + ink('B')) << "the widest line of the text";
  EXPECT_EQ(value("O"), 99);
  EXPECT_EQ(value("N2"), 1) << "a wider box holds the word on one line";
  EXPECT_EQ(text("TX"), "ABABAB");
  EXPECT_EQ(text("VIS"), "FALSE");
}

// EDITBOX E over the test font, focused by a click; ONENTER stores its text in NAME and
// ONCHANGED counts the edits.
class EditBoxGameTest : public TextGameTest {
 protected:
  void editBoxGame(const std::string& keys = "") {
    scene(fontAndText(CXRect(0, 0, 0, 0)) + "OBJECT=E\nE:TYPE=EDITBOX\nE:FONT=F\nE:RECT=100,50,200,70\n" + keys +
          "E:ONENTER={NAME^SET(E^GETTEXT());}\nE:ONCHANGED={CHANGES^ADD(1);}\n" + integers({"CHANGES"}) +
          "OBJECT=NAME\nNAME:TYPE=STRING\nNAME:TOINI=TRUE\n");
  }
  fs::path input(const std::string& text) {
    fs::path file = dir_ / "input.txt";
    std::ofstream(file) << text;
    return file;
  }
};

TEST_F(EditBoxGameTest, TypedCharactersAndBackspaceReachTheClickedBoxAndEnterReportsTheText) {
  editBoxGame();
  fs::path script = input("1 click 120 55\n2 char A\n3 char B\n4 char A\n5 key BACKSPACE\n6 char V\n8 key ENTER\n");
  ASSERT_EQ(play(12, {"--input", script.string()}), 0) << err();
  EXPECT_EQ(text("NAME"), "ABV");
  EXPECT_EQ(value("CHANGES"), 5) << "three letters, a backspace and one more letter";
}

TEST_F(EditBoxGameTest, EditingKeysMoveTheCaretAndMaxLengthStopsTyping) {
  editBoxGame("E:MAXLENGTH=3\nE:TEXT=AB\n");
  fs::path script = input(
      "1 click 120 55\n2 key LEFT\n4 char V\n5 key HOME\n7 key DELETE\n9 key END\n11 char A\n12 char B\n"
      "14 key ENTER\n");
  ASSERT_EQ(play(18, {"--input", script.string()}), 0) << err();
  EXPECT_EQ(text("NAME"), "VBA") << "AB, V before B, the first letter deleted, A at the end, B refused";
}

TEST_F(EditBoxGameTest, TheCaretBlinksEveryHalfSecondAfterTheLastEdit) {
  editBoxGame();
  fs::path script = input("1 click 120 55\n2 char A\n3 char B\n4 char V\n");
  const std::vector<At> letters{{'A', 0, 0}, {'B', A, 0}, {'V', A + B, 0}};
  // The caret stands in the spacing after V: one pixel before where a next letter would start.
  const int caretX = A + B + ink('V') + 2 - 1;
  const CXRect box(100, 50, 200, 70);
  // Frames of 16 ms: about 100, 600 and 1100 ms after the last letter.
  for (int frames : {10, 42, 73}) {
    SCOPED_TRACE(frames);
    fs::path shot = dir_ / "shot.png";
    ASSERT_EQ(play(frames, {"--input", script.string(), "--screenshot", shot.string()}), 0) << err();
    std::vector<uint16_t> want = expectedScreen(letters, box);
    if (frames != 42)
      for (int y = 0; y < kHeight; ++y) want[static_cast<size_t>(box.top + y) * 800 + box.left + caretX] = glyph('l').colour;
    expectScreen(shot, want);
  }
}

}  // namespace
