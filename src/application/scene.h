// CMC_Scene: a scene of the game (and, through its subclasses, an episode or the application):
// a container of script objects with its own folder, file, music and structure state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/objects_container.h"

class CWindow;
class CMElement;

class CMC_Scene : public CMC_ObjectsContainer {
 public:
  // Positions of the scene events in the event list (after ONINIT, ONDONE, ONSIGNAL).
  enum SceneEvent { EVI_ONDOMODAL = 3, EVI_ONRESTART, EVI_ONMUSICLOOPED, EVI_ONACTIVATE, EVI_ONDEACTIVATE };

  CMC_Scene(CWindow* window, CMElement* element, CMC_ObjectsContainer* parent, int type = 1002);
  CMC_Scene(CWindow* window, const CXString& name, CMC_ObjectsContainer* parent, int type = 1002);
  ~CMC_Scene() override;

  const CMC_EventList* getBehavioursList() const override;

  // Enters the scene: folder, scene file, objects' init, "__INIT__", ONINIT. False on failure.
  virtual bool initialize(CMC_Scene* from);
  // Structure tick: enters a pending child, then lets the current child tick.
  virtual void domodal();
  // Leaves the scene: its objects finish and are deleted; handlers it bound elsewhere are dropped.
  virtual void unload(CMC_Scene* next);
  using CMC_ObjectsContainer::unload;
  virtual void restart();

  // Reads the scene file (name + ".cnv") from the current directory and creates its objects.
  bool loadCnv();
  // The child (episode or scene) of that name among this object's children, or null.
  CMC_Scene* find(const CXString& name) const;
  // Switches now: unloads the current child, enters `next`.
  void _goto(CMC_Scene* next, CMC_Scene* previous);
  // Script form: the pending child becomes the named child (cleared when none has that name).
  void _goto(const CXString& name);
  void setPending(CMC_Scene* child) { pending_ = child; }
  CMC_Scene* getPending() const { return pending_; }

  void startMusic(const CXString& file);
  void stopMusic();
  const CXString& getMusicFilename() const { return music_; }
  // init() of every object, in insertion order.
  void onInit();
  // Runs the behaviour named "__INIT__" of this container, when it has one.
  void runInitBehaviour();

  // The innermost current scene below this one (this scene itself when it has no current child).
  CMC_Scene* getCurrentScene();
  CMC_Scene* getCurrentChild() const { return current_; }
  using CMC_ObjectsContainer::getScene;
  CMC_Scene* getScene(const CXString& name) const { return find(name); }
  bool isBinary() const { return binary_; }
  // Scene files come from the precompiled form (name + ".bin") when set.
  void setBinary(bool binary) { binary_ = binary; }
  // The handler record of the scene's own element in its definition file, kept in "application.bin"
  // (the scene's ".bin" holds only its strings and objects) and bound when the scene file is read.
  const std::vector<uint8_t>& getFileHandlers() const { return fileHandlers_; }
  void setFileHandlers(std::vector<uint8_t> record) { fileHandlers_ = std::move(record); }
  const CXString& getDlls() const { return dlls_; }
  const std::vector<std::pair<CXString, CXString>>& getDescriptions() const { return descriptions_; }
  // DLLS, BACKGROUND and MUSIC as a precompiled scene file gives them.
  void setSceneStrings(const CXString& dlls, const CXString& background, const CXString& music);
  const CXString& getPath() const { return path_; }
  bool isDeamon() const { return deamon_; }
  const CXString& getBackground() const { return background_; }
  // Creates an empty object of a registered type in this scene, or null.
  CMC_Object* createObject(const CXString& name, const CXString& typeName);

  // Children in declaration order (episodes and scenes of the application, scenes of an episode).
  void addChild(CMC_Scene* child);
  const std::vector<CMC_Scene*>& getChildren() const { return children_; }
  // Entered children, oldest first.
  const std::vector<CMC_Scene*>& getHistory() const { return history_; }
  std::vector<CMC_Scene*>& history() { return history_; }
  const CXString& getLatestScene() const { return latestScene_; }

  // Run-time state: pause, music settings, hot-spot priorities, the time it was entered, the
  // pending child and the history of entered children (by name).
  bool serializeState(CXArchive* archive) override;

  // Scene PAUSE / RESUME.
  void pause(bool keepTimers);
  void resume();
  bool isPaused() const { return paused_; }

  // Music device values set by SETMUSICVOLUME / SETMUSICPAN / SETMUSICFREQ.
  static int musicVolumeFromScript(int v);
  static int musicPanFromScript(int p);
  int getMusicVolume() const { return musicVolume_; }
  void setMusicVolume(int deviceVolume);
  int getMusicPan() const { return musicPan_; }
  void setMusicPan(int devicePan);
  int getMusicFreq() const { return musicFreq_; }
  void setMusicFreq(int freq);

  int getMinHSPriority() const { return minHSPriority_; }
  int getMaxHSPriority() const { return maxHSPriority_; }
  void setMinHSPriority(int p) { minHSPriority_ = p; }
  void setMaxHSPriority(int p) { maxHSPriority_ = p; }
  // Milliseconds of the engine clock when the scene was entered.
  uint32_t getStartTime() const { return startTime_; }
  bool isLoaded() const { return loaded_; }

  // The folder of this scene's files: the local copy under the start directory when it holds the
  // file, else the game's. Sets the engine's current directory there; false (with a warning about
  // a PATH naming no folder) when neither exists.
  bool enterFolder(const CXString& fileName);
  // The names of the scenes (or episodes) under this one, for "did you mean".
  std::vector<std::string> childNames() const;
  // Names a BACKGROUND or MUSIC that cannot be found from the scene's folder (made current).
  void warnMissingFiles() const;

 protected:
  // Called after the current child changed.
  virtual void onSwitch(CMC_Scene* /*from*/, CMC_Scene* /*to*/) {}
  void readSceneProperties(CMElement* element);
  // The scene's drawing: its background and the initial update of the refresh manager.
  void enterDrawing();

  CMC_Scene* current_ = nullptr;
  CMC_Scene* pending_ = nullptr;

 private:
  CXString path_, background_, music_, dlls_;
  bool deamon_ = false;
  std::vector<std::pair<CXString, CXString>> descriptions_;
  std::vector<CMC_Scene*> children_;
  std::vector<CMC_Scene*> history_;
  CXString latestScene_;
  bool paused_ = false;
  bool binary_ = false;
  std::vector<uint8_t> fileHandlers_;
  bool loaded_ = false;
  bool playingMusic_ = false;
  int musicVolume_ = 0, musicPan_ = 0, musicFreq_ = 0;
  int minHSPriority_ = 0, maxHSPriority_ = 0;
  uint32_t startTime_ = 0;
};

// An episode: a scene that holds scenes in order and moves through them (NEXT, PREV, BACK).
class CMC_Episode : public CMC_Scene {
 public:
  CMC_Episode(CWindow* window, CMElement* element, CMC_ObjectsContainer* parent);
  bool initialize(CMC_Scene* from) override;
  void restart() override;
  const CXString& getStartWith() const { return startWith_; }
  // The scene STARTWITH names, else the first (with a warning when STARTWITH names none); null
  // for an episode without scenes.
  CMC_Scene* startScene();
  // The scene after / before the current one in SCENES, or null at the end.
  CMC_Scene* nextScene() const;
  CMC_Scene* prevScene() const;
  // BACK: the previously entered scene becomes pending; false with fewer than two entries.
  bool back();

 private:
  CXString startWith_;
};
