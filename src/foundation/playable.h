// CPlayable: the base of animations and sounds, with started, frame-changed and finished
// notifications to observers. CAnimationManager steps every playing one at its own frame rate.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/xobject.h"
#include "foundation/xstring.h"

class CAnimationManager;
class CPlayable;

class CPlayableObserver {
 public:
  virtual ~CPlayableObserver() = default;
  virtual bool onPlayableStarted(CPlayable* /*playable*/) { return true; }
  virtual bool onPlayableTick(CPlayable* /*playable*/) { return true; }
  virtual bool onPlayableFinished(CPlayable* /*playable*/) { return true; }
  virtual bool onPlayableEvent4(CPlayable* /*playable*/) { return true; }
};

class CPlayable : public CXObject {
 public:
  enum Event { kStarted = 1, kTick = 2, kFinished = 3, kFourth = 4 };
  enum State { kStopped = 0, kPlaying = 1, kPaused = 2 };

  CPlayable() = default;
  // Leaves the animation manager it is in.
  ~CPlayable() override;
  CPlayable(const CPlayable&) = delete;
  CPlayable& operator=(const CPlayable&) = delete;

  virtual void play(const CXString& /*name*/) { play(); }
  virtual void play() { state_ = kPlaying; }
  virtual void stop(bool /*notify*/) { state_ = kStopped; }
  virtual void pause() {
    if (state_ == kPlaying) state_ = kPaused;
  }
  virtual void resume() {
    if (state_ == kPaused) state_ = kPlaying;
  }
  virtual bool isPlaying() const { return state_ == kPlaying; }
  virtual bool isPaused() const { return state_ == kPaused; }
  // One step forward (the animation manager calls this when a frame is due).
  virtual void next() {}
  virtual void previous() {}
  // The next step is due within a frame tick or two: a chance to prepare what it shows.
  virtual void prepareNext() {}
  virtual int getFPS() const { return fps_; }
  void setFPS(int fps) { fps_ = fps; }
  virtual bool isVisible() const { return visible_; }
  virtual void setVisibility(bool visible) { visible_ = visible; }
  virtual void setVolume(int volume) { volume_ = volume; }
  virtual void setPanning(int pan) { pan_ = pan; }
  virtual void setFrequency(int frequency) { frequency_ = frequency; }
  int getVolume() const { return volume_; }
  int getPanning() const { return pan_; }
  int getFrequency() const { return frequency_; }
  int getState() const { return state_; }
  // The group resume(group) picks members by (0: none).
  int getGroup() const { return group_; }
  void setGroup(int group) { group_ = group; }

  const CXString& getName() const { return name_; }
  void setName(const CXString& name) { name_ = name; }

  // Observers are not owned. The generic notifier is told after the others.
  void setNotifier(CPlayableObserver* observer);
  void addNotifier(CPlayableObserver* observer);
  void removeNotifier(CPlayableObserver* observer);
  void clearNotifiers() { observers_.clear(); }
  void setGenericNotifier(CPlayableObserver* observer) { generic_ = observer; }
  // Tells every observer (on a copy of the list); the last observer's answer, true when none.
  bool notify(int event);
  // The animation manager that steps this playable, or null.
  CAnimationManager* getAnimationManager() const { return manager_; }

 protected:
  int state_ = kStopped;

 private:
  CXString name_;
  int fps_ = 0;
  bool visible_ = true;
  int volume_ = 0, pan_ = 0, frequency_ = 0;
  int group_ = 0;
  std::vector<CPlayableObserver*> observers_;
  CPlayableObserver* generic_ = nullptr;
  CAnimationManager* manager_ = nullptr;
  friend class CAnimationManager;
};

class CAnimationManager {
 public:
  struct Entry {
    CPlayable* playable = nullptr;
    bool due = false;
    uint32_t lastStep = 0;
    bool pausedHere = false;  // paused by pause(): resume() moves lastStep on by the time paused
    uint32_t pausedAt = 0;
  };

  CAnimationManager() = default;
  ~CAnimationManager();
  CAnimationManager(const CAnimationManager&) = delete;
  CAnimationManager& operator=(const CAnimationManager&) = delete;

  // Adds the playable (once; it leaves another manager it was in); its last step time is now.
  void add(CPlayable* playable);
  void remove(CPlayable* playable);
  bool contains(const CPlayable* playable) const;
  // Once per frame: every playing member whose period (1000 / fps ms) has passed since its last step
  // moves one frame. The step time is reset to now, so late frames are not made up. Members whose
  // next step falls within the next two ticks are told to prepare it.
  void domodal();
  // Pauses the playing members; they keep their frame and the time into their current step.
  void pause();
  // Resumes the paused members, or only those of the group (when not 0), each going on with the
  // part of its step that was left when the manager paused it.
  void resume(int group = 0);
  size_t size() const { return entries_.size(); }
  // The member's step timing (saves keep it), or null when it is not a member.
  Entry* entryOf(const CPlayable* playable);

 private:
  std::vector<Entry> entries_;
  uint32_t lastTick_ = 0;  // when domodal last ran: the length of a frame tick
  bool ticked_ = false;
};
