// Games with IMAGE objects, built by the test in a temporary folder and played headless: method
// results and collision events through TOINI values, the composed screen through --screenshot.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "e2e/player_fixture.h"
#include "graphics/formats/png.h"

namespace fs = std::filesystem;

namespace {

class ImageGameTest : public tarnvik::e2e::SceneGameTest {
 protected:
  // An IMG file whose pixels and alpha come from the functions (alpha absent when none is given).
  void writeImage(const fs::path& relative, int w, int h, int x, int y, const std::function<uint16_t(int, int)>& pixel,
                  const std::function<uint8_t(int, int)>& alpha = {}) {
    ASSERT_TRUE(tarnvik::e2e::writeImageFile(folder() / relative, w, h, x, y, pixel, alpha));
  }
  // A scene whose ONINIT asks an IMAGE for its sizes, positions, pixels and priorities.
  void methodsGame() {
    writeImage("Dane/S/a.img", 10, 6, 100, 50, [](int x, int y) { return static_cast<uint16_t>(x + 16 * y); },
               [](int x, int) { return static_cast<uint8_t>(x * 20); });
    scene(integers({"W", "H", "X", "Y", "X2", "Y2", "CX", "PRI", "PRI2", "HIDDENPRI", "ALPHA", "PIXEL", "RED", "INSIDE",
                    "OUTSIDE", "ALPHAHIT", "VIS", "MADE"}) +
          "OBJECT=A\nA:TYPE=IMAGE\nA:FILENAME=a.img\nA:TOCANVAS=TRUE\nA:VISIBLE=TRUE\nA:PRIORITY=7\n"
          "OBJECT=OFF\nOFF:TYPE=IMAGE\nOFF:FILENAME=a.img\n"
          "OBJECT=S\nS:ONINIT={W^SET(A^GETWIDTH());H^SET(A^GETHEIGHT());X^SET(A^GETPOSITIONX());Y^SET(A^GETPOSITIONY());"
          "PRI^SET(A^GETPRIORITY());HIDDENPRI^SET(OFF^GETPRIORITY());ALPHA^SET(A^GETALPHA(3,0));"
          "PIXEL^SET(A^GETPIXEL(2,1));RED^SET(A^GETCOLORBAT(1,0));"
          "A^SETANCHOR(\"CENTER\");A^SETPOSITION(200,300);X2^SET(A^GETPOSITIONX());Y2^SET(A^GETPOSITIONY());"
          "CX^SET(A^GETCENTERX());A^SETPRIORITY(3);PRI2^SET(A^GETPRIORITY());"
          "INSIDE^SET(A^ISINSIDE(196,298,FALSE));OUTSIDE^SET(A^ISINSIDE(300,300,FALSE));"
          "ALPHAHIT^SET(A^ISINSIDE(195,298,TRUE));A^HIDE();VIS^SET(A^ISVISIBLE());"
          "@CREATE(\"IMAGE\",\"FRESH\");MADE^SET(FRESH^GETWIDTH());}\n");
  }
  void expectMethodResults() {
    EXPECT_EQ(value("W"), 10);
    EXPECT_EQ(value("H"), 6);
    EXPECT_EQ(value("X"), 100) << "the file's own position";
    EXPECT_EQ(value("Y"), 50);
    EXPECT_EQ(value("PRI"), 7);
    EXPECT_EQ(value("HIDDENPRI"), -1) << "an image without TOCANVAS is not on the screen";
    EXPECT_EQ(value("ALPHA"), 60);
    EXPECT_EQ(value("PIXEL"), 2 + 16);
    EXPECT_EQ(value("RED"), (1 << 3) | (1 >> 2)) << "blue of pixel 1: 5 bits widened";
    EXPECT_EQ(value("X2"), 200) << "positions go through the anchor";
    EXPECT_EQ(value("Y2"), 300);
    EXPECT_EQ(value("CX"), (195 + 205) / 2);
    EXPECT_EQ(value("PRI2"), 3);
    EXPECT_EQ(text("INSIDE"), "1");
    EXPECT_EQ(text("OUTSIDE"), "0");
    EXPECT_EQ(text("ALPHAHIT"), "0") << "column 0 is transparent";
    EXPECT_EQ(text("VIS"), "0");
    EXPECT_EQ(value("MADE"), 0) << "CREATE makes an empty image";
  }
};

TEST_F(ImageGameTest, MethodsReportSizesPositionsPixelsAndPriorities) {
  methodsGame();
  ASSERT_EQ(play(2), 0) << err();
  expectMethodResults();
}

TEST_F(ImageGameTest, ImagesRunFromThePrecompiledFormAsFromTheirDefinitions) {
  methodsGame();
  ASSERT_EQ(play(1, {"-2bin"}), 0) << err();
  ASSERT_TRUE(fs::exists(folder() / "Dane" / "S" / "S.bin")) << "a scene with images is precompiled";
  ASSERT_EQ(play(2, {"--log", "info"}), 0) << err();
  EXPECT_NE(err().find("running from the precompiled form"), std::string::npos) << err();
  expectMethodResults();
}

TEST_F(ImageGameTest, CollisionEventsNameThePartnerAndCountBeginsAndEnds) {
  writeImage("Dane/S/box.img", 10, 10, 0, 0, [](int, int) { return uint16_t{0xF800}; });
  scene(integers({"HITS", "ENDS", "PLAIN"}) +
        "OBJECT=A\nA:TYPE=IMAGE\nA:FILENAME=box.img\nA:TOCANVAS=TRUE\nA:VISIBLE=TRUE\nA:MONITORCOLLISION=TRUE\n"
        "OBJECT=B\nB:TYPE=IMAGE\nB:FILENAME=box.img\nB:TOCANVAS=TRUE\nB:VISIBLE=TRUE\nB:MONITORCOLLISION=TRUE\n"
        "B:ONCOLLISION^A={HITS^INC();}\nB:ONCOLLISION={PLAIN^INC();}\nB:ONCOLLISIONFINISHED={ENDS^INC();}\n"
        "OBJECT=STEP\nSTEP:TYPE=TIMER\nSTEP:ELAPSE=32\nSTEP:TICKS=6\n"
        "STEP:ONTICK={B^MOVE(8,0);}\n"
        "OBJECT=S\nS:ONINIT={B^SETPOSITION(-20,0);}\n");
  // B at -20, -12, -4 (overlaps A at 0..10), 4, 12 (apart), 20, 28.
  ASSERT_EQ(play(20), 0) << err();
  EXPECT_EQ(value("HITS"), 1);
  EXPECT_EQ(value("PLAIN"), 0) << "the handler for the partner's name is preferred";
  EXPECT_EQ(value("ENDS"), 1);
}

TEST_F(ImageGameTest, MonitoredObjectsPlacedOverlappingCollideOnlyOnceOneMoves) {
  writeImage("Dane/S/box.img", 10, 10, 0, 0, [](int, int) { return uint16_t{0xF800}; });
  scene(integers({"HITS", "EARLY"}) +
        "OBJECT=A\nA:TYPE=IMAGE\nA:FILENAME=box.img\nA:TOCANVAS=TRUE\nA:VISIBLE=TRUE\nA:MONITORCOLLISION=TRUE\n"
        "OBJECT=B\nB:TYPE=IMAGE\nB:FILENAME=box.img\nB:TOCANVAS=TRUE\nB:VISIBLE=TRUE\n"
        "B:ONCOLLISION={HITS^INC();}\n"
        "OBJECT=STEP\nSTEP:TYPE=TIMER\nSTEP:ELAPSE=100\nSTEP:TICKS=1\nSTEP:ONTICK={EARLY^SET(HITS);B^MOVE(1,0);}\n"
        "OBJECT=S\nS:ONINIT={B^SETPOSITION(5,5);B^MONITORCOLLISION();STEP^ENABLE();}\n");
  ASSERT_EQ(play(20), 0) << err();
  EXPECT_EQ(value("EARLY"), 0) << "neither moved since it was monitored: not tested";
  EXPECT_EQ(value("HITS"), 1) << "B moved: tested, and it collides";
}

TEST_F(ImageGameTest, PrintWritesTheObjectsPixelsCutToTheRectangleIntoTheDataFolder) {
  auto colour = [](int x, int y) { return static_cast<uint16_t>(0xF800 | (x << 5) | y); };
  writeImage("Dane/S/pic.img", 20, 10, 300, 200, colour, [](int x, int) { return static_cast<uint8_t>(10 * x); });
  scene("OBJECT=PIC\nPIC:TYPE=IMAGE\nPIC:FILENAME=pic.img\nPIC:TOCANVAS=TRUE\nPIC:VISIBLE=TRUE\n"
        "OBJECT=S\nS:ONINIT={GAME^PRINT(\"PIC\",5,2,15,8);GAME^PRINT(\"PIC\",0,0,0,0);GAME^PRINT(\"NOPE\",0,0,1,1);}\n");
  ASSERT_EQ(play(2, {"--log", "warn"}), 0) << err();
  fs::path data = dir_ / "xdg" / "tarnvik" / "game";
  auto check = [&](const char* file, int left, int top, int w, int h) {
    tarnvik::png::Image got;
    std::string error;
    ASSERT_TRUE(tarnvik::png::read((data / file).string(), got, error)) << file << ": " << error;
    ASSERT_EQ(got.width, w);
    ASSERT_EQ(got.height, h);
    ASSERT_EQ(got.channels, 4) << "the alpha plane goes with it";
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint16_t c = colour(left + x, top + y);
        const uint8_t* p = &got.pixels[(static_cast<size_t>(y) * w + x) * 4];
        ASSERT_EQ(p[0], tarnvik::png::expand5(c >> 11)) << file << " at " << x << "," << y;
        ASSERT_EQ(p[1], tarnvik::png::expand6((c >> 5) & 63)) << file << " at " << x << "," << y;
        ASSERT_EQ(p[2], tarnvik::png::expand5(c & 31)) << file << " at " << x << "," << y;
        ASSERT_EQ(p[3], 10 * (left + x)) << file << " at " << x << "," << y;
      }
  };
  check("print-1.png", 5, 2, 10, 6);
  check("print-2.png", 0, 0, 20, 10);
  EXPECT_FALSE(fs::exists(data / "print-3.png")) << "nothing for an unknown object";
  EXPECT_NE(err().find("PRINT NOPE"), std::string::npos) << err();
}

// --- the composed screen ---

// Reference composition, written from the copy rules independently of the engine.
struct Sprite {
  int x, y, w, h;
  std::function<uint16_t(int, int)> pixel;
  std::function<uint8_t(int, int)> alpha = {};  // empty: no alpha plane
  int opacity = 255;
  CXRect clip = {};       // in the sprite's own coordinates; empty: none
  bool mirrored = false;  // FLIPV: each row reversed
};

int blendChannel(int s, int t, int w) { return (t * 256 + (s - t) * w) >> 8; }

uint16_t blend565(uint16_t s, uint16_t t, int w, bool plusOne) {
  const int max[3] = {31, 63, 31}, shift[3] = {11, 5, 0};
  uint16_t out = 0;
  for (int c = 0; c < 3; ++c) {
    int v = blendChannel((s >> shift[c]) & max[c], (t >> shift[c]) & max[c], w);
    v = plusOne ? std::min(v + 1, max[c]) : (v & max[c]);
    out = static_cast<uint16_t>(out | (v << shift[c]));
  }
  return out;
}

void compose(std::vector<uint16_t>& screen, const Sprite& s) {
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) {
      if (!s.clip.isEmpty() && !s.clip.contains(x, y)) continue;
      int sx = s.mirrored ? s.w - 1 - x : x;
      uint16_t p = s.pixel(sx, y);
      uint16_t& t = screen[static_cast<size_t>(s.y + y) * 800 + (s.x + x)];
      int a = s.alpha ? s.alpha(sx, y) : 255;
      if (s.opacity < 255) {
        if (!s.alpha) t = blend565(p, t, s.opacity, false);
        else if (a * s.opacity > 255) t = blend565(p, t, (a * s.opacity) >> 8, false);
      } else if (a == 255) {
        t = p;
      } else if (a > 0) {
        t = blend565(p, t, a, true);
      }
    }
}

TEST_F(ImageGameTest, ScreenShowsBackgroundAndImagesWithAlphaOpacityMovesFlipsClipsAndHiding) {
  auto bg = [](int x, int y) { return static_cast<uint16_t>((((x / 4) & 31) << 11) | (((y / 4) & 63) << 5) | (((x + y) / 8) & 31)); };
  Sprite a{100, 100, 40, 30, [](int x, int y) { return static_cast<uint16_t>(((31 - x % 32) << 11) | ((y * 2) << 5) | 7); },
           [](int x, int) { return static_cast<uint8_t>(x == 39 ? 255 : x * 6); }};
  Sprite b{120, 110, 30, 30, [](int x, int) { return static_cast<uint16_t>(0x07E0 | x); }, {}, 128};
  Sprite c{130, 105, 20, 20, [](int x, int y) { return static_cast<uint16_t>((x << 11) | (y << 6) | 31); },
           [](int x, int y) { return static_cast<uint8_t>((x * 13 + y * 7) % 256); }, 200};
  Sprite d{300, 300, 16, 16, [](int x, int y) { return static_cast<uint16_t>(x * 2048 + y * 64 + x); }, {}, 255,
           CXRect(0, 0, 10, 8), true};
  Sprite f{650, 150, 12, 12, [](int, int) { return uint16_t{0xFFE0}; }};
  writeImage("Dane/S/bg.img", 800, 600, 0, 0, bg);
  writeImage("Dane/S/a.img", a.w, a.h, a.x, a.y, a.pixel, a.alpha);
  writeImage("Dane/S/b.img", b.w, b.h, 0, 0, b.pixel);
  writeImage("Dane/S/c.img", c.w, c.h, c.x, c.y, c.pixel, c.alpha);
  writeImage("Dane/S/d.img", d.w, d.h, d.x, d.y, d.pixel);
  writeImage("Dane/S/e.img", 10, 10, 500, 500, [](int, int) { return uint16_t{0x1234}; });
  writeImage("Dane/S/f.img", f.w, f.h, 600, 100, f.pixel);
  auto image = [](const char* name, const char* file, int priority, const char* more = "") {
    return std::string("OBJECT=") + name + "\n" + name + ":TYPE=IMAGE\n" + name + ":FILENAME=" + file + "\n" + name +
           ":TOCANVAS=TRUE\n" + name + ":VISIBLE=TRUE\n" + name + ":PRIORITY=" + std::to_string(priority) + "\n" + more;
  };
  scene(image("A", "a.img", 1) + image("B", "b.img", 2) + image("C", "c.img", 3) + image("D", "d.img", 1) +
            image("E", "e.img", 1) + image("F", "f.img", 1) +
            "OBJECT=G\nG:TYPE=IMAGE\nG:FILENAME=e.img\nG:VISIBLE=TRUE\n"  // not on the canvas
            "OBJECT=LATER\nLATER:TYPE=TIMER\nLATER:ELAPSE=48\nLATER:TICKS=1\n"
            "LATER:ONTICK={E^HIDE();F^MOVE(50,50);}\n"
            "OBJECT=S\nS:ONINIT={B^SETPOSITION(120,110);B^SETOPACITY(128);C^SETOPACITY(200);D^FLIPV();"
            "D^SETCLIPPING(0,0,10,8);G^SETPOSITION(0,0);}\n",
        "S:BACKGROUND=bg.img\n");
  fs::path shot = dir_ / "shot.png";
  ASSERT_EQ(play(12, {"--screenshot", shot.string()}), 0) << err();

  std::vector<uint16_t> want(800 * 600);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) want[static_cast<size_t>(y) * 800 + x] = bg(x, y);
  // Priority order; equal priorities in the order the file declares them (A, D, E, F).
  for (const Sprite* s : {&a, &d, &f, &b, &c}) compose(want, *s);

  tarnvik::e2e::expectScreen(shot, want);
}

TEST_F(ImageGameTest, NamesBeyondAsciiMatchWhateverTheirLetterCaseAndEncoding) {
  // The scene file names "żaba.img" in Windows-1250 (0xBF is ż); the disk holds "ŻABA.IMG", once in
  // UTF-8 (a copied game), once as raw Windows-1250 bytes (0xAF is Ż), and once inside an archive.
  const std::string cnv = integers({"W"}) + "OBJECT=A\nA:TYPE=IMAGE\nA:FILENAME=\xBF" "aba.img\n"
                          "OBJECT=S\nS:ONINIT={W^SET(A^GETWIDTH());}\n";
  scene(cnv);
  auto pixel = [](int, int) { return uint16_t{0x1234}; };
  const fs::path utf8Name = "Dane/S/\xC5\xBB" "ABA.IMG", rawName = "Dane/S/\xAF" "ABA.IMG";
  writeImage(utf8Name, 7, 3, 0, 0, pixel);
  ASSERT_EQ(play(2), 0) << err();
  EXPECT_EQ(value("W"), 7) << "UTF-8 name on disk";

  fs::remove(folder() / utf8Name);
  writeImage(rawName, 9, 3, 0, 0, pixel);
  fs::remove(settings());
  ASSERT_EQ(play(2), 0) << err();
  EXPECT_EQ(value("W"), 9) << "Windows-1250 name on disk";

  fs::remove(folder() / rawName);
  writeImage(utf8Name, 5, 3, 0, 0, pixel);
  tarnvik::e2e::PlayerRun pack = finish(spawn({std::string(TARNVIK_BUILD_DIR) + "/tarnvik-tool", "pack", folder().string(),
                                  (dir_ / "g.pik").string()}));
  ASSERT_EQ(pack.status, 0) << pack.err;
  fs::rename(folder(), dir_ / "away");
  fs::remove(settings());
  last_ = game(folder().string(), 2, {"--archive", (dir_ / "g.pik").string()});
  ASSERT_EQ(last_.status, 0) << err();
  EXPECT_EQ(value("W"), 5) << "inside an archive";

  // A name that matches nothing is reported in UTF-8.
  fs::rename(dir_ / "away", folder());
  fs::remove(folder() / utf8Name);
  ASSERT_EQ(play(2, {"--log", "warn"}), 0) << err();
  EXPECT_NE(err().find("\xC5\xBC" "aba.img"), std::string::npos) << err();
  EXPECT_EQ(err().find("\xBF" "aba"), std::string::npos) << err();
}

}  // namespace
