// ANIMO objects: playback events with the event's name, the "_reverse" fallback, the on-first-frame
// flag, as-button focus and clicks, collisions named by the partner, and clones.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "objects/drawables/animo.h"
#include "objects/window_scene_fixture.h"

namespace {

class AnimoObjectTest : public WindowSceneTest {
 protected:
  // An ANIMO with frames of 6 × 4 (the two left columns transparent) and the events "walk" (three
  // entries) and "other" (one), on the screen and visible.
  CMC_Animo* animo(const char* name) {
    auto* object = new CMC_Animo(scene_.get(), CXString(name));
    scene_->addObject(object);
    CAnimo6& a = *object->getAnimo();
    for (int i = 0; i < 3; ++i) {
      auto f = std::make_unique<CAnimoFrame>();
      f->create(6, 4, 16, true);
      for (int p = 0; p < 24; ++p) f->GetAlphaPtr()[p] = p % 6 < 2 ? 0 : 255;
      a.AddFrame(std::move(f));
    }
    CAnimoEvent walk, other;
    walk.name = "walk";
    other.name = "other";
    for (int i = 0; i < 3; ++i) {
      CAnimoEntry e;
      e.frame = i;
      walk.entries.push_back(e);
    }
    other.entries.push_back(walk.entries[0]);
    a.AddEvent(walk);
    a.AddEvent(other);
    object->setPriority(1);
    object->show(true);
    return object;
  }
  void steps(CMC_Animo* object, int n) {
    for (int i = 0; i < n; ++i) object->getAnimo()->Next();
  }
};

TEST_F(AnimoObjectTest, FinishedAndStartedCarryTheEventNameWithTheReverseFallback) {
  CMC_Animo* a = animo("A");
  counter("WALK");
  counter("PLAIN");
  counter("STARTS");
  counter("TICKS");
  bind(a, "ONFINISHED^WALK", "WALK^INC();");
  bind(a, "ONFINISHED", "PLAIN^INC();");
  bind(a, "ONSTARTED^OTHER", "STARTS^INC();");
  bind(a, "ONFRAMECHANGED", "TICKS^INC();");
  a->play(CXString("Walk"));
  steps(a, 3);
  EXPECT_EQ(value("WALK"), 1);
  EXPECT_EQ(value("TICKS"), 2);
  a->play(CXString("other"));
  a->stop(true);
  EXPECT_EQ(value("PLAIN"), 1);
  EXPECT_EQ(value("STARTS"), 1);
  // "walk_reverse" finds the handler for WALK.
  a->playReverse(CXString("walk"), 0);
  steps(a, 3);
  EXPECT_EQ(value("WALK"), 2);
  EXPECT_EQ(value("PLAIN"), 1);
  // With the on-first-frame flag a finished event shows its first entry again.
  a->setOnFirstFrame(true);
  a->play(CXString("walk"));
  steps(a, 3);
  EXPECT_EQ(a->getAnimo()->GetCurrentFrameInSequence(), 0);
  EXPECT_FALSE(a->play(CXString("nothing")));
}

TEST_F(AnimoObjectTest, AsButtonFocusAndClicksFollowTheShownFramesOpaquePixels) {
  CMC_Animo* a = animo("A");
  a->setPosition(100, 100);
  a->getAnimo()->SetFrame(0);
  counter("ON");
  counter("OFF");
  counter("LEFT");
  counter("ANY");
  bind(a, "ONFOCUSON", "ON^INC();");
  bind(a, "ONFOCUSOFF", "OFF^INC();");
  bind(a, "ONCLICK^LEFT", "LEFT^INC();");
  bind(a, "ONCLICK", "ANY^INC();");
  a->onMouseMove(103, 101);
  EXPECT_EQ(value("ON"), 0) << "not a button yet";
  a->setAsButton(true);
  a->onMouseMove(101, 101);
  EXPECT_EQ(value("ON"), 0) << "a transparent column";
  a->onMouseMove(103, 101);
  a->onMouseMove(104, 102);
  EXPECT_EQ(value("ON"), 1);
  a->onMouseButton(CXString("LEFT"), true, 104, 102);
  a->onMouseButton(CXString("RIGHT"), true, 104, 102);
  a->onMouseButton(CXString("LEFT"), true, 300, 300);
  EXPECT_EQ(value("LEFT"), 1);
  EXPECT_EQ(value("ANY"), 1);
  a->onMouseMove(300, 300);
  EXPECT_EQ(value("OFF"), 1);
}

TEST_F(AnimoObjectTest, CollisionsNameThePartnerAndClonesCopyTheAnimation) {
  CMC_Animo* a = animo("A");
  CMC_Animo* b = animo("B");
  for (CMC_Animo* o : {a, b}) o->getAnimo()->SetFrame(0);
  counter("HITB");
  bind(a, "ONCOLLISION^B", "HITB^INC();");
  a->monitorCollisions(false);
  b->monitorCollisions(false);
  b->setPosition(50, 50);
  window_->getCollisionInspector()->tick();
  EXPECT_EQ(value("HITB"), 0);
  b->setPosition(2, 1);
  window_->getCollisionInspector()->tick();
  EXPECT_EQ(value("HITB"), 1);

  a->clone(1);
  auto* copy = dynamic_cast<CMC_Animo*>(scene_->getObject(CXString("A_1")));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->getAnimo()->GetNOF(), 3);
  EXPECT_EQ(copy->getAnimo()->GetNOE(), 2);
  EXPECT_NE(copy->getAnimo()->GetFrame(0), a->getAnimo()->GetFrame(0)) << "its own frames";
  EXPECT_EQ(copy->getPriority(), 1);
}

}  // namespace
