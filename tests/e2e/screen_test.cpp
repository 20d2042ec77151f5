// What the player shows: --screenshot files headless and in a window, the window's pixels on an X
// server (Xvfb) against the composed frame, and the settings writes while a game plays.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/player_fixture.h"
#include "graphics/pixels/fps_text.h"
#include "graphics/formats/png.h"

namespace {

using namespace tarnvik::e2e;
namespace png = tarnvik::png;

// The frame counter as the window draws it: a white box from (10, 10), one pixel of margin, glyphs
// of 5 x 7 on a 6-pixel advance in black; elsewhere the given colour.
Rgb withCounter(const std::string& text, int x, int y, Rgb elsewhere) {
  int gx = x - 11, gy = y - 11;
  bool inBox = x >= 10 && y >= 10 && x < 10 + static_cast<int>(text.size()) * tarnvik::kFpsAdvance + 1 && y < 19;
  if (!inBox) return elsewhere;
  if (gx >= 0 && gy >= 0 && gy < tarnvik::kFpsGlyphHeight && gx % tarnvik::kFpsAdvance < tarnvik::kFpsGlyphWidth) {
    size_t index = static_cast<size_t>(gx / tarnvik::kFpsAdvance);
    const unsigned char* rows = index < text.size() ? tarnvik::fpsGlyph(text[index]) : nullptr;
    if (rows && ((rows[gy] >> (tarnvik::kFpsGlyphWidth - 1 - gx % tarnvik::kFpsAdvance)) & 1)) return {0, 0, 0};
  }
  return {255, 255, 255};
}

uint16_t backgroundPixel(int x, int y) {
  return static_cast<uint16_t>((x * 31 / 319) << 11 | (y * 63 / 239) << 5 | ((x + y) & 31));
}

class ScreenTest : public PlayerTest {
 protected:
  // A game that never changes its 320 x 240 screen: a background of gradients and, when asked, a
  // sprite with soft alpha edges on it. Returns its folder (named "still").
  fs::path stillGame(bool sprite) {
    fs::path folder = dir_ / "still", scene = folder / "Dane" / "S";
    fs::create_directories(scene);
    std::ofstream(folder / "Dane" / "application.def")
        << "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\n\n"
           "OBJECT=S\nS:TYPE=SCENE\nS:PATH=S\nS:BACKGROUND=bg.img\n";
    std::ofstream cnv(scene / "S.cnv");
    // A TOINI counter changes every frame without changing the picture.
    cnv << "OBJECT=FRAMES\nFRAMES:TYPE=INTEGER\nFRAMES:TOINI=TRUE\n"
           "OBJECT=EVERY\nEVERY:TYPE=TIMER\nEVERY:ELAPSE=1\nEVERY:ONTICK={FRAMES^INC();}\n";
    if (sprite) cnv << "OBJECT=SPRITE\nSPRITE:TYPE=IMAGE\nSPRITE:FILENAME=sprite.img\nSPRITE:TOCANVAS=TRUE\nSPRITE:VISIBLE=TRUE\n";
    EXPECT_TRUE(writeImageFile(scene / "bg.img", 320, 240, 0, 0, backgroundPixel));
    if (sprite) {
      EXPECT_TRUE(writeImageFile(
          scene / "sprite.img", 64, 48, 40, 30, [](int x, int) { return static_cast<uint16_t>(0xF800 | x); },
          [](int x, int y) { return static_cast<uint8_t>(std::min(255, (x + y) * 4)); }));
    }
    return folder;
  }
};

TEST_F(ScreenTest, HeadlessScreenshotIsTheComposedFrame) {
  fs::path shot = dir_ / "shot.png";
  PlayerRun run = game(stillGame(false).string(), 10, {"--screenshot", shot.string(), "-res", "320", "240", "-debug"});
  ASSERT_EQ(run.status, 0) << run.err;
  png::Image image = readPng(shot);
  ASSERT_EQ(image.width, 320);
  ASSERT_EQ(image.height, 240);
  ASSERT_EQ(image.channels, 3);
  int white = 0, mismatches = 0;
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) {
      uint16_t p = backgroundPixel(x, y);
      Rgb back{png::expand5(p >> 11), png::expand6((p >> 5) & 63), png::expand5(p & 31)};
      Rgb want = withCounter("FPS: 0", x, y, back);  // less than a second of game time
      white += want == Rgb{255, 255, 255};
      if (!(at(image, x, y) == want) && ++mismatches < 5) ADD_FAILURE() << "pixel " << x << ", " << y;
    }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(white, 100);

  // A relative name is taken from where the player started; the default screen is 800 x 600 and black.
  fs::path cwdShot = fs::path(TARNVIK_TEST_GAMES) / ("e2e-shot-" + std::to_string(getpid()) + ".png");
  run = game("still", 3, {"--screenshot", cwdShot.filename().string()});
  ASSERT_EQ(run.status, 0) << run.err;
  image = readPng(cwdShot);
  fs::remove(cwdShot);
  ASSERT_EQ(image.width, 800);
  ASSERT_EQ(image.height, 600);
  EXPECT_EQ(image.pixels, std::vector<uint8_t>(800 * 600 * 3, 0));
}

TEST_F(ScreenTest, ScreenshotAtEveryEndOfTheRun) {
  // The game's EXIT ends the run early: the screenshot is still written.
  fs::path shot = dir_ / "exit.png";
  PlayerRun run = game("empty", 1000, {"--screenshot", shot.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("13 frames"), std::string::npos) << run.out;
  EXPECT_EQ(readPng(shot).width, 800);

  // SIGTERM: the same.
  fs::path signalled = dir_ / "signal.png";
  fs::remove(settings());
  pid_t pid = start({"--headless", "--frames", "1000000000", "--settings", settings().string(), "--screenshot",
                     signalled.string(), "-path", "order"});
  for (int i = 0; i < 500 && !fs::exists(settings()); ++i) usleep(10000);
  usleep(100000);
  kill(pid, SIGTERM);
  run = finish(pid);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(readPng(signalled).height, 600);

  // A screenshot that cannot be written is a failure of the run, said on stderr.
  run = game("still", 2, {"--screenshot", (dir_ / "no" / "such" / "folder.png").string()});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("--screenshot"), std::string::npos) << run.err;
  EXPECT_EQ(text("S", "SEEN"), "TRUE");  // the settings were still written
}

TEST_F(ScreenTest, OutputsThatAreNotRegularFilesAreWrittenInPlace) {
  // Through a symbolic link: the file it names is replaced, the link stays a link.
  fs::create_directories(dir_ / "real");
  std::ofstream(dir_ / "real" / "shot.png") << "old";
  fs::create_symlink(dir_ / "real" / "shot.png", dir_ / "link.png");
  PlayerRun run = game("still", 2, {"--screenshot", (dir_ / "link.png").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.png"));
  EXPECT_EQ(readPng(dir_ / "real" / "shot.png").width, 800);

  // A FIFO is opened and written: its reader gets the whole file.
  fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string piped;
  std::thread reader([&] { piped = slurp(fifo); });
  run = game("still", 2, {"--audio-out", fifo.string()});
  reader.join();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_fifo(fifo));
  ASSERT_GT(piped.size(), 44u);
  EXPECT_EQ(piped.substr(0, 4), "RIFF");
  EXPECT_EQ(piped.substr(8, 4), "WAVE");

  // /dev/stdout: the WAV alone on standard output, the summary line on stderr.
  run = game("still", 2, {"--audio-out", "/dev/stdout"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, 4), "RIFF") << run.out.substr(0, 80);
  EXPECT_EQ(run.out.size(), piped.size());
  EXPECT_NE(run.err.find("2 frames"), std::string::npos) << run.err;

  // A device that takes nothing: the write fails, said on stderr, and the run's status says so.
  for (const char* option : {"--screenshot", "--audio-out"}) {
    run = game("still", 2, {option, "/dev/full"});
    EXPECT_EQ(run.status, 3) << option;
    EXPECT_NE(run.err.find(std::string(option) + ": cannot write /dev/full"), std::string::npos) << run.err;
    struct stat device {};
    ASSERT_EQ(stat("/dev/full", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
  }
}

TEST_F(ScreenTest, SettingsWrittenOncePerSecondAtSceneChangesAndAtTheEnd) {
  // COUNT1 grows every frame for two seconds in S1, then COUNT2 in S2 until the run ends.
  PlayerRun run = game("flush", 300, {"--log", "debug"});
  ASSERT_EQ(run.status, 0) << run.err;
  int count1 = value("S1", "COUNT1"), count2 = value("S2", "COUNT2");
  EXPECT_GT(count1, 100);
  EXPECT_GT(count2, 100);
  EXPECT_EQ(count1 + count2, 300);  // every frame counted once: the last frames reached the file too
  std::string first = slurp(settings());

  int writes = 0, sceneChanges = 0;
  for (size_t at = 0; (at = run.err.find("settings written", at)) != std::string::npos; ++at) ++writes;
  for (size_t at = 0; (at = run.err.find("(scene change)", at)) != std::string::npos; ++at) ++sceneChanges;
  // 4.8 s of game time: about one write a second, one at the scene change, one at the end; not 300.
  EXPECT_GE(writes, 5);
  EXPECT_LE(writes, 8);
  EXPECT_EQ(sceneChanges, 1);
  EXPECT_NE(run.err.find("(exit)"), std::string::npos);

  // Without the log the same file results.
  fs::remove(settings());
  ASSERT_EQ(game("flush", 300).status, 0);
  EXPECT_EQ(slurp(settings()), first);
}

TEST_F(ScreenTest, WithoutADisplayTheRunGoesOnHeadlessOnTheRealClock) {
  fs::path shot = dir_ / "shot.png";
  pid_t pid = spawn({"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", program(), "--frames", "5", "--settings",
                     settings().string(), "--screenshot", shot.string(), "-res", "64", "48", "-path", "still"});
  PlayerRun run = finish(pid);
  ASSERT_EQ(run.status, 0) << run.err;
  size_t said = run.err.find("running headless on the real clock");
  ASSERT_NE(said, std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("running headless", said + 1), std::string::npos) << run.err;  // once
  EXPECT_NE(run.out.find("5 frames, scene S"), std::string::npos) << run.out;
  EXPECT_EQ(readPng(shot).width, 64);
}

// STARTDRAGGINGWINDOW makes the window follow the pointer, held at the given point; a click ends it
// with STOPDRAGGINGWINDOW. The window's place is read from the X server.
TEST_F(ScreenTest, DraggedWindowFollowsThePointerUntilStopped) {
  for (const char* tool : {"xvfb-run", "xdotool"})
    if (!onPath(tool)) GTEST_SKIP() << tool << " is not installed (make deps installs it)";
  fs::path folder = stillGame(false);
  std::ofstream(folder / "Dane" / "S" / "S.cnv", std::ios::app)
      << "OBJECT=MOUSE\nMOUSE:TYPE=MOUSE\nMOUSE:ONCLICK={GAME^STOPDRAGGINGWINDOW();}\n"
         "OBJECT=S\nS:ONINIT={GAME^STARTDRAGGINGWINDOW(10,20);}\n";
  const std::string script = R"sh(P="$1"; D="$2"; G="$3"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
"$P" --settings "$D/d.ini" -window -res 320 240 -path "$G" &
pid=$!
for i in $(seq 1 300); do
  grep -q '^FRAMES *= *[0-9][0-9]' "$D/d.ini" 2>/dev/null && break
  sleep 0.1
done
)sh" + std::string(kFindPlayerWindow) + R"sh(xdotool mousemove 300 200; sleep 1
xdotool getwindowgeometry "$id" | grep Position > "$D/dragged.txt"
xdotool click 1; sleep 1
xdotool mousemove 500 400; sleep 1
xdotool getwindowgeometry "$id" | grep Position > "$D/stopped.txt"
kill -TERM $pid
wait $pid
)sh";
  pid_t pid = spawn({"xvfb-run", "-a", "-s", "-screen 0 800x600x24 -nolisten tcp", "sh", "-c", script, "sh",
                     program(), dir_.string(), folder.string()});
  PlayerRun run = finish(pid);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(slurp(dir_ / "dragged.txt").find("Position: 290,180"), std::string::npos)
      << slurp(dir_ / "dragged.txt") << "the point (10, 20) of the window is under the pointer";
  EXPECT_NE(slurp(dir_ / "stopped.txt").find("Position: 290,180"), std::string::npos)
      << slurp(dir_ / "stopped.txt") << "stopped: the window stays";
}

// The player in a window on an X server of its own: full screen on 800 x 600 with a 320 x 240 game
// screen and the pixel scale (kept for the second run), so the picture is doubled and centred with
// black bars.
TEST_F(ScreenTest, WindowShowsTheComposedFrameScaled) {
  for (const char* tool : {"xvfb-run", "xwd", "xdotool"})
    if (!onPath(tool)) GTEST_SKIP() << tool << " is not installed (make deps installs it)";

  std::string still = stillGame(true).string();
  fs::path headless = dir_ / "headless.png";
  ASSERT_EQ(game(still, 30, {"--screenshot", headless.string(), "-res", "320", "240"}).status, 0);

  // 1. A plain windowed run ends by itself after its frames and leaves the same screenshot.
  // 2. With the frame counter on, the window is dumped while it plays, F12 asks for a screenshot, the
  //    focus goes away and comes back, and SIGTERM ends the run.
  const std::string script = R"sh(P="$1"; D="$2"; G="$3"
# In sanitizer builds: the display libraries (D-Bus, Mesa) keep allocations past exit; the headless
# runs check the engine's own memory.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
"$P" --frames 30 --scale pixel --screenshot "$D/window.png" --settings "$D/w.ini" -res 320 240 -path "$G" || exit 10
"$P" --screenshot "$D/debug.png" --settings "$D/d.ini" --log debug -res 320 240 -debug -path "$G" &
pid=$!
# SDL may make its window again when it picks a renderer: look for it once it has played a while,
# that is once the game's frame count (written at least once a second) has reached two digits; a slow
# (sanitizer) build on a busy machine takes longer than a fixed wait.
for i in $(seq 1 300); do
  grep -q '^FRAMES *= *[0-9][0-9]' "$D/d.ini" 2>/dev/null && break
  sleep 0.1
done
sleep 0.5
)sh" + std::string(kFindPlayerWindow) + R"sh(xwd -id "$id" -silent > "$D/screen.xwd" || { kill $pid; exit 12; }
xdotool mousemove 400 300 key F12
# Focus away to the root window and back: the game pauses and its settings are written.
xdotool windowfocus --sync "$id"; sleep 0.2
xdotool windowfocus "$(xdotool search --maxdepth 0 --name '' | head -n 1)"; sleep 0.3
xdotool windowfocus "$id"; sleep 0.2
kill -TERM $pid
wait $pid
)sh";
  pid_t pid = spawn({"xvfb-run", "-a", "-s", "-screen 0 800x600x24 -nolisten tcp", "sh", "-c", script, "sh",
                     program(), dir_.string(), still});
  PlayerRun run = finish(pid);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("running headless"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("full screen"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find(": warn:"), std::string::npos) << run.err;  // the background and the sprite loaded
  EXPECT_NE(run.err.find("(focus lost)"), std::string::npos) << run.err;
  EXPECT_GT(CConfig((dir_ / "d.ini").string()).GetInt("S", "FRAMES", 0), 30);

  png::Image window = readPng(dir_ / "window.png"), headlessShot = readPng(headless);
  EXPECT_EQ(window.width, 320);
  EXPECT_EQ(window.pixels, headlessShot.pixels);
  EXPECT_NE(window.pixels, std::vector<uint8_t>(window.pixels.size(), 0));

  png::Image composed = readPng(dir_ / "debug.png");
  ASSERT_EQ(composed.width, 320);
  ASSERT_EQ(composed.height, 240);
  WindowDump screen;
  std::string error;
  ASSERT_TRUE(parseXwd(slurp(dir_ / "screen.xwd"), screen, error)) << error;
  ASSERT_EQ(screen.width, 800);
  ASSERT_EQ(screen.height, 600);
  int scale = std::min(screen.width / 320, screen.height / 240);
  int left = (screen.width - 320 * scale) / 2, top = (screen.height - 240 * scale) / 2;
  ASSERT_EQ(scale, 2);
  // The counter's digits change while the window plays; everything else matches the final frame.
  auto digits = [](int x, int y) { return x >= 41 && x < 59 && y >= 10 && y < 19; };
  int mismatches = 0, lit = 0, bars = 0;
  for (int y = 0; y < screen.height; ++y)
    for (int x = 0; x < screen.width; ++x) {
      int sx = (x - left) / scale, sy = (y - top) / scale;
      bool inside = x >= left && y >= top && x < left + 320 * scale && y < top + 240 * scale;
      if (inside && digits(sx, sy)) continue;
      Rgb want = inside ? top565(at(composed, sx, sy)) : Rgb{};
      Rgb got = top565(screen.at(x, y));
      lit += got == Rgb{31, 63, 31};
      bars += !inside;
      if (!(got == want) && ++mismatches < 5) ADD_FAILURE() << "screen " << x << ", " << y;
    }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(lit, 4 * 100);  // the counter's white box is there, doubled
  EXPECT_EQ(bars, 800 * 600 - 640 * 480);

  // F12 wrote a numbered screenshot of the same frame size into the per-game data folder.
  png::Image numbered = readPng(dir_ / "xdg" / "tarnvik" / "still" / "screenshot-0001.png");
  EXPECT_EQ(numbered.width, 320);
  EXPECT_NE(run.err.find("screenshot-0001.png"), std::string::npos) << run.err;
}

}  // namespace

namespace {

// A window opens at the largest whole multiple of the game's screen that fits in 90% of the
// desktop's usable area: no more 800 x 600 on a large screen.
TEST_F(ScreenTest, WindowSizeIsTheLargestWholeScaleThatFitsTheDesktop) {
  for (const char* tool : {"xvfb-run", "xdotool"})
    if (!onPath(tool)) GTEST_SKIP() << tool << " is not installed (make deps installs it)";
  struct Case {
    const char* screen;
    std::vector<std::string> res;
    const char* expected;
  };
  const Case cases[] = {
      {"1920x1080", {}, "800x600"},                  // 90%: 1728 x 972, 2 x 600 does not fit
      {"3840x2160", {}, "2400x1800"},                // 3 x 600 = 1800 <= 1944
      {"1920x1080", {"-res", "640", "480"}, "1280x960"},
  };
  std::string still = stillGame(true).string();
  const std::string script = R"sh(P="$1"; D="$2"; G="$3"; shift 3
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
rm -f "$D/s.ini"
"$P" --frames 100000 --settings "$D/s.ini" -window "$@" -path "$G" >/dev/null 2>&1 &
pid=$!
# Once the game plays (its frame count written), the window has its size and SIGTERM ends it cleanly.
for i in $(seq 1 300); do
  grep -q '^FRAMES *= *[0-9][0-9]' "$D/s.ini" 2>/dev/null && break
  sleep 0.1
done
)sh" + std::string(kFindPlayerWindow) + R"sh(xdotool getwindowgeometry "$id" | sed -n 's/.*Geometry: //p'
kill -TERM $pid
wait $pid
)sh";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.screen);
    std::vector<std::string> command{"xvfb-run", "-a", "-s", std::string("-screen 0 ") + c.screen + "x24 -nolisten tcp",
                                     "sh", "-c", script, "sh", program(), dir_.string(), still};
    command.insert(command.end(), c.res.begin(), c.res.end());
    PlayerRun run = finish(spawn(command));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, std::string(c.expected) + "\n") << run.err;
  }
}

// An 800 x 600 game of 40 x 40 blocks, each of its own colour, that keeps where the last click fell.
uint16_t blockPixel(int x, int y) {
  int bx = x / 40, by = y / 40;
  return static_cast<uint16_t>((bx * 31 / 19) << 11 | (by * 63 / 14) << 5 | ((bx + by) * 3 & 31));
}

// Full screen at 1920 x 1080: `fit` shows the game 1440 x 1080 between two bars (the window's
// pixels against the frame scaled the same way, wherever the linear step meets one block only), and
// a click lands on the game pixel each mode puts under it.
TEST_F(ScreenTest, FullScreenScaleModesPlaceThePictureAndThePointer) {
  for (const char* tool : {"xvfb-run", "xwd", "xdotool"})
    if (!onPath(tool)) GTEST_SKIP() << tool << " is not installed (make deps installs it)";
  fs::path folder = dir_ / "blocks", scene = folder / "Dane" / "S";
  fs::create_directories(scene);
  std::ofstream(folder / "Dane" / "application.def")
      << "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\n\n"
         "OBJECT=S\nS:TYPE=SCENE\nS:PATH=S\nS:BACKGROUND=bg.img\n";
  std::ofstream(scene / "S.cnv") << "OBJECT=FRAMES\nFRAMES:TYPE=INTEGER\nFRAMES:TOINI=TRUE\n"
                                    "OBJECT=EVERY\nEVERY:TYPE=TIMER\nEVERY:ELAPSE=1\nEVERY:ONTICK={FRAMES^INC();}\n"
                                    "OBJECT=CX\nCX:TYPE=INTEGER\nCX:TOINI=TRUE\nOBJECT=CY\nCY:TYPE=INTEGER\nCY:TOINI=TRUE\n"
                                    "OBJECT=MOUSE\nMOUSE:TYPE=MOUSE\n"
                                    "MOUSE:ONCLICK={CX^SET(MOUSE^GETPOSX());CY^SET(MOUSE^GETPOSY());}\n";
  ASSERT_TRUE(writeImageFile(scene / "bg.img", 800, 600, 0, 0, blockPixel));

  const std::string script = R"sh(P="$1"; D="$2"; G="$3"; M="$4"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
"$P" --scale "$M" --settings "$D/$M.ini" --log info -path "$G" &
pid=$!
for i in $(seq 1 300); do
  grep -q '^FRAMES *= *[0-9][0-9]' "$D/$M.ini" 2>/dev/null && break
  sleep 0.1
done
)sh" + std::string(kFindPlayerWindow) + R"sh(xwd -id "$id" -silent > "$D/$M.xwd" || { kill $pid; exit 12; }
xdotool mousemove 1000 700 click 1
sleep 0.5
kill -TERM $pid
wait $pid
)sh";
  struct Mode {
    const char* name;
    int left, top, width, height;  // where the picture lies on the 1920 x 1080 screen
  };
  for (const Mode& m : {Mode{"pixel", 560, 240, 800, 600}, Mode{"fit", 240, 0, 1440, 1080}, Mode{"stretch", 0, 0, 1920, 1080}}) {
    SCOPED_TRACE(m.name);
    PlayerRun run = finish(spawn({"xvfb-run", "-a", "-s", "-screen 0 1920x1080x24 -nolisten tcp", "sh", "-c", script,
                                  "sh", program(), dir_.string(), folder.string(), m.name}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(std::string("scale ") + m.name), std::string::npos) << run.err;
    // The game pixel under the centre of the clicked screen pixel.
    CConfig settings((dir_ / (std::string(m.name) + ".ini")).string());
    EXPECT_EQ(settings.GetInt("S", "CX", -1), static_cast<int>(std::floor((1000 - m.left + 0.5) * 800 / m.width)));
    EXPECT_EQ(settings.GetInt("S", "CY", -1), static_cast<int>(std::floor((700 - m.top + 0.5) * 600 / m.height)));

    WindowDump screen;
    std::string error;
    ASSERT_TRUE(parseXwd(slurp(dir_ / (std::string(m.name) + ".xwd")), screen, error)) << error;
    ASSERT_EQ(screen.width, 1920);
    ASSERT_EQ(screen.height, 1080);
    // Each screen pixel samples the game around its centre; where the four nearest game pixels lie in
    // one block, the colour is that block's whatever the filter.
    auto near = [](int s, int start, int size, int game, int& lo, int& hi) {
      double u = (s - start + 0.5) * game / size - 0.5;
      lo = static_cast<int>(std::floor(u));
      hi = lo + 1;
    };
    int checked = 0, wrong = 0;
    for (int y = 0; y < 1080; ++y)
      for (int x = 0; x < 1920; ++x) {
        Rgb got = screen.at(x, y);
        bool inside = x >= m.left && y >= m.top && x < m.left + m.width && y < m.top + m.height;
        if (!inside) {
          if (!(got == Rgb{}) && ++wrong < 5) ADD_FAILURE() << "bar at " << x << ", " << y;
          continue;
        }
        int x0, x1, y0, y1;
        near(x, m.left, m.width, 800, x0, x1);
        near(y, m.top, m.height, 600, y0, y1);
        x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, 799), y1 = std::min(y1, 599);
        if (x0 / 40 != x1 / 40 || y0 / 40 != y1 / 40) continue;
        uint16_t p = blockPixel(x0, y0);
        Rgb want{tarnvik::png::expand5(p >> 11), tarnvik::png::expand6((p >> 5) & 63), tarnvik::png::expand5(p & 31)};
        ++checked;
        if ((std::abs(got.r - want.r) > 2 || std::abs(got.g - want.g) > 2 || std::abs(got.b - want.b) > 2) && ++wrong < 5)
          ADD_FAILURE() << "picture at " << x << ", " << y;
      }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(checked, m.width * m.height * 8 / 10);
  }
}

}  // namespace
