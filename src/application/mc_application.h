// CMC_Application: the outermost scene; holds episodes and scenes, the start object and the next game.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "application/scene.h"

class CMC_StructureParser;

class CMC_Application : public CMC_Scene {
 public:
  // Positions of the application's own events after the scene events.
  enum AppEvent { EVI_ONUPGRADE = 8, EVI_ONEXIT };

  // Builds the application from its element; its EPISODES and SCENES are looked up in the parser.
  CMC_Application(CWindow* window, CMElement* element, CMC_StructureParser* parser);

  const CMC_EventList* getBehavioursList() const override;

  // Adds the built-in objects, initialises, runs "__INIT__" and enters the start object.
  // False when STARTWITH names nothing.
  bool initialize(CMC_Scene* from) override;
  // Adds the built-in objects (RANDOM, SYSTEM, ...); initialize does it first.
  void addBuiltins();
  // Structure tick of the whole game: temporaries back to the pool, trash emptied, pending switch.
  // True when a next game was requested.
  bool domodalApplication();
  void restart() override;
  // Quits the window and raises ONEXIT.
  void exit();
  bool isExitRequested() const { return exitRequested_; }
  // Writes the precompiled form; on failure `why` (when given) says which object of which scene stopped it.
  bool storeBinary(std::string* why = nullptr);
  const CXString& getNextGame() const { return nextGame_; }
  void setNextGame(const CXString& folder) { nextGame_ = folder; }

  const CXString& getStartWith() const { return startWith_; }
  const CXString& getRequiredVersion() const { return requiredVersion_; }
  const CXString& getGameVersion() const { return gameVersion_; }
  // Compares the required engine version; a newer requirement logs a warning and fires ONUPGRADE.
  void checkVersion();

  // Built-in objects every application has (RANDOM, SYSTEM, the CNV loader). Object types register
  // makers here; initialize adds what they make, in registration order.
  using BuiltinMaker = std::function<CMC_Object*(CMC_Application* application)>;
  static void registerBuiltin(BuiltinMaker maker);
  static void clearBuiltins();

  // The objects the structure gave the application (the behaviours of its inline handlers), without
  // what initialize and the running game added since: what its precompiled form holds, so storing a
  // running game writes what -2bin writes.
  std::vector<CMC_Object*> getStructureObjects() const;

 private:
  std::vector<CMC_Object*> structureObjects_;
  bool initialized_ = false;
  CXString startWith_, requiredVersion_, gameVersion_, nextGame_;
  bool exitRequested_ = false;
};
