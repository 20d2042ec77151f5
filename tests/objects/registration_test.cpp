// Registration of the engine's types: every runner's method table resolves both ways, numbers kept.
#include <set>
#include <string>
#include <string_view>

#include "objects/drawables/animo.h"
#include "objects/window_scene_fixture.h"
#include "runtime/records/object_records.h"

namespace {

class Registration : public WindowSceneTest {
 protected:
  void SetUp() override {
    // Script suites of this program stand a recording runner in for ANIMO; bring the real one back.
    tarnvik::registerAnimoType();
    WindowSceneTest::SetUp();
  }
};

TEST_F(Registration, EveryRegisteredRunnerResolvesEachNameOfItsTableToItsNumber) {
  std::vector<int> types = CMC_RunnerFactory::registeredTypes();
  ASSERT_FALSE(types.empty());
  for (int type : types) {
    SCOPED_TRACE("type " + std::to_string(type));
    CMC_Runner* runner = CMC_RunnerFactory::getRunner(type);
    ASSERT_NE(runner, nullptr);
    std::vector<CMC_Runner::MethodRow> table = runner->methodTable();
    EXPECT_FALSE(runner->ownMethods().empty());
    std::set<int> numbers;
    std::set<std::string_view> names;
    for (const CMC_Runner::MethodRow& row : table) {
      EXPECT_TRUE(numbers.insert(row.id).second) << row.name << " shares its number " << row.id;
      EXPECT_TRUE(names.insert(row.name).second) << row.name << " is listed twice";
      EXPECT_EQ(runner->resolveMethod(row.name), row.id) << row.name;
    }
    // The common methods are there unless the type gives the name a number of its own.
    for (const CMC_Runner::MethodRow& common : CMC_Runner::commonMethods()) {
      if (!runner->hasCommonMethods()) {
        EXPECT_FALSE(names.count(common.name) && numbers.count(common.id)) << common.name;
        continue;
      }
      EXPECT_TRUE(names.count(common.name)) << common.name;
    }
  }
}

TEST_F(Registration, TheRegistryHoldsEveryTypeOfTheEngineWithItsMakerAndRecord) {
  struct Case {
    int type;
    const char* typeName;  // the TYPE text of definition files; null for objects made otherwise
    bool record;           // has a saved-state record
  };
  const Case cases[] = {
      {mc::TYPE_NONE, nullptr, false},
      {mc::TYPE_INTEGER, nullptr, true},
      {mc::TYPE_STRING, nullptr, true},
      {mc::TYPE_BOOL, nullptr, true},
      {mc::TYPE_DOUBLE, nullptr, true},
      {mc::TYPE_EXPRESSION, "EXPRESSION", true},
      {mc::TYPE_CONDITION, "CONDITION", true},
      {mc::TYPE_COMPLEXCONDITION, "COMPLEXCONDITION", true},
      {mc::TYPE_BEHAVIOUR, nullptr, true},
      {mc::TYPE_MOUSE, "MOUSE", true},
      {mc::TYPE_KEYBOARD, "KEYBOARD", true},
      {mc::TYPE_RANDOM, nullptr, true},
      {mc::TYPE_CANVASOBSERVER, "CANVAS_OBSERVER", true},
      {mc::TYPE_APPLICATION, nullptr, false},
      {mc::TYPE_EPISODE, nullptr, false},
      {mc::TYPE_SCENE, nullptr, false},
      {mc::TYPE_ANIMO, "ANIMO", true},
      {mc::TYPE_BUTTON, "BUTTON", true},
      {mc::TYPE_SEQUENCE, "SEQUENCE", true},
      {mc::TYPE_SOUND, "SOUND", true},
      {mc::TYPE_TIMER, "TIMER", true},
      {mc::TYPE_IMAGE, "IMAGE", true},
      {mc::TYPE_VECTOR, "VECTOR", true},
      {mc::TYPE_FIFO, "FIFO", true},
      {mc::TYPE_LIFO, "LIFO", true},
      {mc::TYPE_GROUP, "GROUP", true},
      {mc::TYPE_ARRAY, "ARRAY", true},
      {mc::TYPE_STRUCTURE, "STRUCT", true},
      {mc::TYPE_DATABASE, "DATABASE", true},
      {mc::TYPE_CLASS, "CLASS", true},
      {mc::TYPE_MULTIARRAY, "MULTIARRAY", true},
      {mc::TYPE_FONT, "FONT", true},
      {mc::TYPE_TEXT, "TEXT", true},
      {mc::TYPE_EDITBOX, "EDITBOX", true},
      {mc::TYPE_SYSTEM, nullptr, true},
      {mc::TYPE_CNVLOADER, nullptr, true},
  };
  std::vector<int> registered = CMC_RunnerFactory::registeredTypes();
  EXPECT_EQ(registered.size(), std::size(cases));
  for (const Case& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type));
    EXPECT_NE(CMC_RunnerFactory::getRunner(c.type), nullptr);
    if (c.typeName) {
      EXPECT_TRUE(CMC_ObjectsContainer::isTypeRegistered(CXString(c.typeName)));
    }
    EXPECT_EQ(mc::hasRecordType(c.type), c.record);
  }
}

// Saved games and parsed code keep method numbers, so the numbers of a table never move.
TEST_F(Registration, MethodNumbersStayWhereSavedCodeExpectsThem) {
  struct Case {
    int type;
    const char* name;
    int id;
  };
  const Case cases[] = {
      {mc::TYPE_IMAGE, "SHOW", 1},
      {mc::TYPE_IMAGE, "MERGEALPHA2", 24},
      {mc::TYPE_IMAGE, "REPLACECOLOR", 45},
      {mc::TYPE_ANIMO, "PLAY", 10},
      {mc::TYPE_ANIMO, "GETENDY", 70},
      {mc::TYPE_ARRAY, "RANDOMFILL", 54},
      {mc::TYPE_GROUP, "GETNAME", 5},
      {mc::TYPE_GROUP, "CONTAINS", 13},
      {mc::TYPE_INTEGER, "LOWER", 48},
      {mc::TYPE_INTEGER, "LOG", 41},
      {mc::TYPE_NONE, "FOR", 19},
      {mc::TYPE_NONE, "SEND", -1},
      {mc::TYPE_SCENE, "GETOBJECTS", 27},
      {mc::TYPE_APPLICATION, "GETOBJECTS", 17},
      {mc::TYPE_EPISODE, "GETCURRENTSCENE", 7},
      {mc::TYPE_MOUSE, "SETACTIVERECT", 20},
      {mc::TYPE_BUTTON, "SYN", 16},
      {mc::TYPE_SYSTEM, "UNINSTALL", 21},
      {mc::TYPE_CANVASOBSERVER, "GETBACKGROUNDPOSITIONY", 9},
      {mc::TYPE_SEQUENCE, "GETPLAYING", 12},
      {mc::TYPE_TIMER, "SETELAPSE", 7},
      {mc::TYPE_TIMER, "SEND", 96},
      {mc::TYPE_TEXT, "SETTEXT", 1},
      {mc::TYPE_TEXT, "GETPOSITIONY", 18},
      {mc::TYPE_EDITBOX, "SETFOCUS", 5},
      {mc::TYPE_FONT, "GETTEXTWIDTH", 2},
      {mc::TYPE_TIMER, "OVERIDESIGNALS", 109},
      {mc::TYPE_TIMER, "show", -1},
  };
  for (const Case& c : cases) {
    CMC_Runner* runner = CMC_RunnerFactory::getRunner(c.type);
    ASSERT_NE(runner, nullptr) << c.type;
    EXPECT_EQ(runner->resolveMethod(c.name), c.id) << c.type << " " << c.name;
  }
}

TEST_F(Registration, ObjectsWorkInTheirContainersWindowElseTheCurrentOne) {
  CMC_ObjectsContainer placed(window_.get(), CXString("PLACED"), nullptr, mc::TYPE_SCENE);
  auto* timer = new CMC_Integer(CXString("T"), 0);
  timer->setScene(&placed);
  placed.addObject(timer);
  EXPECT_EQ(timer->window(), window_.get());
  EXPECT_EQ(placed.window(), window_.get());
  // The fixture's scene has no window of its own; nothing at all asks for the current one.
  EXPECT_EQ(scene_->window(), CWindow::getCurrent());
  EXPECT_EQ(CMC_Object::windowOf(nullptr), CWindow::getCurrent());
  EXPECT_NE(CWindow::getCurrent(), nullptr);
}

}  // namespace
