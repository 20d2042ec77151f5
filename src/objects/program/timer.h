// TIMER: a script object over one entry of the window's timer service; counts ticks, fires ONTICK.
#pragma once

#include <cstdint>

#include "foundation/xtimer.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CXTimer;

class CMC_Timer : public CMC_Object, public CTimerNotificator, public CTimerState {
 public:
  static constexpr int EVI_ONTICK = 3;

  CMC_Timer(CMC_ObjectsContainer* scope, CMElement* element);
  ~CMC_Timer() override;

  const CMC_EventList* getBehavioursList() const override;
  // A working copy: the same period, tick limit and enabled state, counting its own ticks from now.
  CXObject* clone() const override;
  using CMC_Object::clone;
  void onTimer(int id) override;
  bool isTimerEnabled() const override { return enabled_; }

  void enable();
  void disable() { enabled_ = false; }
  void pause();
  void resume();
  int getTicks() const { return ticks_; }
  void reset();
  void setElapse(int ms);
  bool isRegistered() const { return registered_; }
  int getTimerId() const { return id_; }
  // Record: name, enabled flag, tick limit, ticks so far, ELAPSE text. Reading registers the timer
  // with the service as the definition element does.
  bool serialize(CXArchive* archive) override;
  // Run-time state: enabled flag, ticks, tick limit, ELAPSE, and its entry of the timer service
  // (interval, last tick, time elapsed when paused).
  bool serializeState(CXArchive* archive) override;

 private:
  CXTimer* service() const;
  // Adds the timer to the window's timer service when it has an ELAPSE (once).
  void registerWithService();

  int id_;
  bool enabled_ = true;
  bool registered_ = false;
  int32_t ticks_ = 0;
  int32_t limit_ = 0;
  CXString elapse_;
};

class CMC_Timer_Runner : public CMC_Runner {
 public:
  enum Method { ENABLE = 1, DISABLE, PAUSE, RESUME, GETTICKS, RESET, SETELAPSE };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers TIMER: timers that fire ONTICK: its maker, its saved-state record and its runner.
void registerTimerType();
}  // namespace tarnvik
