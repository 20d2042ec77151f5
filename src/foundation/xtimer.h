// CXTimer: the polled timer service behind script timers, RUNONTIMER and periodic engine work.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// A receiver of timer ticks.
class CTimerNotificator {
 public:
  virtual ~CTimerNotificator() = default;
  virtual void onTimer(int id) = 0;
};

// What a scene asks of its TIMER objects (GETRUNNINGTIMER): the timer type lives in a higher layer.
class CTimerState {
 public:
  virtual ~CTimerState() = default;
  virtual bool isTimerEnabled() const = 0;
};

// A screen unit as timer target: with the only-when-active flag it receives ticks only while it is
// active and has been drawn at least once.
class CTimerUnit : public CTimerNotificator {
 public:
  virtual bool isActive() const = 0;
  virtual bool wasInitiallyUpdated() const = 0;
};

// One registered timer.
struct CTimerObject {
  int id = 0;
  uint32_t interval = 0;
  uint32_t lastFire = 0;
  uint32_t pausedElapsed = 0;
  CTimerNotificator* target = nullptr;
  CTimerUnit* unit = nullptr;  // set instead of target for unit entries
  bool onlyWhenActive = true;
  bool toRemove = false;
};

class CXTimer {
 public:
  CXTimer() = default;
  CXTimer(const CXTimer&) = delete;
  CXTimer& operator=(const CXTimer&) = delete;

  // Registration: last-fire time = now; the entry is appended.
  void add(int id, uint32_t interval, CTimerUnit* unit, bool onlyWhenActive);
  void add(int id, uint32_t interval, CTimerNotificator* target);

  // First entry with that id that is not marked for removal, or null.
  CTimerObject* find(int id);
  // Marks the first entry with that id; it is deleted on the next poll and never fires again.
  void remove(int id);
  // Last-fire time of that entry = now.
  void reset(int id);
  void pause();
  void resume();
  // One poll: fires every entry whose interval has passed, at most once each.
  void domodal();

  int count() const { return static_cast<int>(entries_.size()); }

  // The process-wide switch (scene PAUSE turns it off).
  static void enable(bool on);
  static bool isEnabled();

 private:
  std::vector<std::unique_ptr<CTimerObject>> entries_;
};
