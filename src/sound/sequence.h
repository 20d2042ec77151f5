// Sequences: trees of playables read from sequence files. A leaf plays an animation event or a
// sound; a sequence node plays its children in order, one at random or one chosen by a parameter;
// a speaking node plays speech while an animation talks with randomly chosen events.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/playable.h"
#include "foundation/xstring.h"

class CAnimo;
class CSound4;
class CWindow;
class CXArchive;

// A playable that hands on the parameter it was started with.
class CSeqPlayable : public CPlayable, public CPlayableObserver {
 public:
  void setParameter(const CXString& parameter) { parameter_ = parameter; }
  const CXString& getParameter() const { return parameter_; }
  // The leaf event now playing under this playable (the event name of an animation leaf, the
  // element name of a sound).
  virtual CXString playingEventName() const { return getName(); }
  virtual void show() {}
  virtual void hide() {}
  // Volume, pan and frequency are kept and passed on to the sound the playable plays, if any.
  void setVolume(int v) override;
  void setPanning(int p) override;
  void setFrequency(int f) override;
  // Run-time state for saves of the running game: play state, parameter, volume, pan and
  // frequency, then the type's own (the part playing, the phase of speech, the sound's voice).
  bool serializeState(CXArchive* archive);

 protected:
  virtual bool serializeOwn(CXArchive* /*archive*/) { return true; }
  virtual CSound4* voice() const { return nullptr; }
  CXString parameter_;
};

// An animation event (shared animation) or a sound.
class CSeqLeaf : public CSeqPlayable {
 public:
  CSeqLeaf(std::shared_ptr<CAnimo> animo, const CXString& event);
  CSeqLeaf(std::unique_ptr<CSound4> sound, bool loop);
  ~CSeqLeaf() override;
  // SEQEVENT: the event played when the parameter is this one.
  void addParameterEvent(const CXString& parameter, const CXString& event) { paramEvents_[parameter.str()] = event; }

  void play() override;
  void stop(bool notify) override;
  void pause() override;
  void resume() override;
  bool isPlaying() const override;
  CXString playingEventName() const override;
  void show() override;
  void hide() override;

  bool onPlayableFinished(CPlayable* playable) override;

 protected:
  bool serializeOwn(CXArchive* archive) override;
  CSound4* voice() const override { return sound_.get(); }

 private:
  std::shared_ptr<CAnimo> animo_;
  CXString event_, playing_;
  std::unique_ptr<CSound4> sound_;
  bool loop_ = false;
  std::map<std::string, CXString> paramEvents_;
};

class CSequencedPlayable : public CSeqPlayable {
 public:
  enum Mode { kSequence = 1, kRandom = 2, kParameter = 3 };
  void setMode(int mode) { mode_ = mode; }
  int getMode() const { return mode_; }
  void add(CSeqPlayable* child, bool wait = true) { children_.push_back({child, wait}); }
  void setWait(CSeqPlayable* child, bool wait);
  size_t size() const { return children_.size(); }
  int getCurrent() const { return current_; }
  // The child index a parameter chooses: '1'-'9' 0-8, 'A'-'Z' 9-34, 'a'-'z' 35-60; -1 otherwise.
  static int parameterIndex(const CXString& parameter);

  void play() override;
  void stop(bool notify) override;
  void pause() override;
  void resume() override;
  bool isPlaying() const override { return state_ != kStopped; }
  // -1 first, -2 last, -3 one back, -4 one forward (past the last: none), else that index.
  void seek(int n);
  CXString playingEventName() const override;
  void show() override;
  void hide() override;

  bool onPlayableFinished(CPlayable* playable) override;

 protected:
  bool serializeOwn(CXArchive* archive) override;

 private:
  struct Child {
    CSeqPlayable* playable;
    bool wait;
  };
  void start(int index, const CXString& parameter);
  // SEQUENCE mode: starts children from index on until one that waits.
  void runFrom(int index, const CXString& parameter);
  void finish();

  std::vector<Child> children_;
  int mode_ = kSequence;
  int current_ = -1;
  int started_ = 0;
};

class CSpeakingAnimation : public CSeqPlayable {
 public:
  CSpeakingAnimation(std::shared_ptr<CAnimo> animo, std::unique_ptr<CSound4> speech, const CXString& prefix,
                     bool starting, bool ending);
  ~CSpeakingAnimation() override;

  void play() override;
  void stop(bool notify) override;
  void pause() override;
  void resume() override;
  bool isPlaying() const override { return state_ != kStopped; }
  CXString playingEventName() const override;
  void show() override;
  void hide() override;
  // The talking events: the prefix's events except its START, END and STOP.
  std::vector<int> talkingEvents() const;

  bool onPlayableFinished(CPlayable* playable) override;

 protected:
  bool serializeOwn(CXArchive* archive) override;
  CSound4* voice() const override { return speech_.get(); }

 private:
  enum Phase { kIdle, kStarting, kTalking, kEnding };
  // The event named prefix + part (with or without "_" between), or -1.
  int prefixEvent(const char* part) const;
  void talk();
  void speechEnded(bool early);

  std::shared_ptr<CAnimo> animo_;
  std::unique_ptr<CSound4> speech_;
  CXString prefix_;
  bool starting_, ending_;
  Phase phase_ = kIdle;
  int event_ = -1;
};

// The playables of one sequence file, by element name.
class CSequenceTree {
 public:
  ~CSequenceTree();
  CSeqPlayable* find(const CXString& name) const;
  CSeqPlayable* getRoot() const { return root_; }
  const std::vector<CSeqPlayable*>& all() const { return order_; }
  // Every animation of the tree (to show, hide, or find on the screen).
  const std::vector<std::shared_ptr<CAnimo>>& animations() const { return animos_; }
  // Run-time state for saves: each animation (shown, on the screen, playing) and each playable.
  bool serializeState(CXArchive* archive, CWindow* window);

 private:
  friend class CMultimediaSequenceCreator;
  std::map<std::string, std::unique_ptr<CSeqPlayable>> playables_;
  std::vector<CSeqPlayable*> order_;
  std::vector<std::shared_ptr<CAnimo>> animos_;
  CSeqPlayable* root_ = nullptr;
};

// A file a sequence file names that cannot be read: the line naming it (from 1) and the name as written.
struct SequenceMissingFile {
  int line = 0;
  CXString file;
  bool sound = false;
};

class CMultimediaSequenceCreator {
 public:
  // Reads a sequence file through the file rules and builds its tree; null when it cannot be read.
  // Animations are put on the window's screen at the given priority, hidden until played. The files
  // it names that cannot be read go into `missing` when given (the caller says where they were
  // named); without it an unreadable animation is logged here.
  static std::unique_ptr<CSequenceTree> load(CWindow* window, const CXString& fileName, int priority = 0,
                                             std::vector<SequenceMissingFile>* missing = nullptr);
  // The same from the file's text; `baseName` names the root element.
  static std::unique_ptr<CSequenceTree> build(CWindow* window, const std::string& text, const CXString& baseName,
                                              int priority = 0, std::vector<SequenceMissingFile>* missing = nullptr);
};
