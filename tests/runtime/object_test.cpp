// Script objects: type names, handler binding, firing, parameterised events and clones.
#include <gtest/gtest.h>

#include "runtime/object.h"
#include "runtime/runtime_test_support.h"
#include "runtime/variable.h"

using namespace rt_test;

namespace {

// An object type with its own event and a copy operation, as graphic types have.
class Actor : public CMC_Object {
 public:
  Actor(CXString name) : CMC_Object(std::move(name), mc::TYPE_ANIMO) {}
  Actor(CMC_ObjectsContainer* scope, CMElement* e) : CMC_Object(scope, e, mc::TYPE_ANIMO) {
    initializeBehaviours(scope, e);
  }
  const CMC_EventList* getBehavioursList() const override {
    static const CMC_EventList list = makeEventList({"ONFINISHED", "ONCLICK"});
    return &list;
  }
  CXObject* clone() const override { return new Actor(getName()); }
};

// Event names where one is a prefix of another.
class Button : public CMC_Object {
 public:
  Button(CMC_ObjectsContainer* scope, CMElement* e) : CMC_Object(scope, e, mc::TYPE_BUTTON) {
    overideSignals(false);
    initializeBehaviours(scope, e);
  }
  const CMC_EventList* getBehavioursList() const override {
    static const CMC_EventList list = makeEventList({"ONCLICK", "ONCLICKED"});
    return &list;
  }
};

class ObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { runs().clear(); }
  RecordingBehaviour* beh(const char* name) {
    auto* b = new RecordingBehaviour(scene.get(), name);
    scene->addObject(b);
    return b;
  }
  Actor* actor(const char* name) {
    auto* a = new Actor(CXString(name));
    a->setScene(scene.get());
    scene->addObject(a);
    return a;
  }
  std::unique_ptr<CMC_ObjectsContainer> scene = makeScope("SCENE1");
};

TEST(TypeNames, IdsAndNamesFollowTheTable) {
  EXPECT_EQ(CMC_Object::getTypeId("INTEGER"), 1);
  EXPECT_EQ(CMC_Object::getTypeId("COMPLEXCONDITION"), 11);
  EXPECT_EQ(CMC_Object::getTypeId("CANVASOBSERVER"), 103);
  EXPECT_EQ(CMC_Object::getTypeId("VIRTUAL_GRAPHICSOBJECT"), 3005);
  EXPECT_EQ(CMC_Object::getTypeId("STRUCTURE"), 3002);
  EXPECT_EQ(CMC_Object::getTypeId("SWF"), 10060);
  // Definition-file spellings and other cases are not type names.
  EXPECT_EQ(CMC_Object::getTypeId("STRUCT"), -1);
  EXPECT_EQ(CMC_Object::getTypeId("CANVAS_OBSERVER"), -1);
  EXPECT_EQ(CMC_Object::getTypeId("integer"), -1);
  EXPECT_EQ(CMC_Object::getTypeId(""), -1);
  EXPECT_EQ(CMC_Object::getTypeId("JOYSTICK"), -1);

  EXPECT_EQ(CMC_Object::typeToString(11).str(), "COMPLEX CONDITION");
  EXPECT_EQ(CMC_Object::typeToString(103).str(), "CANVAS OBSERVER");
  EXPECT_EQ(CMC_Object::typeToString(2010).str(), "NETPEER");
  EXPECT_EQ(CMC_Object::typeToString(3001).str(), "ARRAY");
  // Known numbers without a name in the short table come back in decimal.
  EXPECT_EQ(CMC_Object::typeToString(3002).str(), "3002");
  EXPECT_EQ(CMC_Object::typeToString(2023).str(), "2023");
  EXPECT_EQ(CMC_Object::typeToString(2011).str(), "2011");
  EXPECT_EQ(CMC_Object::typeToString(-7).str(), "-7");
}

TEST_F(ObjectTest, OverrideFlagReplacesOrAccumulatesHandlers) {
  Actor* a = actor("ANIMO1");
  auto* b1 = beh("B1");
  auto* b2 = beh("B2");
  a->addBehaviour("ONCLICK", b1, nullptr, scene.get());
  a->addBehaviour("ONCLICK", b2, nullptr, scene.get());
  ASSERT_EQ(a->getBehaviour("ONCLICK")->size(), 1u);
  EXPECT_TRUE(a->onSignal("ONCLICK"));
  EXPECT_EQ(runNames(), (std::vector<std::string>{"B2"}));

  runs().clear();
  a->overideSignals(false);
  a->addBehaviour("ONCLICK", b1, nullptr, scene.get());
  EXPECT_TRUE(a->onSignal("ONCLICK"));
  EXPECT_EQ(runNames(), (std::vector<std::string>{"B2", "B1"}));
  EXPECT_EQ(runs()[0].current, a);
}

TEST_F(ObjectTest, SuppliedParametersReplaceStoredOnesForEachHandlerOnce) {
  Actor* a = actor("ANIMO1");
  a->overideSignals(false);
  a->addBehaviour("ONSIGNAL", beh("B1"), params({"stored"}), scene.get());
  a->addBehaviour("ONSIGNAL", beh("B2"), nullptr, scene.get());
  std::unique_ptr<CXArray, void (*)(CXArray*)> supplied(params({"x", "y"}), CXString::releaseToVector);
  EXPECT_TRUE(a->onSignal("ONSIGNAL", supplied.get()));
  ASSERT_EQ(runs().size(), 2u);
  EXPECT_EQ(runs()[0].params, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(runs()[1].params, (std::vector<std::string>{"x", "y"}));

  runs().clear();
  a->onSignal("ONSIGNAL");
  ASSERT_EQ(runs().size(), 2u);
  EXPECT_EQ(runs()[0].params, (std::vector<std::string>{"stored"}));
  EXPECT_TRUE(runs()[1].params.empty());
}

TEST_F(ObjectTest, ParameterisedKeysFallBackToThePlainEventOnlyWhenUnbound) {
  Actor* a = actor("ANIMO1");
  a->addBehaviour("ONFINISHED^WALK", beh("BWALK"), nullptr, scene.get());
  EXPECT_FALSE(a->onSignalWithParam("ONFINISHED", "RUN"));
  EXPECT_TRUE(runs().empty());
  EXPECT_TRUE(a->onSignalWithParam("ONFINISHED", "WALK"));
  EXPECT_EQ(runNames(), (std::vector<std::string>{"BWALK"}));

  runs().clear();
  a->addBehaviour("ONFINISHED", beh("BANY"), nullptr, scene.get());
  EXPECT_TRUE(a->onSignalWithParam("ONFINISHED", "RUN"));
  EXPECT_TRUE(a->onSignalWithParam("ONFINISHED", "WALK"));
  EXPECT_EQ(runNames(), (std::vector<std::string>{"BANY", "BWALK"}));
  // The parameterised key sets the flag of its event.
  EXPECT_TRUE(a->hasHandlerFlag(a->getSignalIndex("ONFINISHED")));
}

TEST_F(ObjectTest, AnEmptiedKeyStillCountsAsUnbound) {
  Actor* a = actor("ANIMO1");
  a->addBehaviour("ONCLICK", beh("B1"), nullptr, scene.get());
  a->removeBehaviourForce("ONCLICK");
  EXPECT_FALSE(a->onSignal("ONCLICK"));
  // Flags stay set after removal.
  EXPECT_TRUE(a->hasHandlerFlag(a->getSignalIndex("ONCLICK")));
}

TEST_F(ObjectTest, DisabledBehaviourStillReportsBound) {
  Actor* a = actor("ANIMO1");
  auto* b = beh("B1");
  b->enable(false);
  a->addBehaviour("ONCLICK", b, nullptr, scene.get());
  EXPECT_TRUE(a->onSignal("ONCLICK"));
}

TEST_F(ObjectTest, HandlerThatUnbindsItselfAndOthersDuringFiring) {
  Actor* a = actor("ANIMO1");
  a->overideSignals(false);
  auto* b1 = beh("B1");
  auto* b2 = beh("B2");
  a->addBehaviour("ONCLICK", b1, params({"p"}), scene.get());
  a->addBehaviour("ONCLICK", b2, nullptr, scene.get());
  b1->action = [&](CMC_Object*) { a->removeBehaviourForce("ONCLICK"); };
  EXPECT_TRUE(a->onSignal("ONCLICK"));
  EXPECT_EQ(runNames(), (std::vector<std::string>{"B1"}));

  runs().clear();
  a->addBehaviour("ONCLICK", b1, params({"q"}), scene.get());
  b1->action = [&](CMC_Object*) { a->removeAllBehaviours(); };
  EXPECT_TRUE(a->onSignal("ONCLICK"));
  EXPECT_EQ(runs().size(), 1u);
  EXPECT_EQ(runs()[0].params, (std::vector<std::string>{"q"}));
}

TEST_F(ObjectTest, HandlerThatDeletesItsObjectEndsTheFiring) {
  Actor* a = actor("ANIMO1");
  a->overideSignals(false);
  auto* b1 = beh("B1");
  a->addBehaviour("ONCLICK", b1, nullptr, scene.get());
  a->addBehaviour("ONCLICK", beh("B2"), nullptr, scene.get());
  b1->action = [&](CMC_Object* current) {
    scene->removeObject(current);
    delete current;
  };
  EXPECT_TRUE(a->onSignal("ONCLICK"));
  EXPECT_EQ(runNames(), (std::vector<std::string>{"B1"}));
  EXPECT_EQ(scene->getObject("ANIMO1"), nullptr);
}

TEST_F(ObjectTest, RemovalIsScopedAndOnSceneDoneDropsTheScopesHandlers) {
  Actor* a = actor("ANIMO1");
  auto other = makeScope("SCENE2");
  a->overideSignals(false);
  a->addBehaviour("ONCLICK", beh("B1"), nullptr, scene.get());
  a->addBehaviour("ONCLICK", beh("B2"), nullptr, other.get());
  a->addBehaviour("ONFINISHED", beh("B3"), nullptr, other.get());

  a->removeBehaviour("ONCLICK", scene.get());
  ASSERT_EQ(a->getBehaviour("ONCLICK")->size(), 1u);
  EXPECT_EQ(a->getSingleBehaviour("ONCLICK", 0)->behaviour->getName().str(), "B2");
  EXPECT_EQ(a->getSingleBehaviour("ONCLICK", 1), nullptr);

  a->addBehaviour("ONCLICK", beh("B4"), nullptr, scene.get());
  a->onSceneDone(other.get());
  EXPECT_EQ(a->getBehaviour("ONFINISHED"), nullptr);
  a->onSignal("ONCLICK");
  EXPECT_EQ(runNames(), (std::vector<std::string>{"B4"}));
}

TEST_F(ObjectTest, RemoveAllForgetsHandlersAndFlags) {
  Actor* a = actor("ANIMO1");
  a->addBehaviour("ONINIT", beh("B1"), nullptr, scene.get());
  EXPECT_TRUE(a->hasHandlerFlag(mc::EVI_ONINIT));
  a->removeAllBehaviours();
  EXPECT_FALSE(a->hasHandlerFlag(mc::EVI_ONINIT));
  EXPECT_TRUE(a->getBehaviourKeys().empty());
  a->init();
  EXPECT_TRUE(runs().empty());
}

TEST_F(ObjectTest, EventIndexesUsePrefixAndCaretRules) {
  Actor* a = actor("ANIMO1");
  EXPECT_EQ(a->getBehaviourIndex("ONFINISHED^WALK"), 3);
  EXPECT_EQ(a->getBehaviourIndex("ONCLICKED"), 4);  // prefix test
  EXPECT_EQ(a->getSignalIndex("ONCLICKED"), -1);     // exact event name
  EXPECT_EQ(a->getSignalIndex("ONCLICK^LEFT"), 4);
  EXPECT_EQ(a->getSignalIndex("ONINIT"), 0);
  CMC_Object plain("X", mc::TYPE_RANDOM);
  EXPECT_EQ(plain.getBehaviourIndex("ONINIT"), -1);
}

TEST_F(ObjectTest, ElementPropertiesBindNamedBehavioursWithArguments) {
  beh("BEHWALK");
  beh("BEHOPEN");
  std::unique_ptr<CMElement> e(element("ANIMO1", {{"TYPE", "ANIMO"},
                                                   {"ONFINISHED^WALK", " BEHWALK ( a, b  c ) "},
                                                   {"ONSIGNAL^OPEN", "BEHOPEN"},
                                                   {"ONCLICK", "NOSUCHBEH"},
                                                   {"ONFINISHED", "   "},
                                                   {"FILENAME", "BEHWALK"}}));
  auto* a = new Actor(scene.get(), e.get());
  scene->addObject(a);
  ASSERT_NE(a->getBehaviour("ONFINISHED^WALK"), nullptr);
  const CMC_HandlerEntry* entry = a->getSingleBehaviour("ONFINISHED^WALK", 0);
  EXPECT_EQ(texts(entry->getParams()), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(entry->scope, scene.get());
  EXPECT_NE(a->getBehaviour("ONSIGNAL^OPEN"), nullptr);
  EXPECT_EQ(a->getBehaviour("ONCLICK"), nullptr);
  EXPECT_EQ(a->getBehaviour("ONFINISHED"), nullptr);
  EXPECT_FALSE(a->hasHandlerFlag(a->getSignalIndex("ONCLICK")));
  EXPECT_TRUE(a->hasHandlerFlag(a->getSignalIndex("ONSIGNAL")));
  EXPECT_EQ(a->getBehaviourKeys().size(), 2u);
}

TEST_F(ObjectTest, AKeyMatchingSeveralEventNamesIsBoundOnce) {
  beh("BEHC");
  std::unique_ptr<CMElement> e(element("BTN", {{"ONCLICKED", "BEHC"}, {"ONCLICK", "{X^Y();}"}}));
  auto* b = new Button(scene.get(), e.get());
  scene->addObject(b);
  ASSERT_NE(b->getBehaviour("ONCLICKED"), nullptr);
  EXPECT_EQ(b->getBehaviour("ONCLICKED")->size(), 1u);
  EXPECT_EQ(b->getBehaviour("ONCLICK")->size(), 1u);
  EXPECT_TRUE(b->hasHandlerFlag(b->getSignalIndex("ONCLICKED")));
  EXPECT_TRUE(b->hasHandlerFlag(b->getSignalIndex("ONCLICK")));
  b->onSignal("ONCLICKED");
  EXPECT_EQ(runNames(), (std::vector<std::string>{"BEHC"}));

  std::unique_ptr<CMElement> inl(element("BTN2", {{"ONCLICKED", "{X^Y();}"}}));
  auto* b2 = new Button(scene.get(), inl.get());
  scene->addObject(b2);
  ASSERT_EQ(b2->getBehaviour("ONCLICKED")->size(), 1u);
  EXPECT_EQ(b2->getSingleBehaviour("ONCLICKED", 0)->behaviour, scene->getObject("beh_BTN2_ONCLICKED"));
  EXPECT_TRUE(b2->onSignal("ONCLICKED"));
}

TEST_F(ObjectTest, InlineCodeBecomesANamedBehaviourInTheScope) {
  std::unique_ptr<CMElement> e(element("OBJ", {{"ONINIT", "  {ANIMO1^PLAY(\"X\");}"}}));
  auto* a = new Actor(scene.get(), e.get());
  scene->addObject(a);
  auto* b = dynamic_cast<CMC_Behaviour*>(scene->getObject("beh_OBJ_ONINIT"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->getScene(), scene.get());
  EXPECT_EQ(a->getSingleBehaviour("ONINIT", 0)->behaviour, b);
  EXPECT_TRUE(a->hasHandlerFlag(mc::EVI_ONINIT));
  ASSERT_EQ(a->getTmpBehList().size(), 1u);
  EXPECT_EQ(a->getTmpBehList()[0], b);
  EXPECT_NE(b->getCode().str().find("ANIMO1^PLAY"), std::string::npos);

  auto cls = makeScope("CLS1", nullptr, mc::TYPE_CLASS);
  std::unique_ptr<CMElement> e2(element("OBJ", {{"ONDONE", "{X^Y();}"}}));
  Actor inClass(cls.get(), e2.get());
  EXPECT_NE(cls->getObject("beh_CLS1_OBJ_ONDONE"), nullptr);
}

TEST_F(ObjectTest, InitAndDoneFireOnlyWhenBound) {
  Actor* a = actor("ANIMO1");
  a->init();
  a->done(true);
  EXPECT_TRUE(runs().empty());
  a->addBehaviour("ONINIT", beh("BI"), nullptr, scene.get());
  a->addBehaviour("ONDONE", beh("BD"), nullptr, scene.get());
  a->init();
  EXPECT_TRUE(a->done(true));
  EXPECT_EQ(runNames(), (std::vector<std::string>{"BI", "BD"}));
}

TEST_F(ObjectTest, RebindingByNameFindsTheScopesBehaviour) {
  Actor* a = actor("ANIMO1");
  auto* first = beh("BEH");
  a->addBehaviour("ONCLICK", first, nullptr, scene.get());
  auto next = makeScope("NEXT");
  auto* replacement = new RecordingBehaviour(next.get(), "BEH");
  next->addObject(replacement);
  a->initializeBehaviours(next.get(), nullptr);
  EXPECT_EQ(a->getSingleBehaviour("ONCLICK", 0)->behaviour, replacement);
  a->onSignal("ONCLICK");
  EXPECT_EQ(runs().size(), 1u);
}

TEST_F(ObjectTest, ClonesAreNumberedAndCopyHandlersExceptOnInit) {
  Actor* a = actor("ANIMO1");
  a->overideSignals(false);
  a->addBehaviour("ONINIT", beh("BI"), nullptr, scene.get());
  a->addBehaviour("ONCLICK", beh("BC"), params({"k"}), scene.get());
  static_cast<CMC_Object*>(a)->clone(3);
  EXPECT_EQ(a->getClonesNo(), 3);
  auto* c3 = scene->getObject("ANIMO1_3");
  ASSERT_NE(c3, nullptr);
  EXPECT_TRUE(c3->isClone());
  EXPECT_EQ(c3->getScene(), scene.get());
  EXPECT_EQ(c3->getCloneIdx(), 3);
  EXPECT_EQ(c3->getBehaviour("ONINIT"), nullptr);
  c3->init();
  EXPECT_TRUE(runs().empty());
  EXPECT_TRUE(c3->onSignal("ONCLICK"));
  ASSERT_EQ(runs().size(), 1u);
  EXPECT_EQ(runs()[0].current, c3);
  EXPECT_EQ(runs()[0].params, (std::vector<std::string>{"k"}));
  // The clone's binding is its own: removing it leaves the original's.
  c3->removeBehaviourForce("ONCLICK");
  EXPECT_TRUE(a->onSignal("ONCLICK"));

  // After resetClones the names are reused and replace the earlier clones.
  a->resetClones();
  int before = scene->getElementsNo();
  static_cast<CMC_Object*>(a)->clone(1);
  EXPECT_EQ(scene->getElementsNo(), before);
  EXPECT_FALSE(scene->getObject("ANIMO1_1")->getBehaviour("ONCLICK") == nullptr);
}

TEST_F(ObjectTest, CloneIndexReadsTheNumberAfterTheLastUnderscore) {
  EXPECT_EQ(CMC_Object("A_B_12", 0).getCloneIdx(), 12);
  EXPECT_EQ(CMC_Object("ANIMO", 0).getCloneIdx(), 0);
  EXPECT_EQ(CMC_Object("_5", 0).getCloneIdx(), 0);
  EXPECT_EQ(CMC_Object("A_", 0).getCloneIdx(), 0);
  EXPECT_EQ(CMC_Object("A_X", 0).getCloneIdx(), 0);
  CMC_Object o("OBJ", 0);
  EXPECT_EQ(o.getCloneName().str(), "OBJ_1");
  EXPECT_EQ(o.getCloneName().str(), "OBJ_2");
}

TEST_F(ObjectTest, ATypeWithoutCopyMakesNoClones) {
  auto* o = new CMC_Object("PLAIN", mc::TYPE_RANDOM);
  o->setScene(scene.get());
  scene->addObject(o);
  o->clone(2);
  EXPECT_EQ(scene->getElementsNo(), 1);
  EXPECT_EQ(o->getClonesNo(), 0);
}

TEST_F(ObjectTest, FlushReturnsOnlyPooledValues) {
  CMC_Integer named("N", 1);
  CMC_Object::flush(&named);
  CMC_Object::flush(nullptr);
  CMC_Object::flush(reinterpret_cast<CMC_Variable*>(static_cast<intptr_t>(-1)));
  EXPECT_EQ(named.getValue(), 1);
}

}  // namespace
