// The player's menu as a model: its pages and entries laid out on the screen, navigation by keys,
// pointer and gamepad, the keys it takes from the game, and what it asks of the player.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "application/menu/player_options.h"
#include "platform/input.h"

namespace tarnvik {

class SaveSlots;

// One entry as shown: its words, where it stands on the screen, what choosing it does.
struct MenuEntry {
  enum Kind { kResume, kSave, kLoad, kOptions, kQuit, kBack, kSlot, kName, kConfirm, kMasterVolume, kMusicVolume, kMute, kFullScreen };
  Kind kind = kBack;
  std::string label;   // UTF-8
  std::string detail;  // a slot's scene and date
  int slot = -1;       // kSlot: the slot it names
  PixelRect box;       // empty while scrolled out of the panel
  std::vector<uint16_t> thumbnail;  // a slot's picture, kThumbWidth x kThumbHeight 5-6-5 (empty: none)
};

class PlayerMenu {
 public:
  enum class Page { kClosed, kMain, kSave, kLoad, kOptions, kNaming };
  // What the player has to do after the menu handled input; bits, collected by takeRequests().
  enum Request : unsigned { kPause = 1, kResume = 2, kApplyOptions = 4, kQuit = 8 };
  // Slots offered on the Save page (slot 0, the autosave, is only loaded).
  static constexpr int kSaveSlots = 8;
  static constexpr int kThumbWidth = 80, kThumbHeight = 60;
  static constexpr int kMaxNameLength = 32;

  PlayerMenu(int screenWidth, int screenHeight);

  // The saves the Save and Load pages use; null: there are none to use (each page says so).
  void setSaves(SaveSlots* saves) { saves_ = saves; }
  void setOptions(const PlayerOptions& options) { options_ = options; }
  const PlayerOptions& options() const { return options_; }

  // One event of the frame's input, in order. True when the menu takes it: Ctrl+F5, and while it is
  // open every key, character and pointer event, except the release of a key or button the game saw
  // pressed (and focus and quit, which are the host's). The release of what it took is taken too.
  // The gamepad's Start (kMenu) opens or closes it.
  bool handle(const InputEvent& event);
  // Opens the menu, or closes it.
  void toggle();
  void open();
  void close();

  bool isOpen() const { return page_ != Page::kClosed; }
  Page page() const { return page_; }
  const std::string& title() const { return title_; }
  // A line under the entries: what the last choice did, or why it failed.
  const std::string& status() const { return status_; }
  const std::vector<MenuEntry>& entries() const { return entries_; }
  int selected() const { return selected_; }
  // The panel the entries stand in, centred on the screen, and the strips of its title and status.
  const PixelRect& panel() const { return panel_; }
  const PixelRect& titleBox() const { return titleBox_; }
  const PixelRect& statusBox() const { return statusBox_; }
  unsigned takeRequests();

 private:
  void show(Page page);
  void build();
  void layout();
  void addSlots(bool forSaving);
  void key(int code);
  void typed(const std::string& text);
  void point(int x, int y);
  void choose(int index, int direction);
  void back();
  void move(int step);
  void adjust(MenuEntry::Kind kind, int direction);
  void confirmSave();
  void loadSlot(int slot);
  int entryAt(int x, int y) const;

  int width_, height_;
  SaveSlots* saves_ = nullptr;
  PlayerOptions options_;
  Page page_ = Page::kClosed;
  std::string title_, status_, name_;
  int namingSlot_ = 0;
  std::vector<MenuEntry> entries_;
  int selected_ = 0, scroll_ = 0;
  PixelRect panel_, titleBox_, statusBox_;
  unsigned requests_ = 0;
  int pointerX_ = 0, pointerY_ = 0;
  bool ctrl_[2] = {false, false};
  bool keyTaken_[256] = {};
  bool buttonTaken_[3] = {};
};

}  // namespace tarnvik
