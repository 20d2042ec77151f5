// Real clock and the engine-clock slot.
#include "platform/clock.h"

#include <thread>

namespace tarnvik {

RealClock::RealClock() : start_(std::chrono::steady_clock::now()) {}

uint32_t RealClock::now() const {
  auto elapsed = std::chrono::steady_clock::now() - start_;
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}


void RealClock::delay(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void HeldClock::hold() {
  if (held_) return;
  heldAt_ = now();
  held_ = true;
}

void HeldClock::release() {
  if (!held_) return;
  left_ = base_->now() - heldAt_;
  held_ = false;
}

void HeldClock::set(uint32_t ms) {
  if (held_)
    heldAt_ = ms;
  else
    left_ = base_->now() - ms;
}

namespace {
RealClock& realClock() {
  static RealClock clock;
  return clock;
}
Clock* g_clock = nullptr;
}  // namespace

Clock& engineClock() { return g_clock ? *g_clock : realClock(); }
void setEngineClock(Clock* clock) { g_clock = clock; }

}  // namespace tarnvik
