// SEQUENCE: a script object over a sequence file's tree of animations, sounds and speech; plays
// named parts of it and reports their starts and ends as events parameterised by the part's name.
#pragma once

#include <memory>
#include <vector>

#include "foundation/playable.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CSequenceTree;
class CSeqPlayable;
struct SequenceMissingFile;

class CMC_Sequence : public CMC_Object, public CPlayableObserver {
 public:
  enum { EVI_ONSTARTED = 3, EVI_ONFINISHED };

  CMC_Sequence(CMC_ObjectsContainer* scope, CMElement* element);
  ~CMC_Sequence() override;

  const CMC_EventList* getBehavioursList() const override;
  CSequenceTree* getTree() const { return tree_.get(); }
  // Saved-state record: the handlers, the name, FILENAME as given and PRIORITY; reading loads the tree.
  bool serialize(CXArchive* archive) override;
  // Run-time state: the part PLAY started, volume, pan and frequency, then the tree's state.
  bool serializeState(CXArchive* archive) override;

  // Plays the named part with a parameter; false when the tree has no such part.
  bool play(const CXString& name, const CXString& parameter);
  void stop(bool notify);
  void pause();
  void resume();
  void show();
  void hide();
  bool isPlaying() const;
  void setVolume(int scriptVolume);
  void setPan(int scriptPan);
  void setFrequency(int frequency);
  // The event (or sound) now playing under the part PLAY started; empty when none.
  CXString getEventName() const;
  // The part PLAY started while it plays; empty when none.
  CXString getPlaying() const;

  bool onPlayableStarted(CPlayable* playable) override;
  bool onPlayableFinished(CPlayable* playable) override;

 private:
  void load(const CXString& file, int priority);
  void warnMissing(const CXString& file, const std::vector<SequenceMissingFile>& missing) const;

  std::unique_ptr<CSequenceTree> tree_;
  CXString file_;
  int32_t priority_ = 0;
  CSeqPlayable* playing_ = nullptr;
  int volume_ = 0, pan_ = 0, freq_ = 0;
};

class CMC_Sequence_Runner : public CMC_Runner {
 public:
  enum Method {
    PLAY = 1, STOP, PAUSE, RESUME, SHOW, HIDE, ISPLAYING, SETVOLUME, SETPAN, SETFREQ, GETEVENTNAME, GETPLAYING
  };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers SEQUENCE: its maker, its saved-state record and its runner.
void registerSequenceType();
}  // namespace tarnvik
