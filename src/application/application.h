// CApplication: what the host creates over its window: settings, the start sequence and the game tick.
#pragma once

#include <memory>
#include <string>

#include "foundation/xobject.h"
#include "foundation/xstring.h"

class CWindow;
class CCommandLine6;
class CConfig;
class CMC_Application;
class CMC_StructureParser;

class CApplication : public CXObject {
 public:
  static constexpr int kErrorNoApplication = 3000;

  // A non-empty settings name opens that settings file (relative names under the start directory).
  // A non-empty archive name opens that archive for the process. Nothing here is owned but the
  // settings and the structure.
  CApplication(CWindow* window, const CXString& settingsFile, const CXString& archiveFile, CCommandLine6* commandLine);
  ~CApplication() override;
  CApplication(const CApplication&) = delete;
  CApplication& operator=(const CApplication&) = delete;

  // The start sequence: game folder, data root, "Dane", the application file, then the start object.
  // False when nothing runs; getStartError() says why in one line.
  bool preinitializeApplication(bool unused = false);
  // The game read again from its folder, as RELOAD does (the settings file stays open, so TOINI
  // values carry over), then the scene of that name entered again when there is one. False (with a
  // message) when the game could not be built again.
  bool reloadSameGame(const CXString& sceneName);
  // One structure tick: temporaries, trash, pending switches, a requested game reload. Always false.
  bool domodal();
  // Finishes the running game: the current scenes unload and the application raises ONDONE.
  void OnExit();
  // The window gained (true) or lost the focus: the application's and then the current scene's
  // ONACTIVATE or ONDEACTIVATE.
  void OnActivateApp(bool active);
  // Full path of a sound under the sound-effects folder.
  CXString getWAVPath(const CXString& name) const;

  CMC_Application* getApplication() const;
  // The first half of the start sequence: the game folder's places and the structure built from
  // "application.def" (or "application.bin"), nothing entered. The static check stops here.
  bool loadGame(const CXString& folder);
  CConfig* getConfig() const { return config_.get(); }
  CWindow* getWindow() const { return window_; }
  CCommandLine6* getCommandLine() const { return commandLine_; }
  const std::string& getStartError() const { return startError_; }
  // Name of the innermost current scene, empty when none.
  CXString getCurrentSceneName() const;
  // The per-game data folder (scripts may write there besides the game folder).
  void setDataFolder(const CXString& folder) { dataFolder_ = folder; }
  // Games inside this folder (the player's installed ones) are read-only even for a user who could
  // write them, like every game whose folder cannot be written: the data folder holds what they write.
  void setInstalledGamesFolder(const CXString& folder) { installedGames_ = folder; }

 private:
  // Makes `folder` the game: current directory, data root, "Wavs", "Dane", the structure.

  void unloadGame();
  // For a read-only game the data folder becomes the start directory, where its local copies live.
  void chooseStartDirectory(const CXString& root);
  bool fail(const std::string& message);

  CWindow* window_;
  CCommandLine6* commandLine_;
  std::unique_ptr<CConfig> config_;
  std::unique_ptr<CMC_StructureParser> parser_;
  CXString startDirectory_;
  CXString dataFolder_;
  CXString installedGames_;
  std::string startError_;
  bool finished_ = false;
  bool archiveOpened_ = false;
};
