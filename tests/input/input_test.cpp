// The input layer: signal queues, dispatch order and consumption, hot-spot choice, the key names,
// button states, and the text form of scripted input.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/formats/image.h"
#include "graphics/window.h"
#include "input/button.h"
#include "input/hotspot.h"
#include "input/input_manager.h"
#include "input/input_script.h"
#include "input/keys.h"
#include "platform/clock.h"
#include "platform/video.h"
#include "support/input_events.h"

namespace {

using tarnvik::InputEvent;

InputEvent ev(InputEvent::Kind kind, int x = 0, int y = 0, int button = InputEvent::kLeft) {
  return tarnvik::test::pointerEvent(kind, x, y, button);
}
InputEvent key(InputEvent::Kind kind, int code, bool repeat = false) { return tarnvik::test::keyEvent(kind, code, repeat); }

// Writes what it hears into a shared log; consumes the kinds it is told to.
struct Listener : CMouseListener {
  Listener(std::string n, std::vector<std::string>& l) : name(std::move(n)), log(l) {}
  bool onMouseMove(const CXPoint& p) override { return note("move", p); }
  bool onClick(int button, const CXPoint& p) override { return note("click" + std::to_string(button), p, consumeButton); }
  bool onClick(const CXPoint& p) override { return note("click", p, consumePlain); }
  bool onRelease(int button, const CXPoint& p) override { return note("release" + std::to_string(button), p); }
  bool onDblClick(const CXPoint& p) override { return note("dbl", p); }
  bool note(const std::string& what, const CXPoint& p, bool consume = false) {
    log.push_back(name + ":" + what + "@" + std::to_string(p.x) + "," + std::to_string(p.y));
    return consume;
  }
  std::string name;
  std::vector<std::string>& log;
  bool consumeButton = false, consumePlain = false;
};

// A rectangle hot spot that logs its handlers.
struct Spot : CHotSpot {
  Spot(std::string n, std::vector<std::string>& l, CXRect r, int priority) : name(std::move(n)), log(l) {
    SetActiveRect(r);
    setPriority(priority);
  }
  void onEnter(const CXPoint&) override { log.push_back(name + ":enter"); }
  int onLeave(const CXPoint&) override {
    log.push_back(name + ":leave");
    return 0;
  }
  void onPress(const CXPoint&) override { log.push_back(name + ":press"); }
  void onRelease(const CXPoint&) override { log.push_back(name + ":release"); }
  void onReleaseOutside(const CXPoint&) override { log.push_back(name + ":outside"); }
  std::string name;
  std::vector<std::string>& log;
};

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tarnvik::setEngineClock(&clock_);
    window_ = std::make_unique<CWindow>(nullptr, nullptr, &video_);
    ASSERT_EQ(window_->SetDisplayMode(), 0);
    input_ = std::make_unique<CInputManager>(window_.get(), nullptr);
    CHotSpot::resetPriorityWindow();
  }
  void TearDown() override {
    input_.reset();
    window_.reset();
    tarnvik::setEngineClock(nullptr);
  }
  void feed(std::vector<InputEvent> events) {
    bool quit = false;
    input_->pump(std::move(events), quit);
  }
  void tick() { input_->frameTick(); }

  tarnvik::VirtualClock clock_;
  tarnvik::HeadlessVideo video_;
  std::unique_ptr<CWindow> window_;
  std::unique_ptr<CInputManager> input_;
  std::vector<std::string> log_;
};

TEST_F(InputTest, MovesCoalesceInPlaceAndSignalsKeepTheirOrder) {
  feed({ev(InputEvent::kMove, 10, 10), ev(InputEvent::kDown), ev(InputEvent::kMove, 30, 40),
        ev(InputEvent::kUp, 0, 0, InputEvent::kLeft), ev(InputEvent::kMove, 5000, -7)});
  const auto& q = input_->mouseQueue();
  ASSERT_EQ(q.size(), 3u) << "one move, then the press and the release";
  EXPECT_EQ(q[0].type, MouseSignal::kMove);
  EXPECT_EQ(q[0].point.x, 799) << "the last move wins, kept inside the screen";
  EXPECT_EQ(q[0].point.y, 0);
  EXPECT_EQ(q[1].type, MouseSignal::kLeftDown);
  EXPECT_EQ(q[1].point.x, 10) << "a press carries the position it happened at";
  EXPECT_EQ(q[2].type, MouseSignal::kLeftUp);
  EXPECT_EQ(q[2].point.y, 40);
  tick();
  EXPECT_TRUE(input_->mouseQueue().empty());
  // Right and middle buttons have their own signals; the state follows them.
  feed({ev(InputEvent::kDown, 0, 0, InputEvent::kRight), ev(InputEvent::kDown, 0, 0, InputEvent::kMiddle)});
  EXPECT_EQ(input_->mouseQueue()[0].type, MouseSignal::kRightDown);
  EXPECT_EQ(input_->mouseQueue()[1].type, MouseSignal::kMiddleDown);
  EXPECT_TRUE(input_->isButtonDown(InputEvent::kRight));
  EXPECT_FALSE(input_->isButtonDown(InputEvent::kLeft));
}

TEST_F(InputTest, KeysQueueInOrderRepeatsNeedAutoRepeatAndQuitIsReported) {
  bool quit = false;
  auto taken = input_->pump({key(InputEvent::kKeyDown, 0x1E), key(InputEvent::kKeyDown, 0x1E, true),
                             key(InputEvent::kKeyUp, 0x1E), key(InputEvent::kKeyDown, 999)},
                            quit);
  EXPECT_FALSE(quit);
  EXPECT_EQ(taken.size(), 3u) << "the repeat is dropped while auto-repeat is off";
  ASSERT_EQ(input_->keyQueue().size(), 2u) << "an impossible key code is ignored";
  EXPECT_EQ(input_->keyQueue()[0].type, KeySignal::kDown);
  EXPECT_EQ(input_->keyQueue()[1].type, KeySignal::kUp);
  EXPECT_FALSE(input_->anyKeyDown());
  input_->setAutoRepeat(true);
  taken = input_->pump({key(InputEvent::kKeyDown, 0x1E, true), ev(InputEvent::kQuit)}, quit);
  EXPECT_EQ(taken.size(), 2u);
  EXPECT_TRUE(quit);
  EXPECT_TRUE(input_->isKeyDown("a"));
}

TEST_F(InputTest, EventsTheHostTakesAreReturnedButNeverQueued) {
  bool quit = false;
  std::vector<int> asked;
  auto taken = input_->pump({key(InputEvent::kKeyDown, 0x1E), key(InputEvent::kKeyDown, 0x3F), ev(InputEvent::kMove, 5, 5),
                             ev(InputEvent::kQuit)},
                            quit, [&asked](const InputEvent& e) {
                              asked.push_back(e.kind);
                              return e.kind == InputEvent::kKeyDown && e.key == 0x3F;
                            });
  EXPECT_EQ(asked.size(), 4u) << "every event is asked, in order";
  EXPECT_EQ(taken.size(), 4u) << "a recording keeps what the host took";
  ASSERT_EQ(input_->keyQueue().size(), 1u);
  EXPECT_EQ(input_->keyQueue()[0].code, 0x1E);
  EXPECT_FALSE(input_->isKeyDown("F5"));
  EXPECT_EQ(input_->mouseQueue().size(), 1u);
  EXPECT_TRUE(quit);
}

TEST_F(InputTest, ListenersAreAskedNewestFirstUntilOneConsumes) {
  Listener first("first", log_), second("second", log_);
  input_->registerMouseListener(&first);
  input_->registerMouseListener(&second);
  input_->registerMouseListener(&first);  // already there: no second entry
  feed({ev(InputEvent::kMove, 3, 4), ev(InputEvent::kDown, 0, 0, InputEvent::kRight)});
  tick();
  EXPECT_EQ(log_, (std::vector<std::string>{"second:move@3,4", "first:move@3,4", "second:click2@3,4", "second:click@3,4",
                                            "first:click2@3,4", "first:click@3,4"}));
  log_.clear();
  second.consumePlain = true;
  feed({ev(InputEvent::kDown)});
  tick();
  EXPECT_EQ(log_, (std::vector<std::string>{"second:click0@3,4", "second:click@3,4"})) << "consumed: the walk ends";
  log_.clear();
  input_->setMouseInput(false);
  feed({ev(InputEvent::kDown), ev(InputEvent::kDblClick, 1, 1)});
  tick();
  EXPECT_TRUE(log_.empty()) << "mouse input off";
  input_->setMouseInput(true);
  input_->removeMouseListener(&second);
  feed({ev(InputEvent::kDblClick, 1, 1)});
  tick();
  EXPECT_EQ(log_, (std::vector<std::string>{"first:dbl@1,1"}));
  input_->removeMouseListener(&first);
}

TEST_F(InputTest, HotSpotsTakePressesBeforeListenersAndTheHighestPriorityWins) {
  Listener mouse("mouse", log_);
  input_->registerMouseListener(&mouse);
  Spot low("low", log_, CXRect(0, 0, 100, 100), 5), high("high", log_, CXRect(50, 50, 150, 150), 10);
  Spot equal("equal", log_, CXRect(0, 0, 100, 100), 5);
  feed({ev(InputEvent::kMove, 60, 60), ev(InputEvent::kDown)});
  tick();
  EXPECT_EQ(log_, (std::vector<std::string>{"high:enter", "mouse:move@60,60", "high:press"}))
      << "the hot spot took the press: the mouse listener hears the move only";
  log_.clear();
  // Released elsewhere: the pressed hot spot learns it was let go outside; the listener hears it.
  feed({ev(InputEvent::kMove, 10, 10), ev(InputEvent::kUp)});
  tick();
  EXPECT_EQ(log_, (std::vector<std::string>{"high:leave", "low:enter", "mouse:move@10,10", "high:outside",
                                            "mouse:release0@10,10"}));
  EXPECT_EQ(CHotSpot::findAt(CXPoint(10, 10)), &low) << "equal priorities: the earlier registered";
  CHotSpot::setMaxPriority(4);
  EXPECT_EQ(CHotSpot::findAt(CXPoint(10, 10)), nullptr) << "outside the priority window";
  CHotSpot::resetPriorityWindow();
  low.Enable(false);
  EXPECT_EQ(CHotSpot::findAt(CXPoint(10, 10)), &equal) << "a disabled hot spot is skipped";
  input_->removeMouseListener(&mouse);
}

TEST_F(InputTest, KeyNamesCoverTheTableWithKeypadDigitsNamedLikeTheMainRow) {
  EXPECT_STREQ(tarnvik::keys::nameOf(0x08), "7");
  EXPECT_STREQ(tarnvik::keys::nameOf(0x47), "7") << "keypad 7";
  EXPECT_STREQ(tarnvik::keys::nameOf(0x52), "0") << "keypad 0";
  EXPECT_STREQ(tarnvik::keys::nameOf(0x1E), "A");
  EXPECT_STREQ(tarnvik::keys::nameOf(0x01), "ESC");
  EXPECT_STREQ(tarnvik::keys::nameOf(0xCB), "LEFT");
  EXPECT_STREQ(tarnvik::keys::nameOf(0x58), "F12");
  EXPECT_EQ(tarnvik::keys::nameOf(0x0C), nullptr) << "keys outside the list have no name";
  EXPECT_EQ(tarnvik::keys::nameOf(-1), nullptr);
  EXPECT_EQ(tarnvik::keys::nameOf(400), nullptr);
  EXPECT_EQ(tarnvik::keys::codeOf("pgdn"), 0xD1);
  EXPECT_EQ(tarnvik::keys::codeOf("7"), 0x08) << "a digit names its main-row key";
  EXPECT_EQ(tarnvik::keys::codeOf("NOPE"), -1);
  // Every named code maps back to a code with the same name.
  for (int code = 0; code < tarnvik::keys::kCount; ++code) {
    if (const char* name = tarnvik::keys::nameOf(code)) {
      EXPECT_STREQ(tarnvik::keys::nameOf(tarnvik::keys::codeOf(name)), name);
    }
  }
  bool down[tarnvik::keys::kCount] = {};
  down[0x36] = true;   // right shift
  down[0x4B] = true;   // keypad 4
  EXPECT_TRUE(tarnvik::keys::isDown("shift", down));
  EXPECT_TRUE(tarnvik::keys::isDown("RSHIFT", down));
  EXPECT_FALSE(tarnvik::keys::isDown("lshift", down));
  EXPECT_TRUE(tarnvik::keys::isDown("4", down)) << "either key of a digit";
  EXPECT_FALSE(tarnvik::keys::isDown("ctrl", down));
  EXPECT_FALSE(tarnvik::keys::isDown("whatever", down));
}

// A button over three images, with its notifications logged.
class ButtonTest : public InputTest, public CControlNotifier {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    for (auto& g : gfx_) {
      g = std::make_unique<CImage>();
      ASSERT_TRUE(g->create(40, 20, 16, false));
      g->SetPosition(100, 100);
      g->Visible(false);
    }
    button_ = std::make_unique<CButton>();
    button_->setNotifier(this);
    for (int i = 0; i < 3; ++i) button_->setGraphic(static_cast<CButton::Graphic>(i), {gfx_[i].get(), {}, true});
    button_->SetSound(CButton::kSoundOnMove, [this](bool play) { log_.push_back(play ? "sound:move" : "stop:move"); });
    button_->SetSound(CButton::kSoundOnClick, [this](bool play) { log_.push_back(play ? "sound:click" : "stop:click"); });
    button_->Enable(true);
  }
  void TearDown() override {
    button_.reset();
    InputTest::TearDown();
  }
  // Which graphics show: "S", "M", "C" for standard, on-move, on-click.
  std::string look() const {
    std::string s;
    if (gfx_[0]->isVisible()) s += "S";
    if (gfx_[1]->isVisible()) s += "M";
    if (gfx_[2]->isVisible()) s += "C";
    return s;
  }
  void onControlFocusOn(CControl*, const CXPoint&) override { log_.push_back("focuson"); }
  void onControlFocusOff(CControl*, const CXPoint&) override { log_.push_back("focusoff"); }
  void onControlClicked(CControl*, const CXPoint&) override { log_.push_back("clicked"); }
  void onControlReleased(CControl*, const CXPoint&) override { log_.push_back("released"); }
  void onControlAction(CControl*, const CXPoint&) override { log_.push_back("action"); }
  void onStartDragging(CControl*, const CXPoint&) override { log_.push_back("start"); }
  void onDragging(CControl*, const CXPoint&, const CXPoint& d) override {
    log_.push_back("drag" + std::to_string(d.x) + "," + std::to_string(d.y));
  }
  void onEndDragging(CControl*, const CXPoint&) override { log_.push_back("end"); }

  std::unique_ptr<CImage> gfx_[3];
  std::unique_ptr<CButton> button_;
};

TEST_F(ButtonTest, StatesFollowHoverPressReleaseAndLeave) {
  EXPECT_EQ(look(), "S");
  feed({ev(InputEvent::kMove, 110, 110)});
  tick();
  EXPECT_EQ(look(), "SM");
  feed({ev(InputEvent::kDown)});
  tick();
  EXPECT_EQ(look(), "SC") << "pressed: the on-click graphic replaces the on-move one";
  feed({ev(InputEvent::kUp)});
  tick();
  EXPECT_EQ(look(), "SM");
  feed({ev(InputEvent::kMove, 10, 10)});
  tick();
  EXPECT_EQ(look(), "S");
  EXPECT_EQ(log_, (std::vector<std::string>{"sound:move", "focuson", "sound:click", "clicked", "released", "action",
                                            "stop:move", "focusoff"}));
}

TEST_F(ButtonTest, ReleaseOutsideIsClickedWithoutReleasedOrAction) {
  feed({ev(InputEvent::kMove, 110, 110), ev(InputEvent::kDown)});
  tick();
  feed({ev(InputEvent::kMove, 300, 300), ev(InputEvent::kUp)});
  tick();
  EXPECT_EQ(log_, (std::vector<std::string>{"sound:move", "focuson", "sound:click", "clicked", "stop:move", "focusoff"}));
  EXPECT_EQ(look(), "S");
  EXPECT_FALSE(button_->isForced());
}

TEST_F(ButtonTest, DisabledButtonsIgnoreEverythingAndHideOrKeepTheirStandardGraphic) {
  button_->Enable(false);
  EXPECT_EQ(look(), "");
  feed({ev(InputEvent::kMove, 110, 110), ev(InputEvent::kDown), ev(InputEvent::kUp)});
  tick();
  EXPECT_TRUE(log_.empty());
  button_->DisableButVisible();
  EXPECT_EQ(look(), "S");
  button_->Enable(true);
  feed({ev(InputEvent::kMove, 111, 111)});
  tick();
  EXPECT_EQ(look(), "SM");
}

TEST_F(ButtonTest, WithoutAnOnMoveGraphicFocusAndSoundStillHappen) {
  button_->setGraphic(CButton::kOnMove, {});
  button_->LockSound(false);
  feed({ev(InputEvent::kMove, 110, 110)});
  tick();
  EXPECT_EQ(look(), "S");
  EXPECT_EQ(log_, (std::vector<std::string>{"sound:move", "focuson"}));
  button_->LockSound(true);
  feed({ev(InputEvent::kDown)});
  tick();
  EXPECT_EQ(log_.back(), "clicked") << "a locked sound is not played";
}

TEST_F(ButtonTest, DraggingReportsStartMovesAndEndInsteadOfTheRelease) {
  button_->EnableDragging(true);
  feed({ev(InputEvent::kMove, 110, 110), ev(InputEvent::kDown)});
  tick();
  log_.clear();
  feed({ev(InputEvent::kMove, 115, 112)});
  tick();
  feed({ev(InputEvent::kMove, 400, 300)});
  tick();
  feed({ev(InputEvent::kUp)});
  tick();
  EXPECT_EQ(log_, (std::vector<std::string>{"start", "drag5,2", "drag285,188", "end"}));
  EXPECT_FALSE(button_->isDragging());
}

TEST_F(ButtonTest, FocusLossLetsGoWithoutEventsAndFocusBackHoversAgain) {
  feed({ev(InputEvent::kMove, 110, 110), ev(InputEvent::kDown)});
  tick();
  EXPECT_EQ(look(), "SC");
  log_.clear();
  window_->OnActivateApp(false);
  EXPECT_EQ(look(), "S");
  EXPECT_TRUE(log_.empty()) << "no events while letting go";
  EXPECT_FALSE(input_->isButtonDown(InputEvent::kLeft));
  feed({ev(InputEvent::kUp)});
  window_->OnActivateApp(true);
  tick();
  EXPECT_EQ(look(), "SM") << "the pointer is over the button again";
  EXPECT_EQ(log_, (std::vector<std::string>{"sound:move", "focuson"})) << "and no release of a press it forgot";
}

TEST(InputScriptTest, EveryVerbBecomesEventsAtItsFrame) {
  tarnvik::InputScript script;
  std::string error;
  std::vector<std::string> warnings;
  ASSERT_TRUE(script.parse("seed 42\n# comment\n\n0 move 1 2  # trailing\n0 clock 20\n1 click 5 6 right\n2 dblclick 7 8\n"
                           "3 key 7\n3 down middle\n3 up left\n4 char x\n4 char U+0023\n5 keydown esc\n5 keyup ESC\n6 quit\n",
                           800, 600, error, warnings))
      << error;
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(script.seed(), 42u);
  EXPECT_EQ(script.clockAt(0), 20u);
  EXPECT_EQ(script.clockAt(100), 20u) << "a clock line holds from its frame on";
  EXPECT_EQ(script.length(), 7);
  std::vector<InputEvent> at;
  script.eventsAt(1, at);
  ASSERT_EQ(at.size(), 2u);
  EXPECT_EQ(at[0].kind, InputEvent::kMove);
  EXPECT_EQ(at[1].kind, InputEvent::kDown);
  EXPECT_EQ(at[1].button, InputEvent::kRight);
  at.clear();
  script.eventsAt(2, at);
  ASSERT_EQ(at.size(), 2u) << "the click's release comes the frame after";
  EXPECT_EQ(at[0].kind, InputEvent::kUp);
  EXPECT_EQ(at[1].kind, InputEvent::kDblClick);
  at.clear();
  script.eventsAt(4, at);
  ASSERT_EQ(at.size(), 3u);
  EXPECT_EQ(at[0].kind, InputEvent::kKeyUp) << "the key's release";
  EXPECT_EQ(at[0].key, 0x08);
  EXPECT_EQ(at[2].text, "#");
  at.clear();
  script.eventsAt(6, at);
  ASSERT_EQ(at.size(), 1u);
  EXPECT_EQ(at[0].kind, InputEvent::kQuit);

  // A pair's plain name is its left key: "keydown CTRL" then "key F5" opens the player's menu.
  // "menu" is the gamepad's Start, which a recording writes back the same way.
  ASSERT_TRUE(script.parse("0 keydown CTRL\n0 keydown shift\n0 keyup Alt\n0 menu\n", 800, 600, error, warnings)) << error;
  at.clear();
  script.eventsAt(0, at);
  ASSERT_EQ(at.size(), 4u);
  EXPECT_EQ(at[3].kind, InputEvent::kMenu);
  EXPECT_EQ(tarnvik::InputRecorder::format(at[3]), "menu");
  EXPECT_EQ(at[0].key, 0x1D);
  EXPECT_EQ(at[1].key, 0x2A);
  EXPECT_EQ(at[2].key, 0x38);

  // Gamepad lines: the left stick's deflection and the buttons by name.
  ASSERT_TRUE(script.parse("0 pad stick -32768 32767\n0 pad press back\n1 pad release right\n", 800, 600, error, warnings))
      << error;
  at.clear();
  script.eventsAt(0, at);
  ASSERT_EQ(at.size(), 2u);
  EXPECT_EQ(at[0].kind, InputEvent::kPadStick);
  EXPECT_EQ(at[0].x, -32768);
  EXPECT_EQ(at[0].y, 32767);
  EXPECT_EQ(at[1].kind, InputEvent::kPadDown);
  EXPECT_EQ(at[1].button, InputEvent::kPadBack);
  at.clear();
  script.eventsAt(1, at);
  ASSERT_EQ(at.size(), 1u);
  EXPECT_EQ(at[0].kind, InputEvent::kPadUp);
  EXPECT_EQ(at[0].button, InputEvent::kPadDirRight);
}

TEST(InputScriptTest, MalformedLinesAreNamedOddOnesWarned) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"0 move 1\n", "line 1: \"move\" takes X Y"},
      {"0 move 1 2\nx move 1 2\n", "line 2: \"x\" is not a frame number"},
      {"-1 move 1 2\n", "line 1: \"-1\" is not a frame number"},
      {"0 down side\n", "line 1: \"side\" is not a button"},
      {"0 key NOKEY\n", "line 1: \"NOKEY\" is not a key name"},
      {"0 char ab\n", "line 1: \"ab\" is not one character"},
      {"0 char \xC1\xBF\n", "line 1: \"\xC1\xBF\" is not one character"},  // an over-long form of DEL
      {"0 char \xF4\x90\x80\x80\n", "line 1: \"\xF4\x90\x80\x80\" is not one character"},  // past U+10FFFF
      {"0 char U+0000\n", "line 1: \"U+0000\" is not one character"},
      {"0 fly\n", "line 1: unknown verb \"fly\""},
      {"seed -3\n", "line 1: \"seed\" takes one number"},
      {"0 clock 99999999\n", "line 1: \"99999999\" is not a clock advance"},
      {"0 quit now\n", "line 1: \"quit\" takes nothing"},
      {"0 focus\n", "line 1: \"focus\" takes in or out"},
      {"0 focus lost\n", "line 1: \"lost\" is not in or out"},
      {"0\n", "line 1: a frame number without a verb"},
      {"0 pad stick 40000 0\n", "line 1: \"pad stick\" takes two deflections"},
      {"0 pad press x\n", "line 1: \"x\" is not a pad button"},
      {"0 pad wiggle\n", "line 1: \"pad\" takes stick X Y, press BUTTON or release BUTTON"},
  };
  for (const Case& c : cases) {
    tarnvik::InputScript script;
    std::string error;
    std::vector<std::string> warnings;
    EXPECT_FALSE(script.parse(c.text, 800, 600, error, warnings)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave " << error;
  }
  {
    // A NUL byte is no character either (a recording could not write it back).
    tarnvik::InputScript script;
    std::string error;
    std::vector<std::string> warnings;
    EXPECT_FALSE(script.parse(std::string("0 char \0\n", 9), 800, 600, error, warnings));
  }
  tarnvik::InputScript script;
  std::string error;
  std::vector<std::string> warnings;
  ASSERT_TRUE(script.parse("5 move 900 -1\n2 move 1 1\nseed 3\n", 800, 600, error, warnings)) << error;
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_NE(warnings[0].find("off the screen"), std::string::npos);
  EXPECT_NE(warnings[1].find("frame order"), std::string::npos);
  EXPECT_NE(warnings[2].find("not on the first line"), std::string::npos);
  std::vector<InputEvent> at;
  script.eventsAt(5, at);
  EXPECT_EQ(at.size(), 1u) << "accepted all the same";
}

TEST(InputScriptTest, RecordedTextReadsBackAsTheSameEvents) {
  tarnvik::InputRecorder recorder;
  recorder.seed(7);
  std::vector<InputEvent> frame0{ev(InputEvent::kMove, 3, 4), ev(InputEvent::kDown, 0, 0, InputEvent::kMiddle)};
  InputEvent space;
  space.kind = InputEvent::kChar;
  space.text = " ";
  InputEvent letter;
  letter.kind = InputEvent::kChar;
  letter.text = "\xC5\x82";  // a Polish l with stroke
  std::vector<InputEvent> frame2{key(InputEvent::kKeyDown, 0x47), key(InputEvent::kKeyUp, 0x0C), space, letter,
                                 ev(InputEvent::kDblClick, 9, 9)};
  recorder.frame(0, 16, frame0);
  recorder.frame(1, 16, {ev(InputEvent::kFocusOut), ev(InputEvent::kFocusIn)});
  recorder.frame(2, 17, frame2);
  recorder.quit(3);
  EXPECT_EQ(recorder.text(),
            "seed 7\n0 clock 16\n0 move 3 4\n0 down middle\n1 focus out\n1 focus in\n2 clock 17\n2 keydown 7\n2 char U+0020\n2 char \xC5\x82\n"
            "2 dblclick 9 9\n3 quit\n")
      << "a key without a name is left out";
  tarnvik::InputScript script;
  std::string error;
  std::vector<std::string> warnings;
  ASSERT_TRUE(script.parse(recorder.text(), 800, 600, error, warnings)) << error;
  EXPECT_EQ(script.seed(), 7u);
  EXPECT_EQ(script.clockAt(1), 16u);
  EXPECT_EQ(script.clockAt(2), 17u);
  std::vector<InputEvent> at;
  script.eventsAt(1, at);
  ASSERT_EQ(at.size(), 2u);
  EXPECT_EQ(at[0].kind, InputEvent::kFocusOut);
  EXPECT_EQ(at[1].kind, InputEvent::kFocusIn);
  at.clear();
  script.eventsAt(2, at);
  ASSERT_EQ(at.size(), 4u);
  EXPECT_EQ(at[0].key, 0x08) << "keypad 7 replays as the 7 key";
  EXPECT_EQ(at[1].text, " ");
  EXPECT_EQ(at[2].text, "\xC5\x82");
}

}  // namespace
