// CAnimo's playing state for saves of the running game: written and read in one list of fields.
#include <vector>

#include "files/xarchive.h"
#include "graphics/animation.h"
#include "files/state_fields.h"

bool CAnimo::serializePlayState(CXArchive* archive, CAnimationManager* manager) {
  int32_t state = state_, event = currentEvent_, entry = currentEntry_, frame = currentFrame_, fps = fpsOverride_;
  int32_t direction = direction_, placeX = place_.x, placeY = place_.y, offsetX = entryOffset_.x, offsetY = entryOffset_.y;
  uint32_t flags = animoFlags_;
  bool flippedH = isFlippedH(), flippedV = isFlippedV();
  CAnimationManager::Entry* timing = manager ? manager->entryOf(this) : nullptr;
  CAnimationManager::Entry step = timing ? *timing : CAnimationManager::Entry{};
  bool member = timing != nullptr;
  int32_t events = static_cast<int32_t>(events_.size());
  if (!saved::fields(archive, state, event, entry, frame, fps, direction, placeX, placeY, offsetX, offsetY, flags,
                     flippedH, flippedV, member, step.due, step.lastStep, step.pausedHere, step.pausedAt, events))
    return false;
  std::vector<int32_t> counters(events_.size());
  for (size_t i = 0; i < events_.size(); ++i) counters[i] = events_[i].loopCounter;
  if (archive->isLoading() && events != static_cast<int32_t>(events_.size())) return false;
  for (int32_t& c : counters)
    if (!saved::fields(archive, c)) return false;
  if (archive->isStoring()) return true;

  if (flippedH != isFlippedH()) FlipH();
  if (flippedV != isFlippedV()) FlipV();
  for (size_t i = 0; i < events_.size(); ++i) events_[i].loopCounter = counters[i];
  state_ = state;
  currentEvent_ = event;
  currentEntry_ = entry;
  fpsOverride_ = fps;
  animoFlags_ = flags;
  direction_ = direction;
  place_ = CXPoint(placeX, placeY);
  if (isVisible()) Invalidate();
  currentFrame_ = frame;
  entryOffset_ = CXPoint(offsetX, offsetY);
  placeFrame();
  if (isVisible()) Invalidate();
  if (manager) {
    if (member && !manager->contains(this)) manager->add(this);
    if (!member && manager->contains(this)) manager->remove(this);
    if (CAnimationManager::Entry* now = member ? manager->entryOf(this) : nullptr) {
      now->due = step.due;
      now->lastStep = step.lastStep;
      now->pausedHere = step.pausedHere;
      now->pausedAt = step.pausedAt;
    }
  }
  return true;
}
