// Containers: creation passes, name lookup through parents, singletons, replacement and unloading.
#include <gtest/gtest.h>

#include "runtime/runtime_test_support.h"
#include "runtime/variable.h"

using namespace rt_test;

namespace {

using Names = std::vector<std::string>;
using Props = std::initializer_list<std::pair<const char*, const char*>>;

Names& events() {
  static Names log;
  return log;
}

// Stand-in for types of later layers: logs new, done and delete, and whether the object named by its
// SEE property was visible when it was built.
class Probe : public CMC_Object {
 public:
  Probe(CMC_ObjectsContainer* scope, CMElement* e, int type) : CMC_Object(scope, e, type) {
    CXString see = elementValue(e, "SEE");
    sawTarget = !see.isEmpty() && scope->getObject(see) != nullptr;
    events().push_back("new " + getName().str());
    initializeBehaviours(scope, e);
  }
  ~Probe() override { events().push_back("delete " + getName().str()); }
  bool doneFirst() override { return getType() == mc::TYPE_SOUND; }
  bool done(bool unloading) override {
    events().push_back("done " + getName().str());
    return CMC_Object::done(unloading);
  }
  const CMC_EventList* getBehavioursList() const override { return baseEventList(); }
  bool sawTarget = false;
};

class ContainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runs().clear();
    events().clear();
    for (auto [name, type] : {std::pair{"CONDITION", mc::TYPE_CONDITION}, {"CLASS", mc::TYPE_CLASS},
                              {"ANIMO", mc::TYPE_ANIMO}, {"SOUND", mc::TYPE_SOUND}, {"KEYBOARD", mc::TYPE_KEYBOARD},
                              {"MOUSE", mc::TYPE_MOUSE}, {"CANVAS_OBSERVER", mc::TYPE_CANVASOBSERVER},
                              {"TIMER", mc::TYPE_TIMER}}) {
      int t = type;
      CMC_ObjectsContainer::registerType(name, [t](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* {
        return new Probe(s, e, t);
      });
    }
    CMC_ObjectsContainer::registerType("BEHAVIOUR", [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* {
      return new RecordingBehaviour(s, e);
    });
  }
  void TearDown() override {
    for (const char* name : {"CONDITION", "CLASS", "ANIMO", "SOUND", "KEYBOARD", "MOUSE", "CANVAS_OBSERVER", "TIMER"})
      CMC_ObjectsContainer::unregisterType(name);
    CMC_ObjectsContainer::registerType("BEHAVIOUR", [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* {
      return new CMC_Behaviour(s, e);
    });
  }
  // Resolves a file of (name, properties) elements into `c`; returns the names left over.
  Names load(CMC_ObjectsContainer& c, std::initializer_list<std::pair<const char*, Props>> elements) {
    CMElements file(true);
    for (const auto& [name, props] : elements) file.add(element(name, props));
    Names rest;
    for (CMElement* e : c.resolveObjects(&file)) rest.push_back(e->getName().str());
    return rest;
  }
  static Names objectNames(const CMC_ObjectsContainer& c) {
    Names out;
    for (auto* o : c.objects()) out.push_back(o->getName().str());
    return out;
  }
};

TEST_F(ContainerTest, PassesCreateTypesInTheirFixedOrder) {
  auto scene = makeScope("S");
  Names rest = load(*scene, {{"COND1", {{"TYPE", "CONDITION"}, {"SEE", "COUNT"}}},
                             {"ANIM", {{"TYPE", "ANIMO"}, {"SEE", "BEHCOND"}}},
                             {"BEHCOND", {{"TYPE", "BEHAVIOUR"}, {"CONDITION", "COND1"}, {"CODE", "{ A^B(); }"}}},
                             {"T1", {{"TYPE", "TIMER"}}},
                             {"CLS", {{"TYPE", "CLASS"}}},
                             {"COUNT", {{"TYPE", "INTEGER"}, {"VALUE", "5"}}},
                             {"GONE", {{"TYPE", "NOSUCHTYPE"}}},
                             {"ARR", {{"TYPE", "ARRAY"}}},
                             {"NOTYPE", {}}});
  EXPECT_EQ(objectNames(*scene), (Names{"BEHCOND", "COUNT", "COND1", "CLS", "ANIM", "T1"}));
  EXPECT_EQ(rest, (Names{"GONE", "ARR", "NOTYPE"}));
  // A condition declared before the variable it names still sees it; behaviours bind their
  // CONDITION once all conditions exist; nothing is initialised yet.
  EXPECT_TRUE(static_cast<Probe*>(scene->getObject("COND1"))->sawTarget);
  auto* b = static_cast<CMC_Behaviour*>(scene->getObject("BEHCOND"));
  EXPECT_EQ(b->getCondition(), scene->getObject("COND1"));
  EXPECT_EQ(b->getCode().str(), "A^B();");
  EXPECT_EQ(events(), (Names{"new COND1", "new CLS", "new ANIM", "new T1"}));
  // Two elements with one name: the second object replaces the first, which is deleted.
  events().clear();
  load(*scene, {{"ANIM", {{"TYPE", "ANIMO"}}}});
  EXPECT_EQ(events(), (Names{"new ANIM", "delete ANIM"}));
  scene->addObject(scene->getObject("ANIM"));
  EXPECT_EQ(scene->getElementsNo(), 6);
}

TEST_F(ContainerTest, UnknownTypesInTheLastPassGoToTheExtensionHook) {
  class ExtScene : public CMC_ObjectsContainer {
   public:
    ExtScene() : CMC_ObjectsContainer(nullptr, CXString("EXT"), nullptr, mc::TYPE_SCENE) {}
    CMC_Object* resolveEx(CMElement* e) override {
      offered.push_back(e->getName().str());
      return e->getPropertyValue("TYPE") == "GADGET" ? new CMC_Object(e->getName(), 20000) : nullptr;
    }
    Names offered;
  } scene;
  EXPECT_EQ(load(scene, {{"G", {{"TYPE", "GADGET"}}}, {"W", {{"TYPE", "WIDGET"}}}, {"A", {{"TYPE", "ARRAY"}}}}),
            (Names{"W", "A"}));
  EXPECT_EQ(scene.offered, (Names{"G", "W"}));
  EXPECT_EQ(scene.getObject("G")->getType(), 20000);
  EXPECT_TRUE(scene.resolveObjects(nullptr).empty());
}

TEST_F(ContainerTest, LookupGoesThroughParentsAndTheZeroSuffixRule) {
  auto app = makeScope("GAME", nullptr, mc::TYPE_APPLICATION);
  auto episode = makeScope("EP1", app.get(), mc::TYPE_EPISODE);
  auto scene = makeScope("S1", episode.get());
  app->addObject(new CMC_Integer("SCORE", 3));
  app->addObject(new CMC_Integer("X", 1));
  scene->addObject(new CMC_Integer("X", 2));
  scene->addObject(new CMC_Integer("ANIMO1", 0));
  EXPECT_EQ(scene->getVariable("X")->asInteger(), 2);
  EXPECT_EQ(scene->getObject("SCORE_0"), app->getObject("SCORE"));
  EXPECT_EQ(scene->getObject("ANIMO1_0"), scene->getObject("ANIMO1"));
  for (const char* missing : {"ANIMO1_5", "_0", "NOPE"}) EXPECT_EQ(scene->getObject(missing), nullptr) << missing;
  EXPECT_EQ(scene->getObject(static_cast<const char*>(nullptr)), nullptr);
  scene->addObject(new CMC_Integer("ANIMO1_0", 9));  // a real X_0 wins over the rule
  EXPECT_EQ(scene->getVariable("ANIMO1_0")->asInteger(), 9);
  EXPECT_EQ(scene->getObject("EP1"), episode.get());
  EXPECT_EQ(scene->getObject("GAME"), app.get());
  EXPECT_EQ(scene->getObjectId("ANIMO1"), 1);
  EXPECT_EQ(scene->getObjectId("SCORE"), -1);
  // A new parent replaces the old parent entries; a cycle is refused.
  auto other = makeScope("EP2", nullptr, mc::TYPE_EPISODE);
  scene->setParent(other.get());
  EXPECT_EQ(scene->getObject("GAME"), nullptr);
  EXPECT_EQ(scene->getObject("EP2"), other.get());
  other->setParent(scene.get());
  EXPECT_EQ(other->getParent(), nullptr);
}

TEST_F(ContainerTest, VariablesTypeQueriesAndSingleElements) {
  auto scene = makeScope("S");
  scene->addObject(new CMC_Integer("I", 1));
  scene->addObject(new RecordingBehaviour(scene.get(), "BEH"));
  scene->addObject(new CMC_Integer("J", 2));
  EXPECT_EQ(scene->getVariable("BEH"), nullptr);
  EXPECT_EQ(scene->getObjectsOfType(mc::TYPE_INTEGER).size(), 2u);
  std::vector<CMC_Object*> group{scene->getObject("I")};
  scene->getObjects("BEHAVIOUR", group);
  EXPECT_EQ(group, (std::vector<CMC_Object*>{scene->getObject("BEH")}));
  std::unique_ptr<CMC_Object> removed(scene->getObject("I"));
  EXPECT_TRUE(scene->removeObject(removed.get()));
  EXPECT_FALSE(scene->removeObject(removed.get()));
  EXPECT_EQ(scene->getObject("I"), nullptr);
  std::unique_ptr<CMElement> e(element("V", {{"TYPE", "DOUBLE"}, {"VALUE", "2.5"}}));
  CMC_Object* created = scene->resolve(e.get());
  EXPECT_EQ(scene->getVariable("V"), created);
  std::unique_ptr<CMElement> bad(element("W", {{"TYPE", "NOPE"}}));
  EXPECT_EQ(scene->resolve(bad.get()), nullptr);
}

TEST_F(ContainerTest, SingletonElementsBindToTheVisibleObject) {
  auto app = makeScope("GAME", nullptr, mc::TYPE_APPLICATION);
  load(*app, {{"KEYBOARD", {{"TYPE", "KEYBOARD"}}}, {"MOUSE", {{"TYPE", "MOUSE"}}},
              {"CANVASOBSERVER", {{"TYPE", "CANVAS_OBSERVER"}}}});
  auto scene = makeScope("S1", app.get());
  events().clear();
  Names rest = load(*scene, {{"BEHKEY", {{"TYPE", "BEHAVIOUR"}}},
                             {"KEYS", {{"TYPE", "KEYBOARD"}, {"ONINIT", "BEHKEY"}}},
                             {"MOUSE", {{"TYPE", "MOUSE"}, {"ONSIGNAL", "BEHKEY"}}},
                             {"MOUSE2", {{"TYPE", "MOUSE"}}},
                             {"OBS", {{"TYPE", "CANVAS_OBSERVER"}}}});
  EXPECT_EQ(rest, (Names{"KEYS", "MOUSE", "OBS"}));
  EXPECT_EQ(events(), (Names{"new MOUSE2"}));
  CMC_Object* keyboard = app->getObject("KEYBOARD");
  EXPECT_EQ(keyboard->getSingleBehaviour("ONINIT", 0)->scope, scene.get());
  EXPECT_EQ(keyboard->getSingleBehaviour("ONINIT", 0)->behaviour, scene->getObject("BEHKEY"));
  // The scene's bindings go with the scene.
  scene->onSubSceneDone(scene.get());
  EXPECT_EQ(keyboard->getBehaviour("ONINIT"), nullptr);
  EXPECT_EQ(app->getObject("MOUSE")->getBehaviour("ONSIGNAL"), nullptr);
}

TEST_F(ContainerTest, UnloadFinishesClassesThenFirstsThenTheRest) {
  auto app = makeScope("GAME", nullptr, mc::TYPE_APPLICATION);
  auto scene = makeScope("S1", app.get());
  load(*scene, {{"A1", {{"TYPE", "ANIMO"}}}, {"SND", {{"TYPE", "SOUND"}}}, {"K", {{"TYPE", "CLASS"}}},
                {"A2", {{"TYPE", "ANIMO"}}}, {"BDONE", {{"TYPE", "BEHAVIOUR"}}}});
  auto* bdone = static_cast<RecordingBehaviour*>(scene->getObject("BDONE"));
  scene->addBehaviour("ONDONE", bdone, nullptr, scene.get());
  auto* appBeh = new RecordingBehaviour(app.get(), "APPBEH");
  app->addObject(appBeh);
  scene->addBehaviour("ONSIGNAL", appBeh, nullptr, scene.get());
  bdone->action = [&](CMC_Object*) { events().push_back(scene->getObject("A1") ? "ondone with A1" : "ondone"); };
  events().clear();
  scene->unload();
  // The container's own ONDONE runs first, while its objects (and its handler behaviours) are unfinished.
  EXPECT_EQ(events(), (Names{"ondone with A1", "done K", "done SND", "done A1", "done A2", "delete K", "delete A1",
                             "delete SND", "delete A2"}));
  EXPECT_EQ(scene->getElementsNo(), 0);
  EXPECT_EQ(scene->getObject("GAME"), app.get());
  EXPECT_FALSE(scene->onSignal("ONDONE"));  // its handler pointed at a deleted behaviour
  EXPECT_TRUE(scene->onSignal("ONSIGNAL"));  // one on the application's behaviour stays
}

TEST_F(ContainerTest, UnloadSurvivesHandlersThatRemoveObjects) {
  auto scene = makeScope("S1");
  load(*scene, {{"KILL", {{"TYPE", "BEHAVIOUR"}}}, {"A1", {{"TYPE", "ANIMO"}, {"ONDONE", "KILL"}}},
                {"A2", {{"TYPE", "ANIMO"}}}});
  static_cast<RecordingBehaviour*>(scene->getObject("KILL"))->action = [&](CMC_Object*) {
    CMC_Object* victim = scene->getObject("A2");
    scene->removeObject(victim);
    delete victim;
    scene->addObject(new CMC_Integer("LATE", 1));
  };
  events().clear();
  scene->unload();
  EXPECT_EQ(events(), (Names{"done A1", "delete A2", "delete A1"}));
  EXPECT_EQ(scene->getElementsNo(), 0);
}

}  // namespace
