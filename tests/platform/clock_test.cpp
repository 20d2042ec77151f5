// The held clock the player's menu stops the game's time with: still while held, then on from where
// it stood, however often; set puts it anywhere.
#include <gtest/gtest.h>

#include <string>

#include "platform/clock.h"

namespace {

TEST(HeldClock, StandsStillWhileHeldAndLeavesTheHeldTimeOut) {
  struct Case {
    const char* steps;  // per letter: a 10 ms step of the base clock, Hold, Release, Set to 1000
    uint32_t now;
  } cases[] = {
      {"aaa", 30},           {"aHaaR", 10},        {"aHaaRa", 20},      {"HRHRa", 10},
      {"aHaRaHaaRa", 30},    {"HaaaaaaS", 1000},   {"aSa", 1010},       {"HSaaRa", 1010},
      {"aaHH aR", 20},  // a second hold while held changes nothing
  };
  for (const Case& c : cases) {
    tarnvik::VirtualClock base(5000);
    tarnvik::HeldClock clock(base);
    uint32_t start = clock.now();
    for (const char* p = c.steps; *p; ++p) {
      if (*p == 'a') base.advance(10);
      if (*p == 'H') clock.hold();
      if (*p == 'R') clock.release();
      if (*p == 'S') clock.set(start + 1000);
    }
    EXPECT_EQ(clock.now() - start, c.now) << c.steps;
  }
}

}  // namespace
