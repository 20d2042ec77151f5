// Script objects: type names, handler binding, firing, parameterised events and clones.
#include <gtest/gtest.h>

#include "runtime/object.h"
#include "runtime/runtime_test_support.h"
#include "runtime/variable.h"

using namespace rt_test;

namespace {

// An object type with its own events (ONCLICK is a prefix of ONCLICKED) and a copy operation.
class Actor : public CMC_Object {
 public:
  explicit Actor(CXString name) : CMC_Object(std::move(name), mc::TYPE_ANIMO) {}
  Actor(CMC_ObjectsContainer* scope, CMElement* e, bool accumulate = false) : CMC_Object(scope, e, mc::TYPE_ANIMO) {
    overideSignals(!accumulate);
    initializeBehaviours(scope, e);
  }
  const CMC_EventList* getBehavioursList() const override {
    static const CMC_EventList list = makeEventList({"ONFINISHED", "ONCLICK", "ONCLICKED"});
    return &list;
  }
  using CMC_Object::clone;
  CXObject* clone() const override { return new Actor(getName()); }
};

using Names = std::vector<std::string>;

class ObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { runs().clear(); }
  RecordingBehaviour* beh(const char* name) {
    auto* b = new RecordingBehaviour(scene.get(), name);
    scene->addObject(b);
    return b;
  }
  Actor* actor(const char* name, bool accumulate = false) {
    auto* a = new Actor(CXString(name));
    a->setScene(scene.get());
    a->overideSignals(!accumulate);
    scene->addObject(a);
    return a;
  }
  std::unique_ptr<CMC_ObjectsContainer> scene = makeScope("SCENE1");
};

TEST(TypeNames, IdsAndNamesFollowTheTable) {
  for (auto [name, id] : {std::pair{"INTEGER", 1}, {"COMPLEXCONDITION", 11}, {"CANVASOBSERVER", 103},
                          {"VIRTUAL_GRAPHICSOBJECT", 3005}, {"STRUCTURE", 3002}, {"SWF", 10060}, {"STRUCT", -1},
                          {"CANVAS_OBSERVER", -1}, {"integer", -1}, {"", -1}, {"JOYSTICK", -1}})
    EXPECT_EQ(CMC_Object::getTypeId(name), id) << name;
  for (auto [id, name] : {std::pair{11, "COMPLEX CONDITION"}, {103, "CANVAS OBSERVER"}, {2010, "NETPEER"},
                          {3001, "ARRAY"}, {3002, "3002"}, {2023, "2023"}, {2011, "2011"}, {-7, "-7"}})
    EXPECT_EQ(CMC_Object::typeToString(id).str(), name) << id;
}

TEST_F(ObjectTest, OverrideFlagReplacesOrAccumulatesHandlers) {
  Actor* a = actor("ANIMO1");
  a->addBehaviour("ONCLICK", beh("B1"), nullptr, scene.get());
  a->addBehaviour("ONCLICK", beh("B2"), nullptr, scene.get());
  EXPECT_TRUE(a->onSignal("ONCLICK"));
  a->overideSignals(false);
  a->addBehaviour("ONCLICK", static_cast<CMC_Behaviour*>(scene->getObject("B1")), nullptr, scene.get());
  a->onSignal("ONCLICK");
  EXPECT_EQ(runNames(), (Names{"B2", "B2", "B1"}));
  EXPECT_EQ(runs()[0].current, a);
}

TEST_F(ObjectTest, SuppliedParametersReplaceStoredOnesForEachHandlerOnce) {
  Actor* a = actor("ANIMO1", true);
  a->addBehaviour("ONSIGNAL", beh("B1"), params({"stored"}), scene.get());
  a->addBehaviour("ONSIGNAL", beh("B2"), nullptr, scene.get());
  std::unique_ptr<CXArray, void (*)(CXArray*)> supplied(params({"x", "y"}), CXString::releaseToVector);
  EXPECT_TRUE(a->onSignal("ONSIGNAL", supplied.get()));
  a->onSignal("ONSIGNAL");
  ASSERT_EQ(runs().size(), 4u);
  EXPECT_EQ(runs()[0].params, (Names{"x", "y"}));
  EXPECT_EQ(runs()[1].params, (Names{"x", "y"}));
  EXPECT_EQ(runs()[2].params, (Names{"stored"}));
  EXPECT_TRUE(runs()[3].params.empty());
}

TEST_F(ObjectTest, ParameterisedKeysFallBackToThePlainEventOnlyWhenUnbound) {
  Actor* a = actor("ANIMO1");
  a->addBehaviour("ONFINISHED^WALK", beh("BWALK"), nullptr, scene.get());
  EXPECT_FALSE(a->onSignalWithParam("ONFINISHED", "RUN"));
  EXPECT_TRUE(a->fireEvent(a->getSignalIndex("ONFINISHED"), "ONFINISHED", "WALK"));
  a->addBehaviour("ONFINISHED", beh("BANY"), nullptr, scene.get());
  EXPECT_TRUE(a->onSignalWithParam("ONFINISHED", "RUN"));
  EXPECT_TRUE(a->onSignalWithParam("ONFINISHED", "WALK"));
  EXPECT_EQ(runNames(), (Names{"BWALK", "BANY", "BWALK"}));
  EXPECT_FALSE(a->fireEvent(a->getSignalIndex("ONCLICK"), "ONCLICK", "X"));  // flag not set
}

TEST_F(ObjectTest, EmptiedKeysAreUnboundButDisabledHandlersCount) {
  Actor* a = actor("ANIMO1");
  RecordingBehaviour* b = beh("B1");
  a->addBehaviour("ONCLICK", b, nullptr, scene.get());
  b->enable(false);
  EXPECT_TRUE(a->onSignal("ONCLICK"));
  a->removeBehaviourForce("ONCLICK");
  EXPECT_FALSE(a->onSignal("ONCLICK"));
  EXPECT_TRUE(a->hasHandlerFlag(a->getSignalIndex("ONCLICK")));  // flags stay
  a->removeAllBehaviours();
  EXPECT_FALSE(a->hasHandlerFlag(a->getSignalIndex("ONCLICK")));
}

TEST_F(ObjectTest, HandlersMayUnbindOrDeleteDuringFiring) {
  Actor* a = actor("ANIMO1", true);
  auto* b1 = beh("B1");
  a->addBehaviour("ONCLICK", b1, params({"p"}), scene.get());
  a->addBehaviour("ONCLICK", beh("B2"), nullptr, scene.get());
  b1->action = [&](CMC_Object*) { a->removeAllBehaviours(); };
  EXPECT_TRUE(a->onSignal("ONCLICK"));
  EXPECT_EQ(runs()[0].params, (Names{"p"}));

  a->addBehaviour("ONCLICK", b1, nullptr, scene.get());
  a->addBehaviour("ONCLICK", beh("B3"), nullptr, scene.get());
  b1->action = [&](CMC_Object* current) {
    scene->removeObject(current);
    delete current;
  };
  EXPECT_TRUE(a->onSignal("ONCLICK"));
  EXPECT_EQ(runNames(), (Names{"B1", "B1"}));
}

TEST_F(ObjectTest, RemovalIsScopedAndOnSceneDoneDropsTheScopesHandlers) {
  Actor* a = actor("ANIMO1", true);
  auto other = makeScope("SCENE2");
  a->addBehaviour("ONCLICK", beh("B1"), nullptr, scene.get());
  a->addBehaviour("ONCLICK", beh("B2"), nullptr, other.get());
  a->addBehaviour("ONFINISHED", beh("B3"), nullptr, other.get());
  a->removeBehaviour("ONCLICK", scene.get());
  EXPECT_EQ(a->getSingleBehaviour("ONCLICK", 0)->behaviour->getName().str(), "B2");
  EXPECT_EQ(a->getSingleBehaviour("ONCLICK", 1), nullptr);
  a->addBehaviour("ONCLICK", beh("B4"), nullptr, scene.get());
  a->onSceneDone(other.get());
  EXPECT_EQ(a->getBehaviour("ONFINISHED"), nullptr);
  a->onSignal("ONCLICK");
  EXPECT_EQ(runNames(), (Names{"B4"}));
}

TEST_F(ObjectTest, ElementPropertiesBindBehavioursOnce) {
  beh("BEHWALK");
  beh("BEHC");
  std::unique_ptr<CMElement> e(element("ANIMO1", {{"ONFINISHED^WALK", " BEHWALK ( a, b  c ) "},
                                                   {"ONCLICKED", "BEHC"},
                                                   {"ONCLICK", "NOSUCHBEH"},
                                                   {"ONFINISHED", "   "},
                                                   {"FILENAME", "BEHWALK"}}));
  auto* a = new Actor(scene.get(), e.get(), true);
  scene->addObject(a);
  EXPECT_EQ(texts(a->getSingleBehaviour("ONFINISHED^WALK", 0)->getParams()), (Names{"a", "b", "c"}));
  EXPECT_EQ(a->getSingleBehaviour("ONFINISHED^WALK", 0)->scope, scene.get());
  // ONCLICKED starts with two event names but is bound once; both flags are set.
  EXPECT_EQ(a->getBehaviour("ONCLICKED")->size(), 1u);
  EXPECT_TRUE(a->hasHandlerFlag(a->getSignalIndex("ONCLICK")));
  EXPECT_EQ(a->getBehaviourKeys().size(), 2u);
  EXPECT_EQ(a->getBehaviourIndex("ONCLICKED"), 4);
  EXPECT_EQ(a->getSignalIndex("ONCLICKED^LEFT"), 5);
  EXPECT_EQ(CMC_Object("X", mc::TYPE_RANDOM).getBehaviourIndex("ONINIT"), -1);
}

TEST_F(ObjectTest, InlineCodeBecomesANamedBehaviourThatInitRuns) {
  std::unique_ptr<CMElement> e(element("OBJ", {{"ONINIT", "  {ANIMO1^PLAY(\"X\");}"}, {"ONCLICKED", "{A^B();}"}}));
  auto* a = new Actor(scene.get(), e.get(), true);
  scene->addObject(a);
  auto* b = dynamic_cast<CMC_Behaviour*>(scene->getObject("beh_OBJ_ONINIT"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->getSingleBehaviour("ONINIT", 0)->behaviour, b);
  EXPECT_EQ(a->getBehaviour("ONCLICKED")->size(), 1u);
  EXPECT_EQ(a->getTmpBehList().size(), 2u);
  EXPECT_NE(b->getCode().str().find("ANIMO1^PLAY"), std::string::npos);
  auto cls = makeScope("CLS1", nullptr, mc::TYPE_CLASS);
  Actor inClass(cls.get(), e.get());
  EXPECT_NE(cls->getObject("beh_CLS1_OBJ_ONINIT"), nullptr);

  // init fires ONINIT only when bound.
  Actor* plain = actor("PLAIN");
  plain->init();
  plain->addBehaviour("ONINIT", beh("BI"), nullptr, scene.get());
  plain->addBehaviour("ONDONE", beh("BD"), nullptr, scene.get());
  plain->init();
  EXPECT_TRUE(plain->done(true));
  EXPECT_EQ(runNames(), (Names{"BI", "BD"}));
}

TEST_F(ObjectTest, ClonesAreNumberedAndCopyHandlersExceptOnInit) {
  Actor* a = actor("ANIMO1", true);
  a->addBehaviour("ONINIT", beh("BI"), nullptr, scene.get());
  a->addBehaviour("ONCLICK", beh("BC"), params({"k"}), scene.get());
  static_cast<CMC_Object*>(a)->clone(3);
  EXPECT_EQ(a->getClonesNo(), 3);
  CMC_Object* c3 = scene->getObject("ANIMO1_3");
  ASSERT_NE(c3, nullptr);
  EXPECT_TRUE(c3->isClone());
  EXPECT_EQ(c3->getCloneIdx(), 3);
  c3->init();
  EXPECT_TRUE(runs().empty());
  EXPECT_TRUE(c3->onSignal("ONCLICK"));
  EXPECT_EQ(runs()[0].current, c3);
  EXPECT_EQ(runs()[0].params, (Names{"k"}));
  c3->removeBehaviourForce("ONCLICK");
  EXPECT_TRUE(a->onSignal("ONCLICK"));  // the original keeps its own
  // After resetClones the names come again and replace the earlier clones.
  a->resetClones();
  int before = scene->getElementsNo();
  static_cast<CMC_Object*>(a)->clone(1);
  EXPECT_EQ(scene->getElementsNo(), before);
  // A type without a copy operation makes none.
  auto* o = new CMC_Object("PLAIN", mc::TYPE_RANDOM);
  scene->addObject(o);
  o->clone(2);
  EXPECT_EQ(scene->getElementsNo(), before + 1);
}

TEST(CloneNames, IndexIsTheNumberAfterTheLastUnderscore) {
  for (auto [name, idx] : {std::pair{"A_B_12", 12}, {"ANIMO", 0}, {"_5", 0}, {"A_", 0}, {"A_X", 0}})
    EXPECT_EQ(CMC_Object(name, 0).getCloneIdx(), idx) << name;
  CMC_Object o("OBJ", 0);
  o.getCloneName();
  EXPECT_EQ(o.getCloneName().str(), "OBJ_2");
}

}  // namespace
