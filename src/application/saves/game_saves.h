// The saves of one running game: files written and read whole, the numbered slots in the game's
// save folder (slot 0 the autosave), and the autosave's timing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "application/save_slots.h"
#include "application/saves/game_state.h"

class CApplication;

namespace tarnvik {

class GameSaves : public SaveSlots {
 public:
  // The host's frame count and clock: read when saving, set before a loaded game is put in place.
  struct Host {
    std::function<saves::HostClock()> clock;
    std::function<void(const saves::HostClock&)> setClock;
  };

  // `folder`: $XDG_DATA_HOME/tarnvik/saves/<game>; `game`: the game's name written into its saves.
  GameSaves(CApplication& application, std::string folder, std::string game, Host host);

  std::vector<SaveSlotInfo> listSlots() override;
  bool saveSlot(int slot, const std::string& name, std::string& why) override;
  bool loadSlot(int slot, std::string& why) override;

  // A save written to (or read from) any file; `why` names what went wrong.
  bool saveFile(const std::string& file, const std::string& name, std::string& why);
  bool loadFile(const std::string& file, std::string& why);
  std::string slotFile(int slot) const;

  // Autosave into slot 0 after a frame: when the scene changed, and every `periodMinutes` of play
  // (0: never). Never right after a load.
  void setAutosave(int periodMinutes) { autosaveMinutes_ = periodMinutes; }
  void afterFrame();

  // The whole save as bytes, and a save's bytes put in place of the running game (the steps of
  // saveFile and loadFile without the file; for tests and benchmarks).
  bool makeSave(const std::string& name, std::vector<uint8_t>& bytes, std::string& why);
  bool takeSave(const std::vector<uint8_t>& bytes, std::string& why);

  static constexpr int kSlots = 10;

 private:
  CApplication& application_;
  std::string folder_, game_;
  Host host_;
  uint64_t fingerprint_ = 0;
  int autosaveMinutes_ = 0;
  uint32_t lastAutosave_ = 0;
  std::string lastScene_;
};

}  // namespace tarnvik
