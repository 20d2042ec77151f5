// Games played through --input: buttons reacting to hover, press, release and click (counted into
// TOINI values, their state graphics checked in --screenshot), overlapping buttons and the hot-spot
// priority window, MOUSE and KEYBOARD events, an image used as a button, a drag, bad input files,
// and a session recorded in a window under Xvfb and replayed headless.
#include <gtest/gtest.h>


#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/player_fixture.h"
#include "graphics/formats/png.h"

namespace fs = std::filesystem;

namespace {

constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F;

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

class InputGameTest : public tarnvik::e2e::SceneGameTest {
 protected:
  void image(const std::string& file, int w, int h, int x, int y, uint16_t colour) {
    ASSERT_TRUE(tarnvik::e2e::writeImageFile(folder() / "Dane" / "S" / file, w, h, x, y,
                                             [colour](int, int) { return colour; }));
  }
  static std::string imageObject(const std::string& name, const std::string& file, int priority, bool visible,
                                 const std::string& more = "") {
    return "OBJECT=" + name + "\n" + name + ":TYPE=IMAGE\n" + name + ":FILENAME=" + file + "\n" + name +
           ":TOCANVAS=TRUE\n" + name + ":VISIBLE=" + (visible ? "TRUE" : "FALSE") + "\n" + name +
           ":PRIORITY=" + std::to_string(priority) + "\n" + more;
  }
  static std::string strings(std::initializer_list<const char*> names) {
    std::string out;
    for (const char* n : names) out += std::string("OBJECT=") + n + "\n" + n + ":TYPE=STRING\n" + n + ":TOINI=TRUE\n";
    return out;
  }
  fs::path input(const std::string& text) {
    fs::path file = dir_ / "input.txt";
    std::ofstream(file) << text;
    return file;
  }
  Rgb pixel(const fs::path& png, int x, int y) {
    tarnvik::png::Image shot;
    std::string error;
    EXPECT_TRUE(tarnvik::png::read(png.string(), shot, error)) << error;
    if (shot.pixels.empty()) return {-1, -1, -1};
    const uint8_t* p = &shot.pixels[(static_cast<size_t>(y) * shot.width + x) * shot.channels];
    return {p[0], p[1], p[2]};
  }
  // A button over three images of 40 x 20 at 100, 100: red standard, green on move, blue on click.
  void buttonGame() {
    image("std.img", 40, 20, 100, 100, kRed);
    image("hov.img", 40, 20, 100, 100, kGreen);
    image("clk.img", 40, 20, 100, 100, kBlue);
    scene(integers({"FOCUS", "LEAVE", "CLICKED", "RELEASED", "ACTION"}) + imageObject("STD", "std.img", 1, true) +
          imageObject("HOV", "hov.img", 2, true) + imageObject("CLK", "clk.img", 3, false) +
          "OBJECT=B\nB:TYPE=BUTTON\nB:GFXSTANDARD=STD\nB:GFXONMOVE=HOV\nB:GFXONCLICK=CLK\n"
          "B:ONFOCUSON={FOCUS^INC();}\nB:ONFOCUSOFF={LEAVE^INC();}\nB:ONCLICKED={CLICKED^INC();}\n"
          "B:ONRELEASED={RELEASED^INC();}\nB:ONACTION={ACTION^INC();}\n");
  }
};

TEST_F(InputGameTest, ButtonReactsToHoverPressReleaseAndClickWithItsStateGraphics) {
  buttonGame();
  fs::path script = input(
      "# hover, press, release, leave, then a click\n"
      "1 move 120 110\n3 down left\n5 up left\n7 move 10 10\n9 click 130 115\n");
  fs::path shot = dir_ / "shot.png";
  ASSERT_EQ(play(12, {"--input", script.string(), "--screenshot", shot.string()}), 0) << err();
  EXPECT_EQ(value("FOCUS"), 2);
  EXPECT_EQ(value("LEAVE"), 1);
  EXPECT_EQ(value("CLICKED"), 2);
  EXPECT_EQ(value("RELEASED"), 2);
  EXPECT_EQ(value("ACTION"), 2);
  EXPECT_EQ(pixel(shot, 120, 110), (Rgb{0, 255, 0})) << "still hovered: the on-move graphic (it started hidden)";
  EXPECT_EQ(pixel(shot, 150, 110), (Rgb{0, 0, 0})) << "beside the button";

  ASSERT_EQ(play(6, {"--input", script.string(), "--screenshot", shot.string()}), 0) << err();
  EXPECT_EQ(pixel(shot, 120, 110), (Rgb{0, 0, 255})) << "held down: the on-click graphic";
  // The screen of a run is composed at the start of its last frame: it shows the input of the frame before.
  ASSERT_EQ(play(8, {"--input", script.string(), "--screenshot", shot.string()}), 0) << err();
  EXPECT_EQ(pixel(shot, 120, 110), (Rgb{0, 255, 0})) << "released: the on-move graphic again";
  ASSERT_EQ(play(9, {"--input", script.string(), "--screenshot", shot.string()}), 0) << err();
  EXPECT_EQ(pixel(shot, 120, 110), (Rgb{255, 0, 0})) << "left: the standard graphic";
}

TEST_F(InputGameTest, OverlappingButtonsPriorityWindowAndDisabledButtons) {
  scene(integers({"CA", "CB", "CM", "ACT"}) +
        "OBJECT=A\nA:TYPE=BUTTON\nA:RECT=0,0,200,200\nA:PRIORITY=5\nA:ONCLICKED={CA^INC();}\n"
        "OBJECT=B\nB:TYPE=BUTTON\nB:RECT=100, 100, 300, 300\nB:PRIORITY=10\nB:ONCLICKED={CB^INC();}\n"
        "B:ONACTION={ACT^INC();}\n"
        "OBJECT=MOUSE\nMOUSE:TYPE=MOUSE\nMOUSE:ONCLICK={CM^INC();}\n"
        "OBJECT=KEYBOARD\nKEYBOARD:TYPE=KEYBOARD\n"
        "KEYBOARD:ONKEYDOWN^W={S^SETMAXHSPRIORITY(6);}\nKEYBOARD:ONKEYDOWN^D={A^DISABLE();}\n");
  fs::path script = input(
      "1 click 150 150\n3 click 50 50\n4 move 150 150\n4 down left\n5 move 500 500\n5 up left\n"
      "6 key W\n7 click 150 150\n9 key d\n10 click 150 150\n12 click 5000 -20\n");
  auto expectCounts = [&] {
    EXPECT_EQ(value("CB"), 2) << "priority 10 over 5 in the overlap; then pressed and released outside";
    EXPECT_EQ(value("ACT"), 1) << "no action for a release outside the button";
    EXPECT_EQ(value("CA"), 2) << "A alone, and A while B is outside the priority window";
    EXPECT_EQ(value("CM"), 2) << "clicks no button took: A disabled and B outside the window, then off the screen";
  };
  ASSERT_EQ(play(15, {"--input", script.string()}), 0) << err();
  expectCounts();
  EXPECT_NE(err().find("off the screen"), std::string::npos) << err();
  // The same from the precompiled form (buttons, MOUSE and KEYBOARD have saved-state records).
  ASSERT_EQ(play(1, {"-2bin"}), 0) << err();
  ASSERT_TRUE(fs::exists(folder() / "Dane" / "S" / "S.bin")) << err();
  fs::remove(settings());
  ASSERT_EQ(play(15, {"--input", script.string(), "--log", "info"}), 0) << err();
  EXPECT_NE(err().find("running from the precompiled form"), std::string::npos) << err();
  expectCounts();
}

TEST_F(InputGameTest, MouseKeyboardAndAnImageUsedAsAButton) {
  image("pic.img", 40, 20, 300, 300, kGreen);
  scene(integers({"LEFT", "RIGHT", "ANY", "DBL", "X", "Y", "ESC", "UP", "CHARS", "PICL", "PICON", "PICR"}) +
        strings({"KEYS", "TYPED"}) + imageObject("PIC", "pic.img", 1, true, "PIC:ASBUTTON=TRUE\n") +
        "PIC:ONCLICK^LEFT={PICL^INC();}\nPIC:ONFOCUSON={PICON^INC();}\nPIC:ONCLICK^RIGHT={PICR^INC();}\n"
        "OBJECT=MOUSE\nMOUSE:TYPE=MOUSE\nMOUSE:ONCLICK^LEFT={LEFT^INC();}\nMOUSE:ONCLICK={ANY^INC();}\n"
        "MOUSE:ONDBLCLICK={DBL^INC();}\nMOUSE:ONMOVE={X^SET(MOUSE^GETPOSX());Y^SET(MOUSE^GETPOSY());}\n"
        "OBJECT=KEYBOARD\nKEYBOARD:TYPE=KEYBOARD\nKEYBOARD:ONKEYDOWN^ESC={ESC^INC();}\n"
        "KEYBOARD:ONKEYDOWN={KEYS^ADD(KEYBOARD^GETLATESTKEY());}\nKEYBOARD:ONKEYUP={UP^INC();}\n"
        "KEYBOARD:ONCHAR={TYPED^ADD(\"c\");CHARS^INC();}\n");
  fs::path script = input(
      "0 move 10 10\n0 move 40 50\n1 click 40 50\n3 click 40 50 middle\n5 dblclick 41 51\n"
      "6 key ESC\n6 key a\n8 keydown 7\n9 keyup 7\n10 char x\n10 char U+0020\n"
      "11 move 310 305\n12 click 310 305\n14 click 310 305 right\n");
  ASSERT_EQ(play(16, {"--input", script.string()}), 0) << err();
  EXPECT_EQ(value("LEFT"), 1);
  EXPECT_EQ(value("ANY"), 1) << "the middle click; the left one had its own handler";
  EXPECT_EQ(value("DBL"), 1);
  EXPECT_EQ(value("X"), 310);
  EXPECT_EQ(value("Y"), 305);
  EXPECT_EQ(value("ESC"), 1);
  EXPECT_EQ(text("KEYS"), "A7") << "ESC has its own handler";
  EXPECT_EQ(value("UP"), 3);
  EXPECT_EQ(value("CHARS"), 2);
  EXPECT_EQ(value("PICON"), 1);
  EXPECT_EQ(value("PICL"), 1) << "the image took the left click: MOUSE heard nothing";
  EXPECT_EQ(value("PICR"), 1);
}

TEST_F(InputGameTest, KeyUpNamesTheLatestKeyAndTheClipRectHoldsScriptedMoves) {
  scene(integers({"X", "Y", "CX", "CY", "FX", "FY"}) + strings({"UPS"}) +
        "OBJECT=MOUSE\nMOUSE:TYPE=MOUSE\nMOUSE:ONMOVE={X^SET(MOUSE^GETPOSX());Y^SET(MOUSE^GETPOSY());}\n"
        "MOUSE:ONCLICK={CX^SET(MOUSE^GETPOSX());CY^SET(MOUSE^GETPOSY());}\n"
        "OBJECT=KEYBOARD\nKEYBOARD:TYPE=KEYBOARD\nKEYBOARD:ONKEYUP={UPS^ADD(KEYBOARD^GETLATESTKEY());}\n"
        "KEYBOARD:ONKEYDOWN^A={FX^SET(X);FY^SET(Y);}\nKEYBOARD:ONKEYDOWN^F={MOUSE^SETCLIPRECT(0,0,0,0);}\n"
        "OBJECT=S\nS:ONINIT={MOUSE^SETCLIPRECT(100,100,400,300);}\n");
  fs::path script = input(
      "1 move 700 500\n2 keydown a\n3 click 20 30\n4 keydown b\n5 keyup a\n6 keyup b\n"
      "7 key f\n8 move 700 500\n");
  ASSERT_EQ(play(10, {"--input", script.string()}), 0) << err();
  EXPECT_EQ(value("FX"), 399) << "a move stops at the rectangle's last column";
  EXPECT_EQ(value("FY"), 299);
  EXPECT_EQ(value("CX"), 100) << "a press lands inside the rectangle";
  EXPECT_EQ(value("CY"), 100);
  EXPECT_EQ(text("UPS"), "ABF") << "a release names the released key, not the one pressed last";
  EXPECT_EQ(value("X"), 700) << "released: the move reaches where it was sent";
  EXPECT_EQ(value("Y"), 500);
}

TEST_F(InputGameTest, ButtonMadeByCreateTakesARectAndHearsClicks) {
  scene(integers({"CLICKS", "PRIO"}) +
        "OBJECT=S\nS:ONINIT={@CREATE(\"BUTTON\",\"BB\");BB^SETRECT(100,100,140,120);BB^SETPRIORITY(5);"
        "PRIO^SET(BB^GETPRIORITY());BB^ADDBEHAVIOUR(\"ONCLICKED\",\"{CLICKS^INC();}\");}\n");
  fs::path script = input("1 click 110 110\n3 click 300 300\n");
  ASSERT_EQ(play(5, {"--input", script.string()}), 0) << err();
  EXPECT_EQ(value("PRIO"), 5);
  EXPECT_EQ(value("CLICKS"), 1) << "a click inside its rectangle only";
}

TEST_F(InputGameTest, FocusChangesInTheScriptRaiseActivateAndDeactivate) {
  scene(integers({"SCENEIN", "SCENEOUT"}) + "OBJECT=S\nS:ONACTIVATE={SCENEIN^INC();}\nS:ONDEACTIVATE={SCENEOUT^INC();}\n",
        "GAME:ONACTIVATE={APPIN^INC();}\nGAME:ONDEACTIVATE={APPOUT^INC();}\n");
  write("Dane/GAME.cnv", integers({"APPIN", "APPOUT"}));
  fs::path script = input("2 focus out\n3 focus out\n5 focus in\n7 focus out\n");
  ASSERT_EQ(play(9, {"--input", script.string()}), 0) << err();
  EXPECT_EQ(value("SCENEOUT"), 2) << "a repeated loss is no change";
  EXPECT_EQ(value("SCENEIN"), 1);
  EXPECT_EQ(PlayerTest::value("GAME", "APPOUT"), 2);
  EXPECT_EQ(PlayerTest::value("GAME", "APPIN"), 1);
}

TEST_F(InputGameTest, DraggingMovesTheDragObjectAndNamesItMeanwhile) {
  image("piece.img", 20, 20, 100, 100, kBlue);
  scene(integers({"STARTS", "ENDS", "X", "Y", "ACTION"}) + strings({"NAME", "AFTER"}) +
        imageObject("PIECE", "piece.img", 1, true) +
        "OBJECT=B\nB:TYPE=BUTTON\nB:GFXSTANDARD=PIECE\nB:DRAGGABLE=TRUE\n"
        "B:ONSTARTDRAGGING={STARTS^INC();}\nB:ONDRAGGING={NAME^SET(S^GETDRAGGEDNAME());}\n"
        "B:ONENDDRAGGING={ENDS^INC();X^SET(PIECE^GETPOSITIONX());Y^SET(PIECE^GETPOSITIONY());}\n"
        "B:ONACTION={ACTION^INC();}\n"
        "OBJECT=KEYBOARD\nKEYBOARD:TYPE=KEYBOARD\nKEYBOARD:ONKEYDOWN={AFTER^SET(S^GETDRAGGEDNAME());AFTER^ADD(\"-\");}\n");
  fs::path script = input("1 move 105 105\n2 down left\n3 move 150 130\n4 move 205 185\n5 up left\n7 key A\n");
  fs::path shot = dir_ / "shot.png";
  ASSERT_EQ(play(9, {"--input", script.string(), "--screenshot", shot.string()}), 0) << err();
  EXPECT_EQ(value("STARTS"), 1);
  EXPECT_EQ(value("ENDS"), 1);
  EXPECT_EQ(value("X"), 200);
  EXPECT_EQ(value("Y"), 180);
  EXPECT_EQ(text("NAME"), "PIECE");
  EXPECT_EQ(text("AFTER"), "-") << "nothing is dragged once it ended";
  EXPECT_EQ(value("ACTION"), 0) << "a drag is not a click";
  EXPECT_EQ(pixel(shot, 205, 185), (Rgb{0, 0, 255}));
  EXPECT_EQ(pixel(shot, 105, 105), (Rgb{0, 0, 0}));
}

TEST_F(InputGameTest, BadInputFilesStopThePlayerBeforeTheGameStarts) {
  buttonGame();
  fs::path script = input("0 move 1 2\n1 click 3\n");
  ASSERT_EQ(play(5, {"--input", script.string()}), 1);
  EXPECT_EQ(err(), "tarnvik: " + script.string() + ": line 2: \"click\" takes X Y and maybe a button\n");
  EXPECT_EQ(last_.out, "") << "the game did not start";
  ASSERT_EQ(play(5, {"--input", (dir_ / "missing.txt").string()}), 1);
  EXPECT_NE(err().find("cannot be read"), std::string::npos) << err();
  // Clicks on a button whose graphics failed to load, and a scene without buttons: no fault.
  fs::remove(folder() / "Dane" / "S" / "std.img");
  script = input("1 click 120 110\n2 quit\n3 click 1 1\n");
  ASSERT_EQ(play(50, {"--input", script.string()}), 0) << err();
  EXPECT_NE(last_.out.find("2 frames"), std::string::npos) << "quit closes the window at its frame: " << last_.out;
  EXPECT_EQ(value("CLICKED"), 0) << "a button without a shape has nothing to click";
}

TEST_F(InputGameTest, ClicksDuringASceneChangeAndOnARemovedButtonAreHarmless) {
  write("Dane/application.def",
        "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S,T\nGAME:STARTWITH=S\n\n"
        "OBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n\nOBJECT=T\nT:TYPE=SCENE\nT:PATH=T\n");
  fs::create_directories(folder() / "Dane" / "T");
  write("Dane/S/S.cnv", integers({"GONE"}) +
                            "OBJECT=B\nB:TYPE=BUTTON\nB:RECT=0,0,100,100\nB:ONCLICKED={GONE^INC();GAME^GOTO(\"T\");}\n");
  write("Dane/T/T.cnv", "OBJECT=TC\nTC:TYPE=INTEGER\nTC:TOINI=TRUE\nOBJECT=TM\nTM:TYPE=INTEGER\nTM:TOINI=TRUE\n"
                        "OBJECT=C\nC:TYPE=BUTTON\nC:RECT=0,0,100,100\nC:ONCLICKED={TC^INC();T^REMOVE(\"C\");}\n"
                        "OBJECT=MOUSE\nMOUSE:TYPE=MOUSE\nMOUSE:ONCLICK={TM^INC();}\n");
  // Pressed in S, released in T; then two clicks in T: the button goes with the first.
  fs::path script = input("1 click 50 50\n3 click 50 50\n5 click 50 50\n");
  ASSERT_EQ(play(8, {"--input", script.string()}), 0) << err();
  EXPECT_EQ(value("GONE"), 1);
  EXPECT_EQ(PlayerTest::value("T", "TC"), 1);
  EXPECT_EQ(PlayerTest::value("T", "TM"), 1) << "the second click found no button";
  EXPECT_NE(last_.out.find("scene T"), std::string::npos) << last_.out;
}

TEST_F(InputGameTest, SessionRecordedInAWindowReplaysHeadlessToTheSameScreenAndSettings) {
  for (const char* tool : {"xvfb-run", "xdotool"})
    if (!tarnvik::e2e::onPath(tool)) GTEST_SKIP() << tool << " is not installed (make deps installs it)";
  buttonGame();
  // A frame counter and the typed characters join the button's counts.
  write("Dane/S/S.cnv", tarnvik::e2e::slurp(folder() / "Dane" / "S" / "S.cnv") + integers({"FRAMES"}) +
                            strings({"TYPED"}) +
                            "OBJECT=EVERY\nEVERY:TYPE=TIMER\nEVERY:ELAPSE=50\nEVERY:ONTICK={FRAMES^INC();}\n"
                            "OBJECT=KEYBOARD\nKEYBOARD:TYPE=KEYBOARD\nKEYBOARD:ONKEYDOWN={TYPED^ADD(KEYBOARD^GETLATESTKEY());}\n"
                            "OBJECT=MOUSE\nMOUSE:TYPE=MOUSE\nMOUSE:ONRELEASE={TYPED^ADD(\"r\");}\n");
  const std::string script = R"sh(P="$1"; D="$2"; G="$3"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
"$P" --record "$D/rec.txt" --screenshot "$D/live.png" --settings "$D/live.ini" -path "$G" &
pid=$!
for i in $(seq 1 300); do
  grep -q '^FRAMES *= *[0-9]' "$D/live.ini" 2>/dev/null && break
  sleep 0.1
done
)sh" + std::string(tarnvik::e2e::kFindPlayerWindow) + R"sh(xdotool windowfocus --sync "$id"; sleep 0.3
xdotool mousemove 120 110; sleep 0.3
xdotool click 1; sleep 0.3
xdotool mousemove 400 400; sleep 0.3
xdotool mousemove 125 112; sleep 0.2
xdotool mousedown 1; sleep 0.3
xdotool key a b; sleep 0.3
kill -TERM $pid
wait $pid
)sh";
  pid_t pid = spawn({"xvfb-run", "-a", "-s", "-screen 0 800x600x24 -nolisten tcp", "sh", "-c", script, "sh",
                     program(), dir_.string(), folder().string()});
  tarnvik::e2e::PlayerRun live = finish(pid);
  ASSERT_EQ(live.status, 0) << live.err;
  std::string record = tarnvik::e2e::slurp(dir_ / "rec.txt");
  ASSERT_EQ(record.rfind("seed ", 0), 0u) << record;
  EXPECT_NE(record.find(" clock "), std::string::npos) << record;
  EXPECT_NE(record.find(" down left"), std::string::npos) << record;
  EXPECT_NE(record.find(" keydown A"), std::string::npos) << record;
  EXPECT_NE(record.find(" quit"), std::string::npos) << record;

  fs::path replay = dir_ / "replay.png";
  auto run = game(folder().string(), 1000000, {"--input", (dir_ / "rec.txt").string(), "--screenshot", replay.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(tarnvik::e2e::slurp(replay), tarnvik::e2e::slurp(dir_ / "live.png")) << "the same final screen";
  EXPECT_EQ(pixel(replay, 120, 110), (Rgb{0, 0, 255})) << "the button was left held down";
  CConfig liveSettings((dir_ / "live.ini").string());
  for (const char* key : {"FRAMES", "FOCUS", "LEAVE", "CLICKED", "RELEASED", "ACTION"})
    EXPECT_EQ(value(key), liveSettings.GetInt("S", key, -1)) << key;
  EXPECT_EQ(text("TYPED"), liveSettings.GetString("S", "TYPED", "").str());
  EXPECT_EQ(text("TYPED"), "AB") << "the release over the button went to the button, not to MOUSE";
  EXPECT_EQ(value("CLICKED"), 2);
}

// --virtual-clock shows in a window what a headless run computes: the same times (a timer counts the
// frames' milliseconds), the same replayed clicks and the same last screen.
TEST_F(InputGameTest, WindowOnTheVirtualClockReplaysAsHeadlessDoes) {
  if (!tarnvik::e2e::onPath("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed (make deps installs it)";
  buttonGame();
  write("Dane/S/S.cnv", tarnvik::e2e::slurp(folder() / "Dane" / "S" / "S.cnv") + integers({"TICKS"}) +
                            "OBJECT=EVERY\nEVERY:TYPE=TIMER\nEVERY:ELAPSE=40\nEVERY:ONTICK={TICKS^INC();}\n");
  fs::path clicks = input("5 move 120 110\n8 click 120 110\n20 move 125 112\n22 down left\n");
  auto headless = game(folder().string(), 60, {"--input", clicks.string(), "--screenshot", (dir_ / "headless.png").string()});
  ASSERT_EQ(headless.status, 0) << headless.err;
  CConfig expected(settings().string());
  const std::string shell = R"sh(P="$1"; D="$2"; G="$3"; I="$4"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
"$P" --virtual-clock -window --frames 60 --input "$I" --screenshot "$D/window.png" --settings "$D/window.ini" -path "$G"
)sh";
  tarnvik::e2e::PlayerRun window = finish(spawn({"xvfb-run", "-a", "-s", "-screen 0 800x600x24 -nolisten tcp", "sh",
                                                 "-c", shell, "sh", program(), dir_.string(), folder().string(),
                                                 clicks.string()}));
  ASSERT_EQ(window.status, 0) << window.err;
  EXPECT_EQ(tarnvik::e2e::slurp(dir_ / "window.png"), tarnvik::e2e::slurp(dir_ / "headless.png"));
  CConfig shown((dir_ / "window.ini").string());
  EXPECT_GT(shown.GetInt("S", "TICKS", -1), 10) << "the timer ran";
  for (const char* key : {"TICKS", "CLICKED", "RELEASED", "ACTION"})
    EXPECT_EQ(shown.GetInt("S", key, -1), expected.GetInt("S", key, -2)) << key;
}

// A gamepad, plugged in while the game plays (SDL's virtual controller, driven by the script's pad
// lines), moves the pointer with the left stick at a growing speed; A clicks the button it points at,
// B is the right button, and Back ends the run as closing the window does.
TEST_F(InputGameTest, GamepadMovesThePointerClicksAndQuits) {
  for (const char* tool : {"xvfb-run"})
    if (!tarnvik::e2e::onPath(tool)) GTEST_SKIP() << tool << " is not installed (make deps installs it)";
  scene(integers({"CLICKED", "RIGHTS", "X", "Y"}) +
        "OBJECT=B\nB:TYPE=BUTTON\nB:RECT=500,250,700,350\nB:ONCLICKED={CLICKED^INC();}\n"
        "OBJECT=MOUSE\nMOUSE:TYPE=MOUSE\nMOUSE:ONCLICK^RIGHT={RIGHTS^INC();}\n"
        "MOUSE:ONMOVE={X^SET(MOUSE^GETPOSX());Y^SET(MOUSE^GETPOSY());}\n");
  fs::path script = input("0 pad stick 0 0\n5 pad stick 32767 0\n35 pad stick 0 0\n"
                          "40 pad press a\n42 pad release a\n45 pad press b\n47 pad release b\n50 pad press back\n");
  const std::string shell = R"sh(P="$1"; D="$2"; G="$3"; I="$4"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
"$P" --frames 300 --input "$I" --settings "$D/settings.ini" -window -path "$G"
)sh";
  tarnvik::e2e::PlayerRun run = finish(spawn({"xvfb-run", "-a", "-s", "-screen 0 800x600x24 -nolisten tcp", "sh", "-c",
                                              shell, "sh", program(), dir_.string(), folder().string(),
                                              script.string()}));
  ASSERT_EQ(run.status, 0) << run.err;
  // Thirty frames of full deflection to the right from the middle, each a little faster.
  double moved = 0;
  for (int held = 1; held <= 30; ++held) moved += 3.0 + 12.0 * (held - 1) / 44;
  EXPECT_EQ(value("X"), static_cast<int>(400 + moved));
  EXPECT_EQ(value("Y"), 300);
  EXPECT_EQ(value("CLICKED"), 1);
  EXPECT_EQ(value("RIGHTS"), 1);
  EXPECT_NE(run.out.find("tarnvik: 5"), std::string::npos) << run.out;  // Back ended the run at frame 50 or so
}

}  // namespace
