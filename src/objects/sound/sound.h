// SOUND: a script object playing one sound effect or speech file through a shared in-memory sound,
// reporting its start, end and resumption as events.
#pragma once

#include <memory>

#include "foundation/playable.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CWindow;

class CSound4;

class CMC_Sound : public CMC_Object, public CPlayableObserver {
 public:
  enum { EVI_ONSTARTED = 3, EVI_ONFINISHED, EVI_ONRESUMED };

  CMC_Sound(CMC_ObjectsContainer* scope, CMElement* element);
  // An empty sound made by code (CREATE).
  CMC_Sound(CMC_ObjectsContainer* scope, const CXString& name);
  ~CMC_Sound() override;

  const CMC_EventList* getBehavioursList() const override;
  // A working copy over the same file (shared with the other SOUND objects playing it).
  CXObject* clone() const override;
  using CMC_Object::clone;
  CSound4* getSound() const { return sound_.get(); }
  // Saved-state record: the handlers, the name, FILENAME as given, PRELOAD and FLUSHAFTERPLAYED.
  // Reading builds the sound as the definition element does.
  bool serialize(CXArchive* archive) override;
  // Run-time state: the file, then the sound's playing state (shared sounds write theirs with each
  // object; the last one read wins, and they agree).
  bool serializeState(CXArchive* archive) override;

  void play();
  void stop(bool notify);
  void pause();
  void resume();
  bool load(const CXString& file);
  // Names the object and the places looked in when its file cannot be found.
  void warnIfMissing(CWindow* window, const CXString& file, const CXString& resolved);

  bool isPlaying() const;
  void setVolume(int scriptVolume);
  void setPan(int scriptPan);
  void setFrequency(int frequency);

  // Script units to device units (hundredths of a decibel): 800 is full volume, 25 or less silent;
  // 400 is the centre, -1150 or less full left, 1950 or more full right.
  static int volumeFromScript(int v);
  static int panFromScript(int p);

  bool onPlayableStarted(CPlayable* playable) override;
  bool onPlayableFinished(CPlayable* playable) override;
  bool onPlayableEvent4(CPlayable* playable) override;

 private:
  // Shares the sound of the same resolved file with other SOUND objects, or makes it.
  void initSound(const CXString& file);
  void fire(int index, const char* event);

  std::shared_ptr<CSound4> sound_;
  CXString file_;
  bool preload_ = false, flushAfterPlayed_ = false;
};

class CMC_Sound_Runner : public CMC_Runner {
 public:
  enum Method { PLAY = 1, STOP, PAUSE, RESUME, LOAD, SETVOLUME, SETPAN, SETFREQ, ISPLAYING };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers SOUND: its maker, its saved-state record and its runner.
void registerSoundType();
}  // namespace tarnvik
