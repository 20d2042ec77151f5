// The running game as a save holds it: capturing it into sections, staging a save's sections
// (read whole, nothing touched) and putting a staged game in place of the running one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "application/saves/save_file.h"

class CMC_Application;
class CConfig;

namespace tarnvik::saves {

// What the host keeps beside the engine: the frame count and the engine clock.
struct HostClock {
  int32_t frame = 0;
  uint32_t clockMs = 0;
};

struct StagedObject {
  std::string name;
  int32_t type = 0;
  std::string record;    // the object's definition record (empty for a type without one)
  std::string handlers;  // every handler bound on it, with the container that bound it
  std::string state;     // its run-time state
};

// A container on the current path (the application, an episode, the scene) and its objects.
struct StagedContainer {
  std::string name;
  int32_t type = 0;
  std::string state;
  std::vector<StagedObject> objects;
};

struct StagedGame {
  HostClock clock;
  uint32_t random = 0;
  std::vector<std::string> path;  // the current child of the application, of that child, ...
  std::string settings;           // the settings file's text
  std::string input;              // the input manager's state (empty when the game had none)
  std::string music;              // the music channel's state (empty without sound)
  std::string screen;             // the refresh manager's state: initial update, background scroll
  std::vector<StagedContainer> containers;
};

// The engine, settings and objects sections of the running game.
bool captureGame(CMC_Application& application, CConfig* config, const HostClock& clock, SaveImage& image,
                 std::string& why);
// Reads the sections whole into `staged`; false (nothing else touched) when one does not read.
bool stageGame(const SaveImage& image, StagedGame& staged, std::string& why);
// The path the staged game is on exists in this game (checked before anything changes).
bool pathExists(CMC_Application& application, const StagedGame& staged, std::string& why);
// Replaces the running game with the staged one: the path entered again with the scripts held,
// run-time objects made again, every object's handlers and state put back, then the settings and
// the random generator. The host sets its clock to `staged.clock` before calling.
void applyGame(CMC_Application& application, CConfig* config, const StagedGame& staged);

}  // namespace tarnvik::saves
