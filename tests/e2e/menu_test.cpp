// The player's menu in real runs: opened by scripted Ctrl+F5, it holds the game (picture, counters
// and sound go on afterwards exactly where they stood), is drawn over the dimmed screen at any size,
// keeps its keys from the game, keeps its options in player.ini; in a window under Xvfb it opens
// with Ctrl+F5 through xdotool and answers clicks.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "application/menu/menu_drawing.h"
#include "application/menu/player_menu.h"
#include "application/menu/player_options.h"
#include "e2e/player_fixture.h"
#include "input/keys.h"
#include "sound/codec.h"

namespace {

using namespace tarnvik::e2e;
using tarnvik::PlayerMenu;
using tarnvik::PixelRect;

constexpr int kFrameMs = 20;     // 882 samples a frame
constexpr int kFrameSamples = 882;
constexpr int kMusicLength = 10000;

uint16_t pattern(int x, int y) { return static_cast<uint16_t>((x * 7) ^ (y * 13) ^ (x * y)); }
int16_t musicSample(int64_t k) { return static_cast<int16_t>((k % kMusicLength) % 2000 + 1); }

// A pixel of a screenshot as the 5-6-5 value it was written from.
uint16_t shot565(const tarnvik::png::Image& image, int x, int y) {
  Rgb c = top565(at(image, x, y));
  return static_cast<uint16_t>(c.r << 11 | c.g << 5 | c.b);
}

bool inside(const PixelRect& r, int x, int y) { return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h; }

// The menu as the player shows it after the given keys, for where its boxes are.
PlayerMenu menuAfter(int width, int height, std::initializer_list<const char*> keys) {
  PlayerMenu menu(width, height);
  menu.open();
  for (const char* k : keys) {
    tarnvik::InputEvent e;
    e.kind = tarnvik::InputEvent::kKeyDown;
    e.key = tarnvik::keys::codeOf(k);
    menu.handle(e);
  }
  return menu;
}

// A game whose screen, counters and sound change all the time: a patterned background, a sprite a
// timer moves every frame (counting its ticks in N), looping music, and KEYBOARD counting keys.
class MenuGameTest : public SceneGameTest {
 protected:
  void SetUp() override {
    SceneGameTest::SetUp();
    ASSERT_TRUE(writeImageFile(folder() / "Dane" / "S" / "bg.img", 320, 240, 0, 0, pattern));
    ASSERT_TRUE(writeImageFile(folder() / "Dane" / "S" / "sp.img", 16, 16, 0, 100, [](int, int) { return uint16_t{0xFFE0}; }));
    std::vector<uint8_t> pcm;
    for (int k = 0; k < kMusicLength; ++k) {
      int16_t v = musicSample(k);
      pcm.push_back(static_cast<uint8_t>(v & 0xFF));
      pcm.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
    writeBytes("music.wav", writeWavFile(PcmFormat::pcm16(1, 44100), pcm));
    scene(integers({"N", "ESC", "F5", "ENTER", "A"}) +
              "OBJECT=SP\nSP:TYPE=IMAGE\nSP:FILENAME=sp.img\nSP:TOCANVAS=TRUE\nSP:VISIBLE=TRUE\n"
              "OBJECT=T\nT:TYPE=TIMER\nT:ELAPSE=20\nT:ONTICK={SP^MOVE(3,0);N^INC();}\n"
              "OBJECT=KEYS\nKEYS:TYPE=KEYBOARD\nKEYS:ONKEYDOWN^ESC={ESC^INC();}\nKEYS:ONKEYDOWN^F5={F5^INC();}\n"
              "KEYS:ONKEYDOWN^ENTER={ENTER^INC();}\nKEYS:ONKEYDOWN^A={A^INC();}\n"
              "OBJECT=S\nS:ONINIT={S^SETMUSICVOLUME(800);}\n",
          "S:BACKGROUND=bg.img\nS:MUSIC=music.wav\n");
  }
  fs::path input(const std::string& text) {
    fs::path file = dir_ / ("input-" + std::to_string(++inputs_) + ".txt");
    std::ofstream(file) << text;
    return file;
  }
  // Runs headless at 20 ms a frame with the input, -res 320 240 unless other words are given, from
  // a new settings file; writes shot.png and out.wav.
  void run(int frames, const std::string& script, std::vector<std::string> more = {"-res", "320", "240"}) {
    fs::remove(settings());
    more.insert(more.end(), {"--frame-ms", std::to_string(kFrameMs), "--screenshot", shot().string(), "--audio-out",
                             (dir_ / "out.wav").string()});
    if (!script.empty()) more.insert(more.end(), {"--input", input(script).string()});
    ASSERT_EQ(play(frames, more), 0) << err();
  }
  fs::path shot() const { return dir_ / "shot.png"; }
  std::vector<int16_t> sound() {
    std::string bytes = slurp(dir_ / "out.wav");
    std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    WavLayout layout;
    std::string why;
    EXPECT_TRUE(readWavLayout(span, layout, why)) << why;
    std::vector<int16_t> samples(layout.dataSize / 2);
    std::memcpy(samples.data(), bytes.data() + layout.dataOffset, samples.size() * 2);
    return samples;
  }
  int inputs_ = 0;
};

TEST_F(MenuGameTest, OpenMenuHoldsTheGameAndItsSoundWhereTheyStood) {
  run(40, "");
  tarnvik::png::Image plain = readPng(shot());
  std::vector<int16_t> plainSound = sound();
  int plainTicks = value("N");
  ASSERT_GT(plainTicks, 30);

  // Open from frame 10 to frame 25 and from 30 to 35: 20 frames in which nothing of the game moves
  // or sounds.
  run(60, "10 keydown CTRL\n10 key F5\n25 key ESC\n30 key F5\n35 key ESC\n");
  EXPECT_EQ(value("N"), plainTicks);
  EXPECT_EQ(readPng(shot()).pixels, plain.pixels) << "the sprite stands where the uninterrupted run left it";
  std::vector<int16_t> held = sound();
  ASSERT_EQ(held.size(), size_t{60} * kFrameSamples * 2);
  // Each frame of this run plays a frame of the uninterrupted one, or none (-1) while the menu is open.
  std::vector<int> source;
  for (int f = 0; f < 60; ++f) source.push_back(f < 10 ? f : f < 25 ? -1 : f < 30 ? f - 15 : f < 35 ? -1 : f - 20);
  std::vector<int16_t> want;
  for (int f : source)
    for (size_t k = 0; k < size_t{kFrameSamples} * 2; ++k)
      want.push_back(f < 0 ? 0 : plainSound[static_cast<size_t>(f) * kFrameSamples * 2 + k]);
  EXPECT_TRUE(held == want) << "the music pauses while the menu is open and goes on from the same sample";
}

TEST_F(MenuGameTest, MenuIsDrawnOverTheDimmedScreenWithItsEntryHighlightedAtAnySize) {
  for (auto [w, h] : {std::pair{320, 240}, {800, 600}}) {
    std::vector<std::string> res{"-res", std::to_string(w), std::to_string(h)};
    run(10, "", res);
    tarnvik::png::Image behind = readPng(shot());
    run(13, "10 keydown CTRL\n10 key F5\n11 key DOWN\n", res);
    tarnvik::png::Image menu = readPng(shot());
    ASSERT_EQ(menu.width, w);
    PlayerMenu model = menuAfter(w, h, {"DOWN"});
    const PixelRect panel = model.panel();
    int wrongBehind = 0, wrongBorder = 0, whiteOutside = 0;
    std::vector<int> white(model.entries().size() + 1, 0);  // white (lettered) pixels per entry, then the title
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint16_t p = shot565(menu, x, y);
        if (!inside(panel, x, y)) {
          wrongBehind += p != tarnvik::dimmed565(shot565(behind, x, y));
          continue;
        }
        bool edge = x == panel.x || y == panel.y || x == panel.x + panel.w - 1 || y == panel.y + panel.h - 1;
        if (edge) wrongBorder += p != tarnvik::kMenuBorder;
        if (p != 0xFFFF) continue;
        bool counted = false;
        for (size_t i = 0; i < model.entries().size(); ++i)
          if (inside(model.entries()[i].box, x, y)) white[i]++, counted = true;
        if (inside(model.titleBox(), x, y)) white.back()++, counted = true;
        whiteOutside += !counted;
      }
    std::string size = std::to_string(w) + "x" + std::to_string(h);
    EXPECT_EQ(wrongBehind, 0) << size << ": the screen around the panel is the game's, dimmed";
    EXPECT_EQ(wrongBorder, 0) << size;
    EXPECT_EQ(whiteOutside, 0) << size << ": letters only in the title and the entries";
    for (size_t i = 0; i < white.size(); ++i) EXPECT_GT(white[i], 8) << size << ": entry " << i << " has its word";
    const PixelRect save = model.entries()[1].box, resume = model.entries()[0].box;
    EXPECT_EQ(shot565(menu, save.x + 1, save.y + 1), tarnvik::kMenuHighlight) << size << ": Save is selected";
    EXPECT_EQ(shot565(menu, save.x + save.w - 2, save.y + save.h - 2), tarnvik::kMenuHighlight) << size;
    EXPECT_EQ(shot565(menu, resume.x + 1, resume.y + 1), tarnvik::kMenuPanel) << size;
  }
}

TEST_F(MenuGameTest, KeysTheMenuTakesNeverReachTheGame) {
  // Escape and Enter reach the game while the menu is closed; Ctrl+F5 never does, nor anything
  // pressed while the menu is open; the menu's Enter on Resume closes it without the game seeing it.
  run(40,
      "2 key ESC\n3 key ENTER\n4 key F5\n"
      "10 keydown CTRL\n10 key F5\n11 keyup CTRL\n12 key A\n13 key ESC\n"
      "20 keydown RCTRL\n20 key F5\n21 keyup RCTRL\n22 key ENTER\n30 key A\n");
  EXPECT_EQ(value("ESC"), 1);
  EXPECT_EQ(value("ENTER"), 1);
  EXPECT_EQ(value("F5"), 1);
  EXPECT_EQ(value("A"), 1);

  // Quit ends the run there, cleanly: the settings are written and the status is 0.
  run(100, "5 keydown CTRL\n5 key F5\n6 key UP\n7 key ENTER\n");
  EXPECT_NE(last_.out.find("tarnvik: 7 frames"), std::string::npos) << last_.out;
  EXPECT_GT(value("N"), 0);
}

TEST_F(MenuGameTest, OptionsChosenInTheMenuAreHeardAndKeptForTheNextRuns) {
  // Options, then the master volume down five steps to 50%, then back to the game.
  run(30, "2 keydown CTRL\n2 key F5\n3 key UP\n4 key UP\n5 key ENTER\n"
          "6 key LEFT\n7 key LEFT\n8 key LEFT\n9 key LEFT\n10 key LEFT\n11 key ESC\n12 key ESC\n");
  EXPECT_EQ(tarnvik::readPlayerOptions((dir_ / "config" / "tarnvik" / "player.ini").string()).masterVolume, 50);
  std::vector<int16_t> s = sound();
  // The music went on at frame 12 from where frame 2 held it, at half the volume.
  int64_t from = 12 * int64_t{kFrameSamples}, held = 10 * int64_t{kFrameSamples};
  for (int64_t k = from; k < from + 2000; ++k)
    ASSERT_EQ(s[static_cast<size_t>(2 * k)], musicSample(k - held) / 2) << k;

  // The next run starts at the kept volume; --volume wins for its run.
  run(5, "");
  EXPECT_EQ(sound()[200], musicSample(100) / 2);
  run(5, "", {"--volume", "100"});
  EXPECT_EQ(sound()[200], musicSample(100));
  // Mute, chosen in the menu, is kept too.
  run(10, "1 keydown CTRL\n1 key F5\n2 key UP\n3 key UP\n4 key ENTER\n5 key DOWN\n6 key DOWN\n7 key ENTER\n");
  run(5, "");
  std::vector<int16_t> muted = sound();
  EXPECT_EQ(muted, std::vector<int16_t>(muted.size(), 0));
}

}  // namespace

namespace {

// Under Xvfb: the still game (its background alone) in a 320 x 240 window shown at twice its size;
// `actions` run once the window is there, then its pixels are dumped into menu.xwd.
class MenuWindowTest : public MenuGameTest {
 protected:
  void SetUp() override {
    MenuGameTest::SetUp();
    scene("", "S:BACKGROUND=bg.img\n");
  }
  bool toolsMissing(std::string& which) {
    for (const char* tool : {"xvfb-run", "xwd", "xdotool"})
      if (!onPath(tool)) return which = tool, true;
    return false;
  }
  PlayerRun window(const std::string& actions) {
    const std::string script = R"sh(P="$1"; D="$2"; G="$3"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
"$P" --settings "$D/w.ini" --scale pixel -res 320 240 -window -path "$G" &
pid=$!
)sh" + std::string(kFindPlayerWindow) + R"sh(sleep 1
xdotool windowfocus --sync "$id"; sleep 0.3
)sh" + actions + R"sh(
sleep 0.7
xwd -id "$id" -silent > "$D/menu.xwd" || { kill $pid; exit 12; }
kill -TERM $pid
wait $pid
)sh";
    return finish(spawn({"xvfb-run", "-a", "-s", "-screen 0 800x600x24 -nolisten tcp", "sh", "-c", script, "sh",
                         program(), dir_.string(), folder().string()}));
  }
  // The window's picture at its scale of 2 against a headless screenshot; the count of differences.
  int differences(const tarnvik::png::Image& want) {
    WindowDump dump;
    std::string error;
    EXPECT_TRUE(parseXwd(slurp(dir_ / "menu.xwd"), dump, error)) << error;
    if (dump.width != 640 || dump.height != 480) {
      ADD_FAILURE() << "the window is " << dump.width << " x " << dump.height;
      return -1;
    }
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) wrong += !(top565(dump.at(x, y)) == top565(at(want, x / 2, y / 2)));
    return wrong;
  }
  // Where a click on an entry lands in the window (its middle, at the window's scale).
  static std::string clickOn(const PixelRect& box) {
    return "xdotool mousemove --window \"$id\" " + std::to_string(2 * (box.x + box.w / 4)) + " " +
           std::to_string(2 * (box.y + box.h / 2)) + " click 1; sleep 0.5\n";
  }
};

TEST_F(MenuWindowTest, CtrlF5OpensTheMenuAndAClickOnSaveShowsTheSlots) {
  std::string missing;
  if (toolsMissing(missing)) GTEST_SKIP() << missing << " is not installed (make deps installs it)";
  PixelRect save = menuAfter(320, 240, {}).entries()[1].box;
  PlayerRun shown = window("xdotool key ctrl+F5; sleep 0.5\n" + clickOn(save));
  ASSERT_EQ(shown.status, 0) << shown.err;

  // The same menu headless: opened, Save clicked at the same point.
  int x = save.x + save.w / 4, y = save.y + save.h / 2;
  run(14, "10 keydown CTRL\n10 key F5\n11 keyup CTRL\n12 click " + std::to_string(x) + " " + std::to_string(y) + "\n");
  tarnvik::png::Image headless = readPng(shot());
  PlayerMenu slots = menuAfter(320, 240, {"DOWN", "ENTER"});
  ASSERT_EQ(slots.page(), PlayerMenu::Page::kSave);
  const PixelRect first = slots.entries()[0].box;
  EXPECT_EQ(shot565(headless, first.x + 1, first.y + 1), tarnvik::kMenuHighlight) << "the slot list, slot 1 selected";
  EXPECT_EQ(differences(headless), 0);
}

// Saving and loading with clicks needs the saves (the SaveSlots the player hands its menu); enable
// when they are in: a save is made into slot 1 with a typed name, then loaded from the Load page,
// and the window shows the game again without the menu.
TEST_F(MenuWindowTest, ASaveIsMadeAndLoadedWithClicks) {
  std::string missing;
  if (toolsMissing(missing)) GTEST_SKIP() << missing << " is not installed (make deps installs it)";
  PlayerMenu menu = menuAfter(320, 240, {});
  PixelRect save = menu.entries()[1].box, load = menu.entries()[2].box;
  PixelRect slot1 = menuAfter(320, 240, {"DOWN", "ENTER"}).entries()[0].box;
  PlayerRun shown = window("xdotool key ctrl+F5; sleep 0.5\n" + clickOn(save) + clickOn(slot1) +
                           "xdotool type x; xdotool key Return; sleep 0.5\n" + clickOn(load) + clickOn(slot1));
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_TRUE(fs::exists(dir_ / "xdg" / "tarnvik" / "saves" / "game")) << "the save was written";
  run(10, "");
  EXPECT_EQ(differences(readPng(shot())), 0) << "the loaded game shows, the menu closed";
}

}  // namespace
