// SYSTEM dates from the engine clock, RAND draws and list draws, TIMER ticking and its methods.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "definitions/melement.h"
#include "foundation/xrandom.h"
#include "graphics/window.h"
#include "objects/program/rand.h"
#include "objects/register.h"
#include "objects/program/system.h"
#include "objects/program/timer.h"
#include "platform/clock.h"
#include "platform/video.h"
#include "runtime/behaviour.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

class ObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tarnvik::setEngineClock(&clock);
    tarnvik::registerEngineTypes();
    CMC_VariableFactory::initialize();
    CMC_RunnerFactory::initialize();
  }
  void TearDown() override {
    CMC_RunnerFactory::done();
    CMC_VariableFactory::done();
    tarnvik::setEngineClock(nullptr);
  }
  // Calls a method and gives its result as text ("" for no value).
  CXString call(CMC_Object* target, const char* method, std::vector<CMC_Object*> args = {},
                CMC_ObjectsContainer* scope = nullptr) {
    CMC_Runner* runner = CMC_RunnerFactory::getRunnerFor(target);
    if (!runner) return "<no runner>";
    CMC_Args list(args.begin(), args.end());
    CMC_Object* result = runner->run(CXString(method), target, scope, args.empty() ? nullptr : &list);
    CXString text = result && !mc::isControl(result) ? mc::textOf(result) : CXString();
    mc::release(result);
    return text;
  }
  tarnvik::VirtualClock clock;
};

TEST_F(ObjectsTest, SystemDatesFollowTheEpochAndTheEngineClock) {
  CMC_System system;
  CMC_System::setEpoch(951782400);  // 2000-02-29 00:00:00 UTC, a Tuesday
  EXPECT_EQ(call(&system, "GETDAY").str(), "29");
  EXPECT_EQ(call(&system, "GETDATESTRING").str(), "29/Luty/2000");
  EXPECT_EQ(call(&system, "GETDATE").str(), "229");
  EXPECT_EQ(call(&system, "GETDAYOFWEEK").str(), "3");
  EXPECT_EQ(call(&system, "GETDAYOFWEEKSTRING").str(), "Wtorek");
  clock.set(5 * 86400 * 1000u + (9 * 3600 + 5 * 60 + 7) * 1000u);  // Sunday 5 March, 09:05:07
  EXPECT_EQ(call(&system, "GETDAYOFWEEK").str(), "1");
  EXPECT_EQ(call(&system, "GETDAYOFWEEKSTRING").str(), "Niedziela");
  EXPECT_EQ(call(&system, "GETMONTHSTRING").str(), "Marzec");
  EXPECT_EQ(call(&system, "GETTIMESTRING").str(), "9:5");
  EXPECT_EQ(call(&system, "GETSECONDS").str(), "7");
  EXPECT_EQ(call(&system, "GETYEAR").str(), "2000");
  CMC_System::setEpoch(1767225600);  // 2026-01-01
  clock.set(0);
  EXPECT_EQ(call(&system, "GETDATE").str(), "260101");
}

TEST_F(ObjectsTest, SystemDelayAdvancesTheVirtualClockWithinItsCap) {
  CMC_System system;
  CMC_Integer ms(CXString("MS"), 250);
  call(&system, "DELAY", {&ms});
  EXPECT_EQ(clock.now(), 250u);
  CMC_Integer huge(CXString("HUGE"), 2000000000);
  call(&system, "DELAY", {&huge});
  EXPECT_EQ(clock.now(), 250u + CMC_System_Runner::kMaxDelayMs);
  EXPECT_EQ(call(&system, "GETSYSTEMTIME").str(), std::to_string(clock.now()));
  call(&system, "DELAY");  // no argument: nothing
  EXPECT_EQ(call(&system, "NOSUCHMETHOD").str(), "");
}

TEST_F(ObjectsTest, RandGetRangesAndListDraws) {
  CMC_Rand rand;
  CXRandom::seed(3);
  CMC_Integer ten(CXString("A"), 10), five(CXString("N"), 5), zero(CXString("Z"), 0), one(CXString("O"), 1);
  std::set<int> seen;
  for (int i = 0; i < 300; ++i) {
    seen.insert(call(&rand, "GET", {&ten, &five}).toNumber());
    clock.advance(7);
  }
  EXPECT_EQ(seen, (std::set<int>{10, 11, 12, 13, 14}));
  EXPECT_EQ(call(&rand, "GET", {&zero}).str(), "0");
  EXPECT_EQ(call(&rand, "GET", {&one}).str(), "0");

  std::vector<int> values;
  EXPECT_TRUE(CXRandom::randomVector(5, 10, 10, true, values));
  EXPECT_EQ(std::set<int>(values.begin(), values.end()).size(), 10u);  // all ten values of 5..14
  EXPECT_FALSE(CXRandom::randomVector(0, 10, 11, true, values));        // cannot be unique
  EXPECT_TRUE(values.empty());
  EXPECT_FALSE(CXRandom::randomVector(0, 100, 10001, false, values));
  EXPECT_TRUE(CXRandom::randomVector(0, 100, 10000, false, values));
  EXPECT_EQ(values.size(), 10000u);
  EXPECT_TRUE(CXRandom::randomVector(3, 8, 0, false, values));  // count 0 means n - first
  EXPECT_EQ(values.size(), 5u);
}

struct TimerScene {
  tarnvik::HeadlessVideo video;
  CWindow window{nullptr, nullptr, &video};
  CMC_ObjectsContainer scene{&window, CXString("SCENE"), nullptr, mc::TYPE_SCENE};
  CMC_Timer* add(const char* name, std::vector<std::pair<const char*, const char*>> props) {
    CMElement element{CXString(name)};
    element.addProperty("TYPE", "TIMER");
    for (auto& [k, v] : props) element.addProperty(k, v);
    return static_cast<CMC_Timer*>(scene.resolve(&element));
  }
};

TEST_F(ObjectsTest, TimerTicksToItsLimitAndRestartsOnEnable) {
  TimerScene s;
  CMC_Timer* t = s.add("T", {{"ELAPSE", "100"}, {"TICKS", "3"}});
  ASSERT_NE(t, nullptr);
  for (int i = 0; i < 10; ++i) {
    clock.advance(100);
    s.window.Tick();
  }
  EXPECT_EQ(t->getTicks(), 3);
  EXPECT_FALSE(t->isTimerEnabled());
  EXPECT_EQ(call(t, "GETTICKS").str(), "3");
  call(t, "ENABLE");
  EXPECT_EQ(t->getTicks(), 0);
  clock.advance(100);
  s.window.Tick();
  EXPECT_EQ(t->getTicks(), 1);
  call(t, "ENABLE");  // already running: the count goes on
  EXPECT_EQ(t->getTicks(), 1);
}

TEST_F(ObjectsTest, TimerWithoutElapseOrDisabledNeverCounts) {
  TimerScene s;
  CMC_Timer* never = s.add("NEVER", {});
  CMC_Timer* off = s.add("OFF", {{"ELAPSE", "10"}, {"ENABLED", "no"}});
  CMC_Integer ten(CXString("MS"), 10);
  call(never, "SETELAPSE", {&ten});
  EXPECT_FALSE(never->isRegistered());
  for (int i = 0; i < 5; ++i) {
    clock.advance(50);
    s.window.Tick();
  }
  EXPECT_EQ(never->getTicks(), 0);
  EXPECT_EQ(off->getTicks(), 0);
  call(off, "ENABLE");
  clock.advance(10);
  s.window.Tick();
  EXPECT_EQ(off->getTicks(), 1);
}

TEST_F(ObjectsTest, TimerRemovedWithItsSceneLeavesTheServiceClean) {
  TimerScene s;
  s.add("T", {{"ELAPSE", "10"}});
  EXPECT_EQ(s.window.getTimer()->count(), 1);
  s.scene.unload();
  clock.advance(10);
  s.window.Tick();  // the marked entry is dropped, nothing is delivered to the deleted timer
  EXPECT_EQ(s.window.getTimer()->count(), 0);
}

}  // namespace
