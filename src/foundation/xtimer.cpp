// Timer polling: a snapshot walk so callbacks may add and remove timers.
#include "foundation/xtimer.h"

#include <algorithm>

#include "platform/clock.h"

namespace {
bool g_timersEnabled = true;
uint32_t now() { return tarnvik::engineClock().now(); }
}  // namespace

void CXTimer::enable(bool on) { g_timersEnabled = on; }
bool CXTimer::isEnabled() { return g_timersEnabled; }

void CXTimer::add(int id, uint32_t interval, CTimerUnit* unit, bool onlyWhenActive) {
  auto entry = std::make_unique<CTimerObject>();
  entry->id = id;
  entry->interval = interval;
  entry->lastFire = now();
  entry->unit = unit;
  entry->onlyWhenActive = onlyWhenActive;
  entries_.push_back(std::move(entry));
}

void CXTimer::add(int id, uint32_t interval, CTimerNotificator* target) {
  auto entry = std::make_unique<CTimerObject>();
  entry->id = id;
  entry->interval = interval;
  entry->lastFire = now();
  entry->target = target;
  entries_.push_back(std::move(entry));
}

CTimerObject* CXTimer::find(int id) {
  for (auto& e : entries_)
    if (e->id == id && !e->toRemove) return e.get();
  return nullptr;
}

void CXTimer::remove(int id) {
  if (CTimerObject* e = find(id)) e->toRemove = true;
}

void CXTimer::reset(int id) {
  if (CTimerObject* e = find(id)) e->lastFire = now();
}

void CXTimer::pause() {
  uint32_t t = now();
  for (auto& e : entries_) e->pausedElapsed = t - e->lastFire;
}

void CXTimer::resume() {
  uint32_t t = now();
  for (auto& e : entries_) e->lastFire = t - e->pausedElapsed;
}

void CXTimer::domodal() {
  if (!g_timersEnabled) return;
  // Walk a snapshot: callbacks may add entries (they wait for the next poll) or mark entries for
  // removal (they are skipped). Entries are deleted only here, so snapshot pointers stay valid.
  std::vector<CTimerObject*> snapshot;
  snapshot.reserve(entries_.size());
  for (auto& e : entries_) snapshot.push_back(e.get());
  for (CTimerObject* e : snapshot) {
    if (e->toRemove) {
      auto it = std::find_if(entries_.begin(), entries_.end(), [e](const auto& p) { return p.get() == e; });
      if (it != entries_.end()) entries_.erase(it);
      continue;
    }
    if (now() - e->lastFire < e->interval) continue;  // unsigned difference survives counter wrap
    if (e->unit) {
      if (!e->onlyWhenActive || (e->unit->isActive() && e->unit->wasInitiallyUpdated())) e->unit->onTimer(e->id);
    } else if (e->target) {
      e->target->onTimer(e->id);
    }
    // The callback may have marked this entry; it is still owned by entries_ until the next poll.
    e->lastFire = now();
  }
}
