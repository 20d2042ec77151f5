// The polled timer service: intervals, removal during a poll, pause and resume, the global switch.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "foundation/xtimer.h"
#include "platform/clock.h"

namespace {

struct Recorder : CTimerNotificator {
  std::vector<int> ticks;
  std::function<void(int)> also;
  void onTimer(int id) override {
    ticks.push_back(id);
    if (also) also(id);
  }
};

struct Unit : CTimerUnit {
  bool active = true, updated = true;
  int ticks = 0;
  void onTimer(int) override { ++ticks; }
  bool isActive() const override { return active; }
  bool wasInitiallyUpdated() const override { return updated; }
};

class XTimerTest : public ::testing::Test {
 protected:
  void SetUp() override { tarnvik::setEngineClock(&clock); CXTimer::enable(true); }
  void TearDown() override { tarnvik::setEngineClock(nullptr); CXTimer::enable(true); }
  tarnvik::VirtualClock clock{1000};
  CXTimer timers;
};

TEST_F(XTimerTest, FiresOncePerPollWhenDueWithoutCatchUp) {
  Recorder r;
  timers.add(7, 100, &r);
  clock.advance(99);
  timers.domodal();
  EXPECT_TRUE(r.ticks.empty());
  clock.advance(1);
  timers.domodal();
  EXPECT_EQ(r.ticks, std::vector<int>({7}));
  clock.advance(350);  // three intervals late: still one tick, phase follows delivery
  timers.domodal();
  timers.domodal();
  EXPECT_EQ(r.ticks.size(), 2u);
  clock.advance(99);
  timers.domodal();
  EXPECT_EQ(r.ticks.size(), 2u);
}

TEST_F(XTimerTest, RemovalAndAdditionDuringPollAreSafe) {
  Recorder a, b, c;
  timers.add(1, 10, &a);
  timers.add(2, 10, &b);
  a.also = [&](int) {
    timers.remove(2);     // a later entry of the same poll: must not fire
    timers.add(3, 10, &c);  // a new entry waits for the next poll
  };
  clock.advance(10);
  timers.domodal();
  EXPECT_EQ(a.ticks.size(), 1u);
  EXPECT_TRUE(b.ticks.empty());
  EXPECT_TRUE(c.ticks.empty());
  EXPECT_EQ(timers.count(), 2);  // entry 2 was deleted by the walk
  EXPECT_EQ(timers.find(2), nullptr);
  a.also = nullptr;
  clock.advance(10);
  timers.domodal();
  EXPECT_EQ(c.ticks.size(), 1u);
}

TEST_F(XTimerTest, GlobalSwitchAndPauseResume) {
  Recorder r;
  timers.add(1, 100, &r);
  CXTimer::enable(false);
  clock.advance(500);
  timers.domodal();
  EXPECT_TRUE(r.ticks.empty());
  CXTimer::enable(true);
  timers.domodal();
  timers.domodal();
  EXPECT_EQ(r.ticks.size(), 1u);  // one catch-up tick, not five

  clock.advance(60);
  timers.pause();
  clock.advance(1000);
  timers.resume();  // 60 ms of the interval had passed before the pause
  clock.advance(39);
  timers.domodal();
  EXPECT_EQ(r.ticks.size(), 1u);
  clock.advance(1);
  timers.domodal();
  EXPECT_EQ(r.ticks.size(), 2u);
}

TEST_F(XTimerTest, ResetAndUnknownIds) {
  Recorder r;
  timers.add(1, 100, &r);
  clock.advance(90);
  timers.reset(1);
  clock.advance(90);
  timers.domodal();
  EXPECT_TRUE(r.ticks.empty());
  timers.reset(99);
  timers.remove(99);
  EXPECT_EQ(timers.count(), 1);
}

TEST_F(XTimerTest, UnitsTickOnlyWhenActiveIfAsked) {
  Unit strict, lax;
  timers.add(1, 10, &strict, true);
  timers.add(2, 10, &lax, false);
  strict.active = lax.active = false;
  clock.advance(10);
  timers.domodal();
  EXPECT_EQ(strict.ticks, 0);
  EXPECT_EQ(lax.ticks, 1);
}

TEST_F(XTimerTest, CounterWrapAround) {
  clock.set(0xFFFFFFF0u);
  Recorder r;
  timers.add(1, 32, &r);
  clock.advance(31);  // wraps past zero
  timers.domodal();
  EXPECT_TRUE(r.ticks.empty());
  clock.advance(1);
  timers.domodal();
  EXPECT_EQ(r.ticks.size(), 1u);
}

}  // namespace
