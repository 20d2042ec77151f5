// Collision monitoring: begin and end events only after a move, edge contact, alpha tests, release.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/collision.h"
#include "graphics/pixels/graphics_object.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"
#include "platform/video.h"

namespace {

struct Log : CCollisionObserver {
  std::string events;
  CGraphicsObject *a = nullptr, *b = nullptr;
  char name(CGraphicsObject* o) const { return o == a ? 'A' : o == b ? 'B' : '?'; }
  void record(char sign, CGraphicsObject* x, CGraphicsObject* y) {
    events.push_back(sign);
    events.push_back(name(x));
    events.push_back(name(y));
  }
  void onCollision(CGraphicsObject* x, CGraphicsObject* y) override { record('+', x, y); }
  void onCollisionFinished(CGraphicsObject* x, CGraphicsObject* y) override { record('-', x, y); }
};

class CollisionTest : public ::testing::Test {
 protected:
  CollisionTest() : window(nullptr, nullptr, &video, 100, 100) {
    a = std::make_unique<CGraphicsObject>(10, 10, 16, true);
    b = std::make_unique<CGraphicsObject>(10, 10, 16, true);
    log.a = a.get();
    log.b = b.get();
    inspector().addNotifier(&log);
  }
  CCollisionInspector& inspector() { return *window.getCollisionInspector(); }
  tarnvik::HeadlessVideo video;
  CWindow window;
  std::unique_ptr<CGraphicsObject> a, b;
  Log log;
};

TEST_F(CollisionTest, CollisionsBeginAndEndOnlyAfterAMove) {
  a->SetPosition(0, 0);
  b->SetPosition(5, 5);
  inspector().addMonitoredObject(a.get(), false);
  inspector().addMonitoredObject(b.get(), false);
  inspector().tick();
  EXPECT_EQ(log.events, "") << "nothing moved yet";
  a->SetPosition(1, 1);
  a->SetPosition(2, 2);  // moved twice in one tick: tested once
  inspector().tick();
  EXPECT_EQ(log.events, "+AB");
  inspector().tick();
  EXPECT_EQ(log.events, "+AB") << "no move, no test";
  b->SetPosition(12, 0);  // touches A's right edge (A spans 2..12): no overlap
  inspector().tick();
  EXPECT_EQ(log.events, "+AB-BA");
  ASSERT_NE(inspector().find(a.get()), nullptr);
  EXPECT_TRUE(inspector().find(a.get())->collisions.empty());
}

TEST_F(CollisionTest, AlphaTestUsesEightPointsOfTheMovingRectangle) {
  std::fill_n(b->GetAlphaPtr(), 100, 0);
  b->SetPosition(20, 20);
  inspector().addMonitoredObject(a.get(), true);
  inspector().addMonitoredObject(b.get(), false);
  // B is opaque only at its centre (24..26): inside A's rectangle but on none of its sample points.
  for (int y = 4; y < 6; ++y)
    for (int x = 4; x < 6; ++x) b->GetAlphaPtr()[y * 10 + x] = 255;
  a->SetPosition(18, 18);
  inspector().tick();
  EXPECT_EQ(log.events, "");
  // Now A's top-left corner lies on B's opaque centre.
  a->SetPosition(24, 24);
  inspector().tick();
  EXPECT_EQ(log.events, "+AB");
  // A partner without an alpha plane never collides in the alpha test.
  b->setAlphaPlane(false);
  a->SetPosition(25, 25);
  inspector().tick();
  EXPECT_EQ(log.events, "+AB-AB");
}

TEST_F(CollisionTest, StoppedAndDestroyedObjectsLeaveNoRecords) {
  inspector().addMonitoredObject(a.get(), false);
  inspector().addMonitoredObject(b.get(), false);
  b->SetPosition(3, 3);
  inspector().tick();
  EXPECT_EQ(log.events, "+BA");
  inspector().removeMonitoredObject(b.get());
  a->SetPosition(50, 50);
  inspector().tick();
  EXPECT_EQ(log.events, "+BA") << "an inactive partner is not tested";
  b->SetPosition(4, 4);
  inspector().tick();
  EXPECT_EQ(inspector().find(b.get()), nullptr) << "dropped at the tick after it moved";
  EXPECT_TRUE(inspector().find(a.get())->collisions.empty()) << "and with it the pairs it was in";

  // A destroyed drawable leaves at once, with its pairs.
  inspector().addMonitoredObject(b.get(), false);
  b->SetPosition(50, 50);
  inspector().tick();
  ASSERT_EQ(inspector().find(a.get())->collisions.size(), 1u);
  log.b = nullptr;
  b.reset();
  EXPECT_EQ(inspector().size(), 1u);
  EXPECT_TRUE(inspector().find(a.get())->collisions.empty());
  a->SetPosition(51, 51);
  inspector().tick();
}

// Hears of the end of a drawable and notes whether the screen and the inspector still held it then.
struct EndWitness : CDrawableWatcher {
  CRefreshScreen* screen = nullptr;
  CCollisionInspector* collisions = nullptr;
  int ends = 0;
  bool onScreenAtEnd = true, monitoredAtEnd = false;
  void onDrawableDestroyed(CGraphicsObject* object) override {
    ++ends;
    onScreenAtEnd = screen->contains(object);
    monitoredAtEnd = collisions->find(object) != nullptr;
  }
};

TEST_F(CollisionTest, ADestroyedDrawableOnScreenAndMonitoredLeavesNoRecordInEither) {
  CRefreshScreen screenOwner(CXSize(100, 100), 16);
  CRefreshScreen* screen = &screenOwner;
  EndWitness witness;
  witness.screen = screen;
  witness.collisions = &inspector();
  b->addWatcher(&witness);  // before the others: the screen is still told first
  screen->put(a.get(), 1);
  screen->put(b.get(), 2);
  inspector().addMonitoredObject(a.get(), false);
  inspector().addMonitoredObject(b.get(), false);
  b->SetPosition(30, 30);
  b->SetPosition(5, 5);  // the move reaches the inspector through the drawable
  inspector().tick();
  EXPECT_EQ(log.events, "+BA");
  screen->clearRegion();
  log.b = nullptr;
  b.reset();
  EXPECT_EQ(witness.ends, 1);
  EXPECT_FALSE(witness.onScreenAtEnd) << "the screen lets go first";
  EXPECT_TRUE(witness.monitoredAtEnd) << "the collisions after it";
  EXPECT_EQ(screen->count(), 1u);
  EXPECT_EQ(screen->getIndex(a.get()), 0);
  EXPECT_EQ(inspector().size(), 1u);
  EXPECT_TRUE(inspector().find(a.get())->collisions.empty());
  EXPECT_FALSE(screen->region().isEmpty()) << "the area it covered is recomposed";
  a->SetPosition(6, 6);
  inspector().tick();
  EXPECT_EQ(log.events, "+BA");
}

TEST_F(CollisionTest, AnInspectorOrScreenThatGoesFirstIsNotToldLater) {
  auto drawable = std::make_unique<CGraphicsObject>(4, 4);
  {
    CCollisionInspector own;
    own.addMonitoredObject(drawable.get(), false);
    drawable->SetPosition(1, 1);
    EXPECT_TRUE(own.find(drawable.get())->moved) << "a move reaches any inspector that watches it";
    CRefreshScreen screen(CXSize(20, 20), 16);
    screen.put(drawable.get(), 0);
    EXPECT_EQ(drawable->GetCanvas(), static_cast<CDrawableCanvas*>(&screen));
  }
  EXPECT_EQ(drawable->GetCanvas(), nullptr);
  drawable->SetPosition(2, 2);  // neither is reached any more
  drawable.reset();
}

}  // namespace
