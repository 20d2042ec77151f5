// Playables and the animation manager that steps them.
#include "foundation/playable.h"

#include <algorithm>

#include "platform/clock.h"

CPlayable::~CPlayable() {
  if (manager_) manager_->remove(this);
}

void CPlayable::setNotifier(CPlayableObserver* observer) {
  observers_.clear();
  addNotifier(observer);
}

void CPlayable::addNotifier(CPlayableObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void CPlayable::removeNotifier(CPlayableObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
  if (generic_ == observer) generic_ = nullptr;
}

bool CPlayable::notify(int event) {
  auto copy = observers_;
  if (generic_) copy.push_back(generic_);
  bool answer = true;
  for (CPlayableObserver* observer : copy) {
    switch (event) {
      case kStarted: answer = observer->onPlayableStarted(this); break;
      case kTick: answer = observer->onPlayableTick(this); break;
      case kFinished: answer = observer->onPlayableFinished(this); break;
      case kFourth: answer = observer->onPlayableEvent4(this); break;
      default: break;
    }
  }
  return answer;
}

CAnimationManager::~CAnimationManager() {
  for (Entry& e : entries_) e.playable->manager_ = nullptr;
}

void CAnimationManager::add(CPlayable* playable) {
  if (!playable || contains(playable)) return;
  if (playable->manager_) playable->manager_->remove(playable);
  playable->manager_ = this;
  entries_.push_back(Entry{playable, false, tarnvik::engineClock().now()});
}

void CAnimationManager::remove(CPlayable* playable) {
  if (playable && playable->manager_ == this) playable->manager_ = nullptr;
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [playable](const Entry& e) { return e.playable == playable; }),
                 entries_.end());
}

bool CAnimationManager::contains(const CPlayable* playable) const {
  return std::any_of(entries_.begin(), entries_.end(), [playable](const Entry& e) { return e.playable == playable; });
}

void CAnimationManager::domodal() {
  const uint32_t now = tarnvik::engineClock().now();
  for (Entry& e : entries_) {
    if (!e.playable->isPlaying()) continue;
    e.pausedHere = false;  // resumed by someone else: nothing of the pause is left to make up
    int fps = e.playable->getFPS();
    if (fps <= 0) continue;
    if (static_cast<uint32_t>(1000 / fps) <= now - e.lastStep) {
      e.lastStep = now;
      e.due = true;
    }
  }
  // Stepping runs script code that may add or remove members: walk a copy, check each is still here.
  std::vector<CPlayable*> due;
  for (Entry& e : entries_)
    if (e.due) {
      e.due = false;
      due.push_back(e.playable);
    }
  for (CPlayable* playable : due)
    if (contains(playable)) playable->next();
  // Two ticks of warning (one when the tick's length is not known yet, at the first call) leave the
  // workers a whole tick; preparing runs no script code, so the live list is walked.
  const uint32_t tick = ticked_ ? now - lastTick_ : 0;
  lastTick_ = now;
  ticked_ = true;
  for (Entry& e : entries_) {
    const int fps = e.playable->getFPS();
    if (fps > 0 && e.playable->isPlaying() && now + 2 * tick - e.lastStep >= static_cast<uint32_t>(1000 / fps))
      e.playable->prepareNext();
  }
}

void CAnimationManager::pause() {
  const uint32_t now = tarnvik::engineClock().now();
  for (Entry& e : entries_)
    if (e.playable->isPlaying()) {
      e.playable->pause();
      e.pausedHere = true;
      e.pausedAt = now;
    }
}

void CAnimationManager::resume(int group) {
  const uint32_t now = tarnvik::engineClock().now();
  for (Entry& e : entries_) {
    if (!e.playable->isPaused() || (group != 0 && e.playable->getGroup() != group)) continue;
    e.playable->resume();
    if (e.pausedHere) e.lastStep += now - e.pausedAt;
    e.pausedHere = false;
  }
}

CAnimationManager::Entry* CAnimationManager::entryOf(const CPlayable* playable) {
  for (Entry& e : entries_)
    if (e.playable == playable) return &e;
  return nullptr;
}
