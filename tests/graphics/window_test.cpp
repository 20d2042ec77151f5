// The window's frame tick: timers first, participants in phase order, inactive windows idle.
#include <gtest/gtest.h>

#include <string>

#include "graphics/window.h"
#include "platform/clock.h"
#include "platform/video.h"

namespace {

struct Participant : CFrameParticipant {
  std::string* log;
  char mark;
  CWindow* removeOnTick = nullptr;
  CFrameParticipant* victim = nullptr;
  Participant(std::string* l, char m) : log(l), mark(m) {}
  void frameTick() override {
    *log += mark;
    if (removeOnTick) removeOnTick->removeParticipant(victim);
  }
};

struct Ticker : CTimerNotificator {
  std::string* log;
  explicit Ticker(std::string* l) : log(l) {}
  void onTimer(int) override { *log += 'T'; }
};

TEST(WindowTest, TickRunsTimersThenParticipantsByPhase) {
  tarnvik::VirtualClock clock;
  tarnvik::setEngineClock(&clock);
  tarnvik::HeadlessVideo video;
  CWindow window(nullptr, nullptr, &video);
  EXPECT_EQ(CWindow::getCurrent(), &window);
  std::string log;
  Participant input(&log, 'i'), anim(&log, 'a'), sound(&log, 's');
  window.addParticipant(CFrameParticipant::kInput, &input);
  window.addParticipant(CFrameParticipant::kAnimation, &anim);
  window.addParticipant(CFrameParticipant::kSound, &sound);
  Ticker ticker(&log);
  window.getTimer()->add(1, 10, &ticker);
  clock.advance(10);
  EXPECT_FALSE(window.domodal());
  EXPECT_EQ(log, "Tasi");

  // A participant leaving during the tick of an earlier one is not called.
  anim.removeOnTick = &window;
  anim.victim = &input;
  log.clear();
  window.Tick();
  EXPECT_EQ(log, "as");

  window.Activate(false);
  log.clear();
  window.Tick();
  EXPECT_EQ(log, "");
  window.quit();
  EXPECT_TRUE(window.domodal());
  window.minimize();
  EXPECT_TRUE(video.isMinimized());
  tarnvik::setEngineClock(nullptr);
}

}  // namespace
