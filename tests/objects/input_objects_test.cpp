// MOUSE, KEYBOARD and BUTTON objects: the event rules (parameterised events before the plain ones,
// the active rectangle, the signal flag), key names in events, GETLATESTKEYS, and a BUTTON built
// from its definition element.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "definitions/melement.h"
#include "input/hotspot.h"
#include "input/input_manager.h"
#include "objects/data/array.h"
#include "objects/input/mc_button.h"
#include "objects/drawables/mc_image.h"
#include "objects/input/keyboard.h"
#include "objects/input/mouse.h"
#include "objects/window_scene_fixture.h"
#include "support/input_events.h"

namespace {

using tarnvik::InputEvent;

class InputObjectsTest : public WindowSceneTest {
 protected:
  void SetUp() override {
    WindowSceneTest::SetUp();
    input_ = std::make_unique<CInputManager>(window_.get(), nullptr);
  }
  void TearDown() override {
    // The scene's MOUSE and KEYBOARD objects leave the input manager before it goes.
    scene_.reset();
    app_.reset();
    input_.reset();
    WindowSceneTest::TearDown();
  }
  template <typename T>
  T* make(const char* name, std::initializer_list<std::pair<const char*, const char*>> properties = {}) {
    CMElement element{CXString(name)};
    for (auto& [k, v] : properties) element.addProperty(CXString(k), CXString(v));
    auto* object = new T(scene_.get(), &element);
    scene_->addObject(object);
    return object;
  }
  CMC_Object* call(CMC_Object* target, const char* method, std::initializer_list<const char*> args = {}) {
    std::vector<CMC_Object*> values;
    for (const char* a : args) values.push_back(CMC_VariableFactory::string(CXString(a)));
    CMC_Object* result = CMC_RunnerFactory::getRunnerFor(target)->run(CXString(method), target, scene_.get(), &values);
    return result;
  }
  void play(std::vector<InputEvent> events) {
    bool quit = false;
    input_->pump(std::move(events), quit);
    input_->frameTick();
  }
  static InputEvent ev(InputEvent::Kind kind, int x = 0, int y = 0, int button = InputEvent::kLeft) {
    return tarnvik::test::pointerEvent(kind, x, y, button);
  }
  static InputEvent key(InputEvent::Kind kind, int code) { return tarnvik::test::keyEvent(kind, code); }

  std::unique_ptr<CInputManager> input_;
};

TEST_F(InputObjectsTest, MouseFiresTheButtonsOwnClickFirstAndThePlainOneOtherwise) {
  auto* mouse = make<CMC_Mouse>("MOUSE");
  counters({"RIGHT", "ANY", "REL", "MOVES", "DBL"});
  bind(mouse, "ONCLICK^RIGHT", "RIGHT^INC();");
  bind(mouse, "ONCLICK", "ANY^INC();");
  bind(mouse, "ONRELEASE", "REL^INC();");
  bind(mouse, "ONMOVE", "MOVES^INC();");
  bind(mouse, "ONDBLCLICK", "DBL^INC();");
  play({ev(InputEvent::kMove, 10, 10), ev(InputEvent::kMove, 20, 30), ev(InputEvent::kMove, 40, 50)});
  EXPECT_EQ(value("MOVES"), 1) << "many moves between two ticks: one event";
  EXPECT_EQ(static_cast<CMC_Variable*>(call(mouse, "GETPOSX"))->asInteger(), 40);
  play({ev(InputEvent::kDown, 0, 0, InputEvent::kRight), ev(InputEvent::kUp, 0, 0, InputEvent::kRight)});
  EXPECT_EQ(value("RIGHT"), 1);
  EXPECT_EQ(value("ANY"), 0) << "the right click ran only its own handler";
  EXPECT_EQ(value("REL"), 1) << "no ONRELEASE^RIGHT: the plain one";
  play({ev(InputEvent::kDown), ev(InputEvent::kUp), ev(InputEvent::kDblClick, 40, 50)});
  EXPECT_EQ(value("ANY"), 1);
  EXPECT_EQ(value("DBL"), 1);
  EXPECT_EQ(static_cast<CMC_Variable*>(call(mouse, "GETLASTCLICKPOSY"))->asInteger(), 50);
}

TEST_F(InputObjectsTest, ActiveRectangleAndSignalFlagGateTheEvents) {
  auto* mouse = make<CMC_Mouse>("MOUSE");
  counters({"CLICKS", "MOVES", "RELEASES", "DBL"});
  bind(mouse, "ONCLICK", "CLICKS^INC();");
  bind(mouse, "ONMOVE", "MOVES^INC();");
  bind(mouse, "ONRELEASE", "RELEASES^INC();");
  bind(mouse, "ONDBLCLICK", "DBL^INC();");
  call(mouse, "SETACTIVERECT", {"100", "100", "200", "200"});
  play({ev(InputEvent::kMove, 10, 20), ev(InputEvent::kDown), ev(InputEvent::kUp)});
  EXPECT_EQ(value("CLICKS") + value("MOVES") + value("RELEASES"), 0) << "outside the active rectangle";
  EXPECT_EQ(static_cast<CMC_Variable*>(call(mouse, "GETLASTCLICKPOSX"))->asInteger(), 10)
      << "the last left click is remembered all the same";
  play({ev(InputEvent::kMove, 150, 150), ev(InputEvent::kDown), ev(InputEvent::kUp)});
  EXPECT_EQ(value("CLICKS"), 1);
  EXPECT_EQ(value("MOVES"), 1);
  call(mouse, "DISABLESIGNAL");
  play({ev(InputEvent::kMove, 151, 150), ev(InputEvent::kDown), ev(InputEvent::kUp), ev(InputEvent::kDblClick, 151, 150)});
  EXPECT_EQ(value("CLICKS"), 1);
  EXPECT_EQ(value("RELEASES"), 1);
  EXPECT_EQ(value("DBL"), 0);
  EXPECT_EQ(value("MOVES"), 2) << "the signal flag does not gate moves";
  call(mouse, "ENABLESIGNAL");
  call(mouse, "SETACTIVERECT", {"0", "0", "0", "0"});
  play({ev(InputEvent::kMove, 5, 5), ev(InputEvent::kDown)});
  EXPECT_EQ(value("CLICKS"), 2) << "an empty active rectangle means everywhere";
  EXPECT_TRUE(static_cast<CMC_Variable*>(call(mouse, "ISLBUTTONDOWN"))->asBool());
  call(mouse, "DISABLE");
  EXPECT_FALSE(input_->isMouseInput()) << "DISABLE switches the window's mouse input off";
  play({ev(InputEvent::kUp), ev(InputEvent::kDown)});
  EXPECT_EQ(value("CLICKS"), 2);
}

TEST_F(InputObjectsTest, MouseMethodsMoveClipAndInjectClicks) {
  auto* mouse = make<CMC_Mouse>("MOUSE");
  counters({"MIDDLE"});
  bind(mouse, "ONCLICK^MIDDLE", "MIDDLE^INC();");
  call(mouse, "SETPOSITION", {"300", "200"});
  call(mouse, "MOVE", {"-10", "5"});
  EXPECT_EQ(input_->getPosition().x, 290);
  EXPECT_EQ(input_->getPosition().y, 205);
  call(mouse, "CLICK", {"5", "6", "MIDDLE"});
  input_->frameTick();
  EXPECT_EQ(value("MIDDLE"), 1);
  call(mouse, "SETCLIPRECT", {"10", "20", "300", "400"});
  EXPECT_EQ(input_->getClipRect().right, 300);
  call(mouse, "SETCLIPRECT", {"0", "0", "555", "0"});
  EXPECT_TRUE(input_->getClipRect().isEmpty()) << "0, 0, anything, 0 releases the cursor";
  call(mouse, "HIDE");
  EXPECT_FALSE(input_->isCursorVisible());
  call(mouse, "SHOW");
  EXPECT_TRUE(input_->isCursorVisible());
}

TEST_F(InputObjectsTest, KeyboardNamesKeysKeypadDigitsAlikeAndKeepsTheLatest) {
  auto* keyboard = make<CMC_Keyboard>("KEYBOARD");
  counters({"SEVEN", "DOWN", "UP", "CHAR_X", "CHARS"});
  bind(keyboard, "ONKEYDOWN^7", "SEVEN^INC();");
  bind(keyboard, "ONKEYDOWN", "DOWN^INC();");
  bind(keyboard, "ONKEYUP", "UP^INC();");
  bind(keyboard, "ONCHAR^x", "CHAR_X^INC();");
  bind(keyboard, "ONCHAR", "CHARS^INC();");
  play({key(InputEvent::kKeyDown, 0x47), key(InputEvent::kKeyUp, 0x47), key(InputEvent::kKeyDown, 0x08)});
  EXPECT_EQ(value("SEVEN"), 2) << "keypad 7 and the main-row 7";
  EXPECT_EQ(value("DOWN"), 0);
  EXPECT_EQ(value("UP"), 1);
  EXPECT_TRUE(static_cast<CMC_Variable*>(call(keyboard, "ISKEYDOWN", {"7"}))->asBool());
  EXPECT_TRUE(static_cast<CMC_Variable*>(call(keyboard, "ISKEYDOWN"))->asBool());
  play({key(InputEvent::kKeyDown, 0x0C), key(InputEvent::kKeyDown, 0x1E)});
  EXPECT_EQ(value("DOWN"), 2) << "a key without a name and one without its own handler";
  EXPECT_EQ(static_cast<CMC_Variable*>(call(keyboard, "GETLATESTKEY"))->toString(), "A");
  InputEvent x;
  x.kind = InputEvent::kChar;
  x.text = "x";
  InputEvent y = x;
  y.text = "y";
  play({x, y});
  EXPECT_EQ(value("CHAR_X"), 1);
  EXPECT_EQ(value("CHARS"), 1);
  auto* array = make<CMC_Array>("KEYS");
  call(keyboard, "GETLATESTKEYS", {"KEYS", "TRUE"});
  ASSERT_EQ(array->getSize(), 3);
  EXPECT_EQ(array->get(0)->toString(), "7");
  EXPECT_EQ(array->get(2)->toString(), "A");
  call(keyboard, "GETLATESTKEYS", {"KEYS"});
  EXPECT_EQ(array->getSize(), 3) << "the queue was emptied";
  call(keyboard, "GETLATESTKEYS", {"NOSUCHARRAY"});
  call(keyboard, "DISABLE");
  play({key(InputEvent::kKeyDown, 0x08)});
  EXPECT_EQ(value("SEVEN"), 2) << "nothing while disabled";
  EXPECT_FALSE(static_cast<CMC_Variable*>(call(keyboard, "ISKEYDOWN", {"7"}))->asBool()) << "disabled: false";
}

TEST_F(InputObjectsTest, ButtonFromItsElementFiresItsEventsAndFollowsItsImagesPriority) {
  auto* image = new CMC_Image(scene_.get(), CXString("STD"));
  scene_->addObject(image);
  ASSERT_TRUE(image->getImage()->create(50, 40, 16, false));
  image->getImage()->SetPosition(100, 100);
  image->setPriority(12);
  image->show(true);
  counters({"ON", "OFF", "CLICKED", "RELEASED", "ACTION"});
  auto* button = make<CMC_Button>("B", {{"RECT", "STD"}, {"GFXSTANDARD", "STD"}, {"PRIORITY", "3"}});
  bind(button, "ONFOCUSON", "ON^INC();");
  bind(button, "ONFOCUSOFF", "OFF^INC();");
  bind(button, "ONCLICKED", "CLICKED^INC();");
  bind(button, "ONRELEASED", "RELEASED^INC();");
  bind(button, "ONACTION", "ACTION^INC();");
  EXPECT_EQ(static_cast<CMC_Variable*>(call(button, "GETPRIORITY"))->asInteger(), 12) << "RECT names the image";
  EXPECT_EQ(static_cast<CMC_Variable*>(call(button, "GETSTD"))->toString(), "STD");
  // Moves between two ticks are one: each step gets its own tick.
  play({ev(InputEvent::kMove, 120, 120)});
  play({ev(InputEvent::kDown), ev(InputEvent::kUp)});
  play({ev(InputEvent::kMove, 10, 10)});
  EXPECT_EQ(value("ON"), 1);
  EXPECT_EQ(value("CLICKED"), 1);
  EXPECT_EQ(value("RELEASED"), 1);
  EXPECT_EQ(value("ACTION"), 1);
  EXPECT_EQ(value("OFF"), 1);
  call(button, "SETRECT", {"0", "0", "20", "20"});
  EXPECT_EQ(static_cast<CMC_Variable*>(call(button, "GETPRIORITY"))->asInteger(), 12)
      << "numbers: the standard graphic still gives the priority";
  call(button, "DISABLE");
  EXPECT_FALSE(image->getImage()->isVisible());
  play({ev(InputEvent::kMove, 5, 5), ev(InputEvent::kDown), ev(InputEvent::kUp)});
  EXPECT_EQ(value("CLICKED"), 1) << "disabled";
  call(button, "ENABLE");
  EXPECT_TRUE(image->getImage()->isVisible());
  // The image goes first: the button carries on without it.
  scene_->removeObject(image);
  delete image;
  EXPECT_EQ(static_cast<CMC_Variable*>(call(button, "GETPRIORITY"))->asInteger(), 3) << "no graphic: its own priority";
  play({ev(InputEvent::kMove, 6, 6), ev(InputEvent::kDown), ev(InputEvent::kUp)});
  EXPECT_EQ(value("CLICKED"), 2);
  call(button, "SYN");
  // A bad RECT is reported and leaves the button without an area.
  auto* odd = make<CMC_Button>("ODD", {{"RECT", "1,2,x"}});
  EXPECT_TRUE(odd->getButton()->getActiveRect().isEmpty());
}

}  // namespace
