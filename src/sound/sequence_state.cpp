// Sequences' run-time state for saves of the running game: every animation and playable of a tree,
// with the observers a playing part had, so the parts go on where they were.
#include <memory>
#include <vector>

#include "files/state_fields.h"
#include "graphics/animation.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"
#include "sound/sequence.h"
#include "sound/sound4.h"

bool CSeqPlayable::serializeState(CXArchive* archive) {
  int32_t state = state_, volume = getVolume(), pan = getPanning(), freq = getFrequency();
  CXString parameter = parameter_;
  if (!saved::fields(archive, state, parameter, volume, pan, freq)) return false;
  if (archive->isLoading()) {
    state_ = state;
    parameter_ = parameter;
    CPlayable::setVolume(volume);
    CPlayable::setPanning(pan);
    CPlayable::setFrequency(freq);
  }
  return serializeOwn(archive);
}

bool CSeqLeaf::serializeOwn(CXArchive* archive) {
  CXString playing = playing_;
  bool sound = sound_ != nullptr;
  if (!saved::fields(archive, playing, sound) || sound != (sound_ != nullptr)) return false;
  if (sound_ && !sound_->serializePlayState(archive)) return false;
  if (archive->isLoading()) {
    playing_ = playing;
    // A playing animation leaf hears when its event ends.
    if (animo_) animo_->removeNotifier(this);
    if (animo_ && state_ != kStopped) animo_->addNotifier(this);
  }
  return true;
}

bool CSequencedPlayable::serializeOwn(CXArchive* archive) {
  int32_t current = current_, started = started_;
  if (!saved::fields(archive, current, started)) return false;
  if (archive->isStoring()) return true;
  if (current < -1 || current >= static_cast<int32_t>(children_.size())) return false;
  current_ = current;
  started_ = started;
  // The children this part started are heard: up to the current one in order, else the current one.
  for (size_t i = 0; i < children_.size(); ++i) {
    CSeqPlayable* child = children_[i].playable;
    child->removeNotifier(this);
    bool started = state_ != kStopped && current_ >= 0 &&
                   (mode_ == kSequence ? static_cast<int>(i) <= current_ : static_cast<int>(i) == current_);
    if (started) child->addNotifier(this);
  }
  return true;
}

bool CSpeakingAnimation::serializeOwn(CXArchive* archive) {
  int32_t phase = phase_, event = event_;
  bool speech = speech_ != nullptr;
  if (!saved::fields(archive, phase, event, speech) || speech != (speech_ != nullptr)) return false;
  if (speech_ && !speech_->serializePlayState(archive)) return false;
  if (archive->isStoring()) return true;
  if (phase < kIdle || phase > kEnding) return false;
  phase_ = static_cast<Phase>(phase);
  event_ = event;
  if (animo_) animo_->removeNotifier(this);
  if (animo_ && state_ != kStopped) animo_->addNotifier(this);
  return true;
}

bool CSequenceTree::serializeState(CXArchive* archive, CWindow* window) {
  CRefreshScreen* screen = window ? window->getRefreshScreen() : nullptr;
  CAnimationManager* manager = window ? window->getAnimationManager() : nullptr;
  int32_t animations = static_cast<int32_t>(animos_.size()), playables = static_cast<int32_t>(order_.size());
  if (!saved::fields(archive, animations, playables) || animations != static_cast<int32_t>(animos_.size()) ||
      playables != static_cast<int32_t>(order_.size()))
    return false;
  for (const std::shared_ptr<CAnimo>& animo : animos_) {
    bool visible = animo->isVisible(), shown = screen && screen->contains(animo.get());
    int32_t priority = shown ? screen->GetPriority(animo.get()) : 0;
    if (!saved::fields(archive, visible, shown, priority) || !animo->serializePlayState(archive, manager)) return false;
    if (archive->isStoring() || !screen) continue;
    if (shown && !screen->contains(animo.get())) screen->put(animo.get(), priority);
    if (shown && screen->GetPriority(animo.get()) != priority) screen->SetPriority(animo.get(), priority);
    if (!shown && screen->contains(animo.get())) screen->remove(animo.get());
    animo->Visible(visible);
  }
  for (CSeqPlayable* playable : order_)
    if (!playable->serializeState(archive)) return false;
  return true;
}
