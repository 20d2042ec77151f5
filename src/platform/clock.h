// The engine clock: every time the engine reads (tick count, multimedia time) comes from here.
#pragma once

#include <chrono>
#include <cstdint>

namespace tarnvik {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since the clock started, wrapping like a 32-bit tick count.
  virtual uint32_t now() const = 0;
  // Waits the given time: the real clock sleeps, the virtual one just advances.
  virtual void delay(uint32_t ms) = 0;
};

class RealClock final : public Clock {
 public:
  RealClock();
  uint32_t now() const override;
  void delay(uint32_t ms) override;

 private:
  std::chrono::steady_clock::time_point start_;
};

// Headless runs and tests: time moves only when told to, so runs are reproducible.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(uint32_t start = 0) : now_(start) {}
  uint32_t now() const override { return now_; }
  void delay(uint32_t ms) override { now_ += ms; }
  void advance(uint32_t ms) { now_ += ms; }
  void set(uint32_t ms) { now_ = ms; }

 private:
  uint32_t now_;
};

// A clock that can be held: while held it stands still, and after it is let go it goes on from where
// it stood, the held time left out. The player's menu holds the game's time this way.
class HeldClock final : public Clock {
 public:
  explicit HeldClock(Clock& base) : base_(&base) {}
  uint32_t now() const override { return held_ ? heldAt_ : base_->now() - left_; }
  void delay(uint32_t ms) override { base_->delay(ms); }
  void hold();
  void release();
  bool isHeld() const { return held_; }
  // Puts the clock at `ms` (a game's time restored), held or not.
  void set(uint32_t ms);

 private:
  Clock* base_;
  bool held_ = false;
  uint32_t heldAt_ = 0;
  uint32_t left_ = 0;  // the time held so far, left out of now()
};

// The process-wide engine clock. Starts as a real clock; the host (or a test) may install another.
// The caller keeps ownership of an installed clock and must keep it alive while installed.
Clock& engineClock();
void setEngineClock(Clock* clock);  // nullptr restores the real clock

}  // namespace tarnvik
