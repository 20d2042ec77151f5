// The save slots as the player's menu sees them: what each slot holds, and saving into or loading from one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnvik {

// One readable save. Slot 0 is the autosave.
struct SaveSlotInfo {
  int slot = 0;
  std::string name;                   // typed by the player; empty for the autosave
  std::string scene;                  // the scene the game was in
  std::string date;                   // local time of the save, "YYYY-MM-DD HH:MM"
  int64_t playMilliseconds = 0;       // engine time played when it was saved
  std::vector<uint8_t> thumbnailPng;  // the screen at 160 x 120, PNG
};

// The saves of the running game. The menu calls these between frames, with the game paused, so a
// save holds the game as it stood at the end of the last frame (the menu's own drawing not in it).
class SaveSlots {
 public:
  virtual ~SaveSlots() = default;
  // The slots holding a save this game can read, in slot order.
  virtual std::vector<SaveSlotInfo> listSlots() = 0;
  // False with `why` when the save could not be written (the slot's earlier save is then kept).
  virtual bool saveSlot(int slot, const std::string& name, std::string& why) = 0;
  // Replaces the running game with the save; on failure the game goes on unchanged and `why` says why.
  virtual bool loadSlot(int slot, std::string& why) = 0;
};

}  // namespace tarnvik
