// Containers: creation passes, name lookup through parents, singletons, replacement and unloading.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/runtime_test_support.h"
#include "runtime/variable.h"

using namespace rt_test;

namespace {

std::vector<std::string>& events() {
  static std::vector<std::string> log;
  return log;
}

// A stand-in for types of later layers: records construction, done and deletion, and what it could
// see when it was built (the object named by its SEE property).
class Probe : public CMC_Object {
 public:
  Probe(CMC_ObjectsContainer* scope, CMElement* e, int type, bool first = false)
      : CMC_Object(scope, e, type), first_(first) {
    CXString see = elementValue(e, "SEE");
    sawTarget = !see.isEmpty() && scope->getObject(see) != nullptr;
    events().push_back("new " + getName().str());
    initializeBehaviours(scope, e);
  }
  ~Probe() override { events().push_back("delete " + getName().str()); }
  bool doneFirst() override { return first_; }
  bool done(bool unloading) override {
    events().push_back("done " + getName().str());
    return CMC_Object::done(unloading);
  }
  const CMC_EventList* getBehavioursList() const override { return baseEventList(); }
  bool sawTarget = false;

 private:
  bool first_;
};

// Registers stand-in makers for the test and removes them afterwards.
class ContainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runs().clear();
    events().clear();
    auto probe = [](int type, bool first = false) {
      return [type, first](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* { return new Probe(s, e, type, first); };
    };
    reg("CONDITION", probe(mc::TYPE_CONDITION));
    reg("CLASS", probe(mc::TYPE_CLASS));
    reg("ANIMO", probe(mc::TYPE_ANIMO));
    reg("SOUND", probe(mc::TYPE_SOUND, true));
    reg("KEYBOARD", probe(mc::TYPE_KEYBOARD));
    reg("MOUSE", probe(mc::TYPE_MOUSE));
    reg("CANVAS_OBSERVER", probe(mc::TYPE_CANVASOBSERVER));
    reg("TIMER", probe(mc::TYPE_TIMER));
    reg("BEHAVIOUR", [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* { return new RecordingBehaviour(s, e); });
  }
  void TearDown() override {
    for (const auto& name : registered_) CMC_ObjectsContainer::unregisterType(CXString(name.c_str()));
    CMC_ObjectsContainer::registerType("BEHAVIOUR", [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* {
      return new CMC_Behaviour(s, e);
    });
  }
  void reg(const char* name, CMC_ObjectMaker maker) {
    CMC_ObjectsContainer::registerType(CXString(name), std::move(maker));
    registered_.emplace_back(name);
  }
  static std::vector<std::string> names(const std::vector<CMElement*>& list) {
    std::vector<std::string> out;
    for (auto* e : list) out.push_back(e->getName().str());
    return out;
  }
  static std::vector<std::string> objectNames(const CMC_ObjectsContainer& c) {
    std::vector<std::string> out;
    for (auto* o : c.objects()) out.push_back(o->getName().str());
    return out;
  }

  std::vector<std::string> registered_;
};

TEST_F(ContainerTest, PassesCreateTypesInTheirFixedOrder) {
  CMElements file(true);
  file.add(element("COND1", {{"TYPE", "CONDITION"}, {"SEE", "COUNT"}}));
  file.add(element("ANIM", {{"TYPE", "ANIMO"}, {"SEE", "BEHCOND"}}));
  file.add(element("BEHCOND", {{"TYPE", "BEHAVIOUR"}, {"CONDITION", "COND1"}, {"CODE", "{ A^B(); }"}}));
  file.add(element("T1", {{"TYPE", "TIMER"}}));
  file.add(element("CLS", {{"TYPE", "CLASS"}}));
  file.add(element("COUNT", {{"TYPE", "INTEGER"}, {"VALUE", "5"}}));
  file.add(element("GONE", {{"TYPE", "NOSUCHTYPE"}}));
  file.add(element("ARR", {{"TYPE", "ARRAY"}}));
  file.add(element("NOTYPE", {}));

  auto scene = makeScope("S");
  std::vector<CMElement*> rest = scene->resolveObjects(&file);
  EXPECT_EQ(objectNames(*scene), (std::vector<std::string>{"BEHCOND", "COUNT", "COND1", "CLS", "ANIM", "T1"}));
  EXPECT_EQ(names(rest), (std::vector<std::string>{"GONE", "ARR", "NOTYPE"}));

  // A condition declared before the variable it names still sees it.
  EXPECT_TRUE(static_cast<Probe*>(scene->getObject("COND1"))->sawTarget);
  EXPECT_TRUE(static_cast<Probe*>(scene->getObject("ANIM"))->sawTarget);
  // Behaviours bind their CONDITION after all conditions exist.
  auto* b = static_cast<CMC_Behaviour*>(scene->getObject("BEHCOND"));
  EXPECT_EQ(b->getCondition(), scene->getObject("COND1"));
  EXPECT_EQ(b->getCode().str(), "A^B();");
  EXPECT_EQ(static_cast<CMC_Integer*>(scene->getVariable("COUNT"))->getValue(), 5);
  // No init during creation.
  EXPECT_EQ(events(), (std::vector<std::string>{"new COND1", "new CLS", "new ANIM", "new T1"}));
}

TEST_F(ContainerTest, UnknownTypesInTheLastPassGoToTheExtensionHook) {
  class ExtScene : public CMC_ObjectsContainer {
   public:
    ExtScene() : CMC_ObjectsContainer(nullptr, CXString("EXT"), nullptr, mc::TYPE_SCENE) {}
    CMC_Object* resolveEx(CMElement* e) override {
      offered.push_back(e->getName().str());
      if (e->getPropertyValue("TYPE") == "GADGET") return new CMC_Object(e->getName(), 20000);
      return nullptr;
    }
    std::vector<std::string> offered;
  } scene;
  CMElements file(true);
  file.add(element("G", {{"TYPE", "GADGET"}}));
  file.add(element("W", {{"TYPE", "WIDGET"}}));
  file.add(element("A", {{"TYPE", "ARRAY"}}));
  std::vector<CMElement*> rest = scene.resolveObjects(&file);
  EXPECT_EQ(scene.offered, (std::vector<std::string>{"G", "W"}));
  EXPECT_EQ(names(rest), (std::vector<std::string>{"W", "A"}));
  ASSERT_NE(scene.getObject("G"), nullptr);
  EXPECT_EQ(scene.getObject("G")->getType(), 20000);
  EXPECT_TRUE(scene.resolveObjects(nullptr).empty());
}

TEST_F(ContainerTest, SameNameReplacesAndDeletesTheEarlierObject) {
  CMElements file(true);
  file.add(element("A", {{"TYPE", "ANIMO"}}));
  file.add(element("A", {{"TYPE", "ANIMO"}}));
  auto scene = makeScope("S");
  scene->resolveObjects(&file);
  EXPECT_EQ(events(), (std::vector<std::string>{"new A", "new A", "delete A"}));
  EXPECT_EQ(scene->getElementsNo(), 1);
  // Adding the same object again changes nothing.
  scene->addObject(scene->getObject("A"));
  EXPECT_EQ(scene->getElementsNo(), 1);
}

TEST_F(ContainerTest, LookupGoesThroughParentsAndTheZeroSuffixRule) {
  auto app = makeScope("GAME", nullptr, mc::TYPE_APPLICATION);
  auto episode = makeScope("EP1", app.get(), mc::TYPE_EPISODE);
  auto scene = makeScope("S1", episode.get());
  app->addObject(new CMC_Integer("SCORE", 3));
  app->addObject(new CMC_Integer("X", 1));
  scene->addObject(new CMC_Integer("X", 2));
  scene->addObject(new CMC_Integer("ANIMO1", 0));

  EXPECT_EQ(static_cast<CMC_Integer*>(scene->getObject("X"))->getValue(), 2);
  EXPECT_EQ(static_cast<CMC_Integer*>(scene->getObject("SCORE"))->getValue(), 3);
  EXPECT_EQ(scene->getObject("SCORE_0"), app->getObject("SCORE"));
  EXPECT_EQ(scene->getObject("ANIMO1_0"), scene->getObject("ANIMO1"));
  EXPECT_EQ(scene->getObject("ANIMO1_5"), nullptr);
  EXPECT_EQ(scene->getObject("_0"), nullptr);
  EXPECT_EQ(scene->getObject("NOPE"), nullptr);
  EXPECT_EQ(scene->getObject(static_cast<const char*>(nullptr)), nullptr);
  // A real object named X_0 wins over the rule.
  scene->addObject(new CMC_Integer("ANIMO1_0", 9));
  EXPECT_EQ(static_cast<CMC_Integer*>(scene->getObject("ANIMO1_0"))->getValue(), 9);
  // The scene can name its episode and its application.
  EXPECT_EQ(scene->getObject("EP1"), episode.get());
  EXPECT_EQ(scene->getObject("GAME"), app.get());
  EXPECT_EQ(scene->getObjectId("X"), 0);
  EXPECT_EQ(scene->getObjectId("SCORE"), -1);
  EXPECT_EQ(scene->getObject(1)->getName().str(), "ANIMO1");
  EXPECT_EQ(scene->getObject(7), nullptr);

  // A new parent replaces the old parent entries.
  auto other = makeScope("EP2", nullptr, mc::TYPE_EPISODE);
  scene->setParent(other.get());
  EXPECT_EQ(scene->getObject("EP1"), nullptr);
  EXPECT_EQ(scene->getObject("GAME"), nullptr);
  EXPECT_EQ(scene->getObject("EP2"), other.get());
  // A cycle is refused.
  other->setParent(scene.get());
  EXPECT_EQ(other->getParent(), nullptr);
  EXPECT_EQ(scene->getObject("NOPE"), nullptr);
}

TEST_F(ContainerTest, VariablesAndTypeQueries) {
  auto scene = makeScope("S");
  scene->addObject(new CMC_Integer("I", 1));
  scene->addObject(new CMC_String("STR", "x"));
  scene->addObject(new CMC_Bool("B", true));
  scene->addObject(new CMC_Double("D", 1.5));
  scene->addObject(new RecordingBehaviour(scene.get(), "BEH"));
  scene->addObject(new CMC_Integer("J", 2));
  EXPECT_NE(scene->getVariable("STR"), nullptr);
  EXPECT_NE(scene->getVariable("D"), nullptr);
  EXPECT_EQ(scene->getVariable("BEH"), nullptr);
  EXPECT_EQ(scene->getVariable("NONE"), nullptr);
  auto ints = scene->getObjectsOfType(mc::TYPE_INTEGER);
  ASSERT_EQ(ints.size(), 2u);
  EXPECT_EQ(ints[1]->getName().str(), "J");
  std::vector<CMC_Object*> group{scene->getObject("B")};
  scene->getObjects("BEHAVIOUR", group);
  ASSERT_EQ(group.size(), 1u);
  EXPECT_EQ(group[0]->getName().str(), "BEH");
  scene->getObjects("STRUCT", group);
  EXPECT_TRUE(group.empty());
  std::unique_ptr<CMC_Object> removed(scene->getObject("I"));
  EXPECT_TRUE(scene->removeObject(removed.get()));
  EXPECT_FALSE(scene->removeObject(removed.get()));
  EXPECT_FALSE(scene->removeObject(nullptr));
  EXPECT_EQ(scene->getObject("I"), nullptr);
}

TEST_F(ContainerTest, SingletonElementsBindToTheVisibleObject) {
  auto app = makeScope("GAME", nullptr, mc::TYPE_APPLICATION);
  CMElements appFile(true);
  appFile.add(element("KEYBOARD", {{"TYPE", "KEYBOARD"}}));
  appFile.add(element("MOUSE", {{"TYPE", "MOUSE"}}));
  appFile.add(element("CANVASOBSERVER", {{"TYPE", "CANVAS_OBSERVER"}}));
  EXPECT_TRUE(app->resolveObjects(&appFile).empty());

  auto scene = makeScope("S1", app.get());
  CMElements file(true);
  file.add(element("BEHKEY", {{"TYPE", "BEHAVIOUR"}}));
  file.add(element("KEYS", {{"TYPE", "KEYBOARD"}, {"ONINIT", "BEHKEY"}}));
  file.add(element("MOUSE", {{"TYPE", "MOUSE"}, {"ONSIGNAL", "BEHKEY"}}));
  file.add(element("MOUSE2", {{"TYPE", "MOUSE"}}));
  file.add(element("OBS", {{"TYPE", "CANVAS_OBSERVER"}}));
  events().clear();
  std::vector<CMElement*> rest = scene->resolveObjects(&file);
  EXPECT_EQ(names(rest), (std::vector<std::string>{"KEYS", "MOUSE", "OBS"}));
  EXPECT_EQ(events(), (std::vector<std::string>{"new MOUSE2"}));

  CMC_Object* keyboard = app->getObject("KEYBOARD");
  const CMC_HandlerEntry* entry = keyboard->getSingleBehaviour("ONINIT", 0);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->scope, scene.get());
  EXPECT_EQ(entry->behaviour, scene->getObject("BEHKEY"));
  EXPECT_NE(app->getObject("MOUSE")->getBehaviour("ONSIGNAL"), nullptr);

  // The scene's bindings go with the scene.
  scene->onSubSceneDone(scene.get());
  EXPECT_EQ(keyboard->getBehaviour("ONINIT"), nullptr);
  EXPECT_EQ(app->getObject("MOUSE")->getBehaviour("ONSIGNAL"), nullptr);
}

TEST_F(ContainerTest, UnloadFinishesClassesThenFirstsThenTheRest) {
  auto app = makeScope("GAME", nullptr, mc::TYPE_APPLICATION);
  auto scene = makeScope("S1", app.get());
  CMElements file(true);
  file.add(element("A1", {{"TYPE", "ANIMO"}}));
  file.add(element("SND", {{"TYPE", "SOUND"}}));
  file.add(element("K", {{"TYPE", "CLASS"}}));
  file.add(element("A2", {{"TYPE", "ANIMO"}}));
  file.add(element("BDONE", {{"TYPE", "BEHAVIOUR"}}));
  file.add(element("S1", {}));
  scene->resolveObjects(&file);
  auto* bdone = static_cast<RecordingBehaviour*>(scene->getObject("BDONE"));
  scene->addBehaviour("ONDONE", bdone, nullptr, scene.get());
  bdone->action = [&](CMC_Object*) { events().push_back(scene->getObject("A1") ? "ondone with A1" : "ondone"); };
  events().clear();
  scene->unload();
  // The container's own ONDONE runs after every done and before the objects are deleted.
  EXPECT_EQ(events(), (std::vector<std::string>{"done K", "done SND", "done A1", "done A2", "ondone with A1",
                                                "delete K", "delete A1", "delete SND", "delete A2"}));
  EXPECT_EQ(scene->getElementsNo(), 0);
  EXPECT_EQ(scene->getObject("A1"), nullptr);
  EXPECT_EQ(scene->getObject("GAME"), app.get());
  // Its handlers on itself pointed at deleted behaviours and are gone.
  EXPECT_EQ(scene->getBehaviour("ONDONE"), nullptr);
  EXPECT_FALSE(scene->onSignal("ONDONE"));
}

TEST_F(ContainerTest, UnloadSurvivesHandlersThatRemoveObjects) {
  auto scene = makeScope("S1");
  CMElements file(true);
  file.add(element("KILL", {{"TYPE", "BEHAVIOUR"}}));
  file.add(element("A1", {{"TYPE", "ANIMO"}, {"ONDONE", "KILL"}}));
  file.add(element("A2", {{"TYPE", "ANIMO"}}));
  scene->resolveObjects(&file);
  static_cast<RecordingBehaviour*>(scene->getObject("KILL"))->action = [&](CMC_Object*) {
    CMC_Object* victim = scene->getObject("A2");
    if (victim) {
      scene->removeObject(victim);
      delete victim;
    }
    scene->addObject(new CMC_Integer("LATE", 1));
  };
  events().clear();
  scene->unload();
  EXPECT_EQ(events(), (std::vector<std::string>{"done A1", "delete A2", "delete A1"}));
  EXPECT_EQ(scene->getElementsNo(), 0);
}

TEST_F(ContainerTest, ResolveCreatesOneElementAnyPass) {
  auto scene = makeScope("S1");
  std::unique_ptr<CMElement> e(element("V", {{"TYPE", "DOUBLE"}, {"VALUE", "2.5"}}));
  CMC_Object* o = scene->resolve(e.get());
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(scene->getObject("V"), o);
  std::unique_ptr<CMElement> bad(element("W", {{"TYPE", "NOPE"}}));
  EXPECT_EQ(scene->resolve(bad.get()), nullptr);
  EXPECT_EQ(scene->resolve(nullptr), nullptr);
}

}  // namespace
