// The demo's pictures: one function per scene, plus the pieces several scenes share (buttons,
// arrows, the inventory bar).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "art.h"
#include "raster.h"
#include "writers.h"

namespace demo {

namespace {

namespace fs = std::filesystem;

constexpr int kW = 800, kH = 600;
constexpr Rgba kInk{20, 24, 40, 255};
constexpr Rgba kWhite{250, 250, 245, 255};
constexpr Rgba kGold{250, 205, 60, 255};

// Sine in -1000..1000 for a phase in thousandths of a turn, rounded to whole numbers.
int isin(int milliturns) {
  return static_cast<int>(std::lround(std::sin(milliturns * 6.283185307179586 / 1000.0) * 1000.0));
}

// Collects the writes of one scene folder, stopping at the first failure.
class Folder {
 public:
  Folder(const fs::path& game, const std::string& scene, std::string& error)
      : dir_(game / "Dane" / scene), error_(error) {
    std::error_code ec;
    fs::create_directories(dir_, ec);
  }
  bool ok() const { return ok_; }
  void image(const std::string& name, const Raster& r, int x = 0, int y = 0) {
    if (ok_) ok_ = writeImage((dir_ / name).string(), r, x, y, error_);
  }
  void animation(const std::string& name, const std::vector<Raster>& frames, const std::vector<AnimEvent>& events,
                 int x = 0, int y = 0) {
    if (ok_) ok_ = writeAnimation((dir_ / name).string(), frames, events, error_, x, y);
  }

 private:
  fs::path dir_;
  std::string& error_;
  bool ok_ = true;
};

// A pill-shaped button face with a centred label.
Raster buttonFace(const std::string& label, Rgba face, Rgba rim, Rgba text, int press = 0) {
  const int w = 200, h = 56, r = h / 2 - 2;
  Raster b(w, h);
  b.rect(r, 2 + press, w - r, h - 2, rim);
  b.circle(r + 1, h / 2 + press / 2, r, rim);
  b.circle(w - r - 2, h / 2 + press / 2, r, rim);
  b.rect(r, 6 + press, w - r, h - 6, face);
  b.circle(r + 1, h / 2 + press / 2, r - 4, face);
  b.circle(w - r - 2, h / 2 + press / 2, r - 4, face);
  b.rect(r, 8 + press, w - r, 14 + press, mix(face, kWhite, 90));  // highlight
  b.textCentered(w / 2, h / 2 - 10 + press, 3, label, text);
  return b;
}

// The three faces of a menu button: standard, hover and pressed.
void menuButton(Folder& f, const std::string& file, const std::string& label, int x, int y) {
  f.image(file + ".IMG", buttonFace(label, {60, 70, 140, 255}, {20, 24, 60, 255}, kWhite), x, y);
  f.image(file + "_H.IMG", buttonFace(label, {90, 110, 210, 255}, kGold, kWhite), x, y);
  f.image(file + "_P.IMG", buttonFace(label, {40, 50, 110, 255}, kGold, kGold, 3), x, y);
}

// A round arrow button pointing right (or left), in its three faces.
void arrowButton(Folder& f, bool right, int x, int y) {
  const std::string base = right ? "ARROWR" : "ARROWL";
  const Rgba faces[] = {{240, 230, 200, 200}, {255, 240, 150, 235}, {230, 190, 80, 255}};
  const char* suffix[] = {"", "_H", "_P"};
  for (int i = 0; i < 3; ++i) {
    Raster a(60, 60);
    a.circle(30, 30, 28, {40, 30, 20, 220});
    a.circle(30, 30, 24, faces[i]);
    if (right)
      a.triangle(22, 14, 22, 46, 46, 30, kInk);
    else
      a.triangle(38, 14, 38, 46, 14, 30, kInk);
    f.image(base + suffix[i] + ".IMG", a, x, y + (i == 2 ? 2 : 0));
  }
}

Raster keyPicture(int size, Rgba metal) {
  Raster k(size * 2, size);
  int r = size / 3;
  k.ring(r + 2, size / 2, r, std::max(2, size / 8), metal);
  k.rect(2 * r, size / 2 - size / 12, size * 2 - 4, size / 2 + size / 12 + 1, metal);
  k.rect(size * 2 - size / 3, size / 2, size * 2 - size / 3 + size / 8, size / 2 + size / 4, metal);
  k.rect(size * 2 - size / 6, size / 2, size * 2 - size / 6 + size / 8, size / 2 + size / 5, metal);
  return k;
}

// The inventory bar and the key icon that shows in it, for every scene of the story.
void inventory(Folder& f) {
  Raster bar(220, 64);
  bar.rect(0, 0, 220, 64, {30, 20, 10, 170});
  bar.rect(3, 3, 217, 61, {90, 60, 30, 190});
  bar.rect(70, 6, 122, 58, {40, 26, 12, 220});
  bar.rect(130, 6, 182, 58, {40, 26, 12, 220});
  f.image("INVBAR.IMG", bar, 10, 528);
  Raster icon = keyPicture(24, kGold);
  f.image("KEYICON.IMG", icon, 72, 548);
}

void sky(Raster& r, Rgba top, Rgba bottom, int horizon) { r.verticalGradient(0, horizon, top, bottom); }

// --- title ---

void titleScene(const fs::path& game, std::string& error, bool& ok) {
  Folder f(game, "TITLE", error);
  Raster bg(kW, kH);
  sky(bg, {8, 10, 40, 255}, {70, 40, 110, 255}, kH);
  Dice dice(7);
  for (int i = 0; i < 180; ++i) {
    int x = dice.below(kW), y = dice.below(380), b = 140 + dice.below(116);
    bg.set(x, y, {static_cast<uint8_t>(b), static_cast<uint8_t>(b), 255, 255});
  }
  bg.circle(705, 70, 40, {240, 235, 200, 255});
  bg.circle(721, 60, 35, {30, 25, 75, 255});  // crescent
  // Two rows of hills.
  for (int x = 0; x < kW; ++x) {
    int back = 430 + isin(x * 1000 / 530) * 40 / 1000;
    int front = 500 + isin(x * 1000 / 310 + 200) * 25 / 1000;
    bg.rect(x, back, x + 1, kH, {35, 30, 70, 255});
    bg.rect(x, front, x + 1, kH, {20, 18, 45, 255});
  }
  bg.textCentered(kW / 2 + 4, 84, 10, "TARNVIK", {10, 8, 30, 255});
  bg.textCentered(kW / 2, 80, 10, "TARNVIK", kGold);
  bg.textCentered(kW / 2, 176, 3, "THE GATE IN THE VALLEY", kWhite);
  bg.textCentered(kW / 2, 570, 2, "A DEMO GAME OF THE TARNVIK ENGINE", {170, 160, 210, 255});
  f.image("TITLEBG.IMG", bg);

  menuButton(f, "BTNSTART", "START", 300, 260);
  menuButton(f, "BTNSOUND", "SOUND", 300, 340);
  menuButton(f, "BTNQUIT", "QUIT", 300, 420);

  // The field the player's name is typed into (an EDITBOX draws the letters over it).
  Raster field(200, 32);
  field.rect(0, 0, 200, 32, kGold);
  field.rect(2, 2, 198, 30, {20, 18, 50, 255});
  f.image("NAMEFIELD.IMG", field, 300, 212);

  // The sound switch's lamp: a speaker with waves (on) or a cross (off).
  std::vector<Raster> lamp;
  for (int on = 1; on >= 0; --on) {
    Raster s(48, 48);
    s.circle(24, 24, 23, {20, 24, 60, 230});
    s.rect(10, 18, 18, 31, kWhite);
    s.triangle(16, 24, 28, 10, 28, 38, kWhite);
    if (on) {
      s.ring(28, 24, 10, 2, kGold);
      s.ring(28, 24, 16, 2, kGold);
      s.rect(18, 6, 28, 42, {0, 0, 0, 0});
      s.rect(10, 18, 18, 31, kWhite);
      s.triangle(16, 24, 28, 10, 28, 38, kWhite);
    } else {
      s.line(31, 17, 42, 31, 3, {240, 80, 80, 255});
      s.line(42, 17, 31, 31, 3, {240, 80, 80, 255});
    }
    lamp.push_back(std::move(s));
  }
  f.animation("SNDLAMP.ANN", lamp, {{"ON", 1, {0}, false}, {"OFF", 1, {1}, false}});

  // A sparkle the title's timer places on the sky and plays.
  std::vector<Raster> sparkle;
  for (int i = 0; i < 6; ++i) {
    int size = i < 3 ? 4 + i * 5 : 4 + (5 - i) * 5;
    Raster s(40, 40);
    Rgba c{255, 250, 200, static_cast<uint8_t>(120 + size * 6)};
    s.line(20 - size, 20, 20 + size, 20, 2, c);
    s.line(20, 20 - size, 20, 20 + size, 2, c);
    s.circle(20, 20, 2 + size / 5, kWhite);
    sparkle.push_back(std::move(s));
  }
  f.animation("SPARKLE.ANN", sparkle, {{"TWINKLE", 12, {0, 1, 2, 3, 4, 5}, false}});
  ok = ok && f.ok();
}

// --- the meadow: the guide, the key ---

Raster guideFrame(int arm, int mouth, int bob) {
  Raster g(120, 200);
  const Rgba robe{60, 120, 190, 255}, skin{245, 205, 170, 255}, hair{120, 70, 30, 255};
  int y = bob;
  g.triangle(60, 70 + y, 18, 196, 102, 196, robe);       // robe
  g.rect(30, 188, 90, 196, {40, 90, 150, 255});           // hem
  g.circle(60, 50 + y, 30, skin);                         // head
  g.ellipse(60, 28 + y, 32, 14, hair);                    // hair
  g.circle(49, 50 + y, 4, kInk);                          // eyes
  g.circle(71, 50 + y, 4, kInk);
  g.set(50, 49 + y, kWhite);
  g.set(72, 49 + y, kWhite);
  // Mouth: 0 smile, 1 open, 2 half, 3 wide.
  switch (mouth) {
    case 0: g.line(50, 65 + y, 70, 65 + y, 2, {160, 60, 60, 255}); break;
    case 1: g.ellipse(60, 66 + y, 6, 5, {120, 30, 40, 255}); break;
    case 2: g.ellipse(60, 66 + y, 8, 3, {120, 30, 40, 255}); break;
    default: g.ellipse(60, 66 + y, 10, 7, {120, 30, 40, 255}); break;
  }
  // Arms: 0 down, 1 half raised, 2 up (waving).
  g.line(40, 100 + y, 24, 150 + y, 8, robe);
  const int hx[] = {98, 108, 104}, hy[] = {150, 100, 62};
  g.line(80, 100 + y, hx[arm], hy[arm] + y, 8, robe);
  g.circle(hx[arm], hy[arm] + y, 7, skin);
  g.circle(24, 152 + y, 7, skin);
  return g;
}

void meadowScene(const fs::path& game, std::string& error, bool& ok) {
  Folder f(game, "MEADOW", error);
  Raster bg(kW, kH);
  sky(bg, {110, 170, 240, 255}, {200, 230, 250, 255}, 400);
  bg.circle(680, 90, 50, {255, 240, 150, 255});
  for (int x = 0; x < kW; ++x) {
    int hill = 360 + isin(x * 1000 / 900 + 100) * 30 / 1000;
    bg.rect(x, hill, x + 1, kH, {110, 180, 80, 255});
  }
  bg.verticalGradient(420, kH, {90, 160, 60, 255}, {50, 110, 40, 255});
  Dice dice(11);
  for (int i = 0; i < 900; ++i) {
    int x = dice.below(kW), y = 420 + dice.below(180);
    bg.line(x, y, x + dice.below(5) - 2, y - 6 - dice.below(6), 1, rgb(60 + dice.below(40), 140 + dice.below(60), 50));
  }
  // A path to the right edge, and a tree on the left.
  bg.triangle(430, 600, 800, 400, 800, 600, {200, 180, 130, 255});
  bg.triangle(430, 600, 800, 440, 560, 600, {215, 195, 145, 255});
  bg.rect(100, 250, 140, 450, {110, 75, 40, 255});
  bg.circle(120, 210, 85, {50, 120, 50, 255});
  bg.circle(70, 250, 55, {60, 135, 55, 255});
  bg.circle(175, 245, 60, {45, 110, 45, 255});
  f.image("MEADOWBG.IMG", bg);

  // The guide: frames 0-1 standing, 2-3 waving, 4-6 talking mouths, 7 a closing smile. It stands at
  // 470, 250 by the file itself: the sequence that makes it speak shows its own copy of the file.
  std::vector<Raster> guide{guideFrame(0, 0, 0), guideFrame(0, 0, 2), guideFrame(2, 0, 0), guideFrame(1, 0, 0),
                            guideFrame(0, 1, 0), guideFrame(0, 2, 0), guideFrame(0, 3, 0), guideFrame(1, 0, 1)};
  f.animation("GUIDE.ANN", guide,
              {{"STAND", 3, {0, 1}, true},
               {"WAVE", 6, {2, 3, 2, 3, 2, 0}, false},
               {"TALKSTART", 8, {0}, false},
               {"TALKA", 8, {4, 5, 4}, false},
               {"TALKB", 8, {5, 6, 5}, false},
               {"TALKC", 8, {6, 4, 6, 5}, false},
               {"TALKEND", 4, {7, 0}, false}},
              470, 250);

  Raster bubble(300, 110);
  bubble.ellipse(150, 50, 148, 48, kInk);
  bubble.ellipse(150, 50, 144, 44, kWhite);
  bubble.triangle(220, 86, 260, 108, 240, 80, kWhite);
  f.image("BUBBLE.IMG", bubble, 200, 130);  // the guide's words are a TEXT over it

  f.image("KEY.IMG", keyPicture(30, kGold), 250, 470);
  Raster glow(60, 30);
  glow.ellipse(30, 15, 30, 15, {255, 255, 180, 120});
  Raster key = keyPicture(30, {255, 235, 120, 255});
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) glow.blend(x, y, key.at(x, y));
  f.image("KEY_H.IMG", glow, 250, 470);

  arrowButton(f, true, 730, 300);
  inventory(f);
  ok = ok && f.ok();
}

// --- the valley: a background wider than the screen, scrolled by a timer ---

void valleyScene(const fs::path& game, std::string& error, bool& ok) {
  Folder f(game, "VALLEY", error);
  const int w = 1600;
  Raster bg(w, kH);
  sky(bg, {250, 170, 110, 255}, {255, 225, 170, 255}, 380);
  // Everything repeats every 1600 pixels, so the wrapped background has no seam.
  for (int x = 0; x < w; ++x) {
    int far = 300 + std::abs(isin(x * 1000 / 800)) * 90 / 1000 - 60;
    int mid = 380 + isin(x * 1000 / 400 + 300) * 30 / 1000;
    int near = 450 + isin(x * 1000 / 1600 * 3 + 100) * 20 / 1000;
    bg.rect(x, far, x + 1, kH, {150, 110, 140, 255});
    bg.rect(x, mid, x + 1, kH, {110, 140, 90, 255});
    bg.rect(x, near, x + 1, kH, {80, 120, 60, 255});
  }
  for (int i = 0; i < 8; ++i) {
    int cx = 100 + i * 200, cy = 70 + (i % 3) * 30;
    bg.ellipse(cx, cy, 60, 18, {255, 250, 240, 200});
    bg.ellipse(cx + 30, cy - 10, 40, 16, {255, 250, 240, 200});
  }
  for (int i = 0; i < 16; ++i) {  // small trees on the near hill
    int x = 50 + i * 100, y = 450 + isin(x * 1000 / 1600 * 3 + 100) * 20 / 1000;
    bg.rect(x - 3, y - 10, x + 3, y + 10, {90, 60, 30, 255});
    bg.triangle(x - 18, y - 6, x + 18, y - 6, x, y - 50, {40, 90, 40, 255});
  }
  bg.rect(0, 520, w, kH, {190, 160, 110, 255});
  bg.rect(0, 516, w, 520, {150, 120, 80, 255});
  f.image("VALLEYBG.IMG", bg);

  std::vector<Raster> bird;
  const int wing[] = {-12, 0, 12, 0};
  for (int i = 0; i < 4; ++i) {
    Raster b(60, 40);
    b.ellipse(30, 22, 12, 6, {40, 40, 50, 255});
    b.circle(42, 19, 5, {40, 40, 50, 255});
    b.triangle(46, 18, 54, 20, 46, 22, {240, 160, 40, 255});
    b.line(30, 20, 12, 20 + wing[i], 3, {40, 40, 50, 255});
    b.line(30, 20, 22, 20 + wing[i] * 3 / 2, 3, {60, 60, 70, 255});
    bird.push_back(std::move(b));
  }
  f.animation("BIRD.ANN", bird, {{"FLY", 8, {0, 1, 2, 3}, true}});

  Raster sign(180, 50);
  sign.rect(0, 0, 180, 50, {120, 80, 40, 230});
  sign.textCentered(90, 17, 2, "TO THE GATE >", kWhite);
  f.image("SIGN.IMG", sign, 560, 430);
  arrowButton(f, true, 730, 300);
  arrowButton(f, false, 10, 300);
  inventory(f);
  ok = ok && f.ok();
}

// --- the gate: the lever puzzle ---

Raster leverFrame(int position) {
  Raster l(50, 90);
  l.rect(5, 60, 45, 88, {70, 70, 80, 255});
  l.rect(8, 63, 42, 85, {110, 110, 120, 255});
  const int tipX[] = {0, 8, 25, 42};
  l.line(25, 66, tipX[position], 14, 5, {60, 40, 20, 255});
  l.circle(tipX[position], 12, 8, {200, 40, 40, 255});
  l.text(21, 68, 2, std::string(1, static_cast<char>('0' + position)), kGold);
  return l;
}

void gateScene(const fs::path& game, std::string& error, bool& ok) {
  Folder f(game, "GATE", error);
  Raster bg(kW, kH);
  sky(bg, {120, 160, 220, 255}, {190, 210, 240, 255}, 200);
  bg.rect(0, 120, kW, 480, {130, 125, 120, 255});
  for (int row = 0; row < 9; ++row)  // stone courses
    for (int x = (row % 2) * 40 - 40; x < kW; x += 80) {
      int y = 120 + row * 40;
      bg.rect(x + 2, y + 2, x + 78, y + 38, rgb(150 - (row * 7 + x / 3) % 20, 144 - (row * 5) % 16, 138));
    }
  bg.rect(0, 480, kW, kH, {120, 100, 70, 255});
  bg.rect(320, 190, 480, 470, {60, 50, 45, 255});  // the gate's frame
  // The garden beyond, seen through the opening once the doors move.
  for (int y = 200; y < 460; ++y) bg.rect(330, y, 470, y + 1, mix({250, 230, 160, 255}, {120, 190, 90, 255}, (y - 200) * 256 / 260));
  f.image("GATEBG.IMG", bg);

  // The gate: two doors that open outwards over six frames.
  std::vector<Raster> gate;
  for (int i = 0; i < 6; ++i) {
    Raster g(140, 260);
    int doorW = 70 - i * 13;
    for (int side = 0; side < 2; ++side) {
      int x0 = side == 0 ? 0 : 140 - doorW;
      g.rect(x0, 0, x0 + doorW, 260, {110, 70, 35, 255});
      for (int p = x0 + 4; p < x0 + doorW - 2; p += 12) g.rect(p, 4, p + 2, 256, {80, 50, 25, 255});
      if (doorW > 20) {
        g.rect(x0, 40, x0 + doorW, 50, {60, 60, 65, 255});
        g.rect(x0, 210, x0 + doorW, 220, {60, 60, 65, 255});
      }
    }
    if (i == 0) g.circle(70, 130, 8, kGold);  // the lock
    gate.push_back(std::move(g));
  }
  f.animation("GATE.ANN", gate,
              {{"CLOSED", 1, {0}, false}, {"OPEN", 6, {0, 1, 2, 3, 4, 5}, false}, {"OPENED", 1, {5}, false}});

  std::vector<Raster> lever{leverFrame(1), leverFrame(2), leverFrame(3)};
  const std::vector<AnimEvent> leverEvents{{"P1", 1, {0}, false}, {"P2", 1, {1}, false}, {"P3", 1, {2}, false}};
  f.animation("LEVER.ANN", lever, leverEvents);

  Raster tablet(170, 110);
  tablet.rect(0, 0, 170, 110, {90, 85, 80, 255});
  tablet.rect(5, 5, 165, 105, {175, 165, 150, 255});
  f.image("TABLET.IMG", tablet, 560, 160);  // its words are a TEXT

  Raster locked(360, 50);
  locked.rect(0, 0, 360, 50, {30, 20, 10, 210});
  locked.textCentered(180, 18, 2, "LOCKED. YOU NEED A KEY.", kWhite);
  f.image("LOCKED.IMG", locked, 220, 60);

  arrowButton(f, false, 10, 300);
  inventory(f);
  ok = ok && f.ok();
}

// --- the ending ---

void endingScene(const fs::path& game, std::string& error, bool& ok) {
  Folder f(game, "ENDING", error);
  Raster bg(kW, kH);
  sky(bg, {20, 20, 70, 255}, {220, 110, 90, 255}, kH);
  for (int x = 0; x < kW; ++x) {
    int hill = 420 + isin(x * 1000 / 700) * 25 / 1000;
    bg.rect(x, hill, x + 1, kH, {40, 70, 50, 255});
  }
  for (int i = 0; i < 7; ++i) {  // flowers of the garden
    int x = 60 + i * 115, y = 500 + (i % 2) * 30;
    bg.rect(x - 2, y, x + 2, y + 40, {40, 120, 40, 255});
    bg.circle(x, y, 14, i % 2 ? Rgba{240, 120, 160, 255} : Rgba{250, 220, 90, 255});
    bg.circle(x, y, 5, kWhite);
  }
  bg.textCentered(kW / 2 + 4, 204, 9, "THE END", {10, 8, 30, 255});
  bg.textCentered(kW / 2, 200, 9, "THE END", kGold);
  bg.textCentered(kW / 2, 290, 3, "THE GATE IS OPEN.", kWhite);
  bg.textCentered(kW / 2, 330, 2, "THANK YOU FOR PLAYING!", kWhite);
  f.image("ENDBG.IMG", bg);

  std::vector<Raster> burst;
  const Rgba colours[] = {{255, 220, 120, 255}, {255, 140, 200, 255}, {140, 220, 255, 255}};
  for (int i = 0; i < 8; ++i) {
    Raster b(120, 120);
    int r = 6 + i * 7;
    uint8_t fade = static_cast<uint8_t>(255 - i * 28);
    for (int k = 0; k < 12; ++k) {
      int px = 60 + r * isin(k * 1000 / 12 + 250) / 1000, py = 60 + r * isin(k * 1000 / 12) / 1000;
      Rgba c = colours[k % 3];
      c.a = fade;
      b.circle(px, py, 4 - i / 3, c);
    }
    burst.push_back(std::move(b));
  }
  f.animation("FIREWORK.ANN", burst, {{"BURST", 12, {0, 1, 2, 3, 4, 5, 6, 7}, false}});

  menuButton(f, "BTNTITLE", "TITLE", 170, 420);
  menuButton(f, "BTNQUIT", "QUIT", 430, 420);
  ok = ok && f.ok();
}

}  // namespace

// The demo's two fonts (dark ink and light): the block letters as animations, one 12 x 14 frame per
// letter in an event named by the letter; FONT objects build their fonts from them. Lower-case
// letters look like capitals, so typed names show whatever the case.
void fonts(const fs::path& game, std::string& error, bool& ok) {
  Folder f(game, "", error);
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!.,-?'<>";
  for (const auto& [file, colour] : {std::pair{"INKFONT.ANN", kInk}, std::pair{"LIGHTFONT.ANN", kWhite}}) {
    std::vector<Raster> frames;
    std::vector<AnimEvent> events;
    for (char c : letters) {
      Raster r(12, 14);
      r.text(0, 0, 2, std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(c)))), colour);
      events.push_back({std::string(1, c), 1, {static_cast<int>(frames.size())}, false});
      frames.push_back(std::move(r));
    }
    f.animation(file, frames, events);
  }
  ok = ok && f.ok();
}

bool makeArt(const fs::path& game, std::string& error) {
  bool ok = true;
  fonts(game, error, ok);
  if (ok) titleScene(game, error, ok);
  if (ok) meadowScene(game, error, ok);
  if (ok) valleyScene(game, error, ok);
  if (ok) gateScene(game, error, ok);
  if (ok) endingScene(game, error, ok);
  return ok;
}

}  // namespace demo
