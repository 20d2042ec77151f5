// The player's menu model: the keys it takes, navigation by keys and pointer, saving and loading
// through the slots, the options and where its entries stand on screens of any size.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "application/menu/player_menu.h"
#include "application/save_slots.h"
#include "graphics/formats/png.h"
#include "input/keys.h"

namespace {

using tarnvik::InputEvent;
using tarnvik::MenuEntry;
using tarnvik::PlayerMenu;
using tarnvik::PlayerOptions;
using Page = PlayerMenu::Page;

// Slots in memory: what the menu asked is written into `calls`.
class FakeSlots : public tarnvik::SaveSlots {
 public:
  std::vector<tarnvik::SaveSlotInfo> slots;
  bool refuse = false;
  std::string calls;
  std::vector<tarnvik::SaveSlotInfo> listSlots() override { return slots; }
  bool saveSlot(int slot, const std::string& name, std::string& why) override {
    calls += "save " + std::to_string(slot) + " '" + name + "';";
    if (refuse) why = "the disk is full";
    return !refuse;
  }
  bool loadSlot(int slot, std::string& why) override {
    calls += "load " + std::to_string(slot) + ";";
    if (refuse) why = "the save is damaged";
    return !refuse;
  }
};

InputEvent keyEvent(InputEvent::Kind kind, const char* name) {
  InputEvent e;
  e.kind = kind;
  e.key = tarnvik::keys::codeOf(name);
  return e;
}

// A script of events in the --input words: "+CTRL" key down, "-CTRL" key up, "F5" down and up,
// "'x" the character x, "@X,Y" a move, "L" / "R" a left / right click (press and release), "MENU"
// the gamepad's Start, "OUT" the focus lost.
std::vector<InputEvent> events(const std::string& script) {
  std::vector<InputEvent> out;
  std::istringstream words(script);
  for (std::string w; words >> w;) {
    InputEvent e;
    if (w[0] == '+' || w[0] == '-') {
      out.push_back(keyEvent(w[0] == '+' ? InputEvent::kKeyDown : InputEvent::kKeyUp, w.c_str() + 1));
    } else if (w[0] == '\'') {
      e.kind = InputEvent::kChar;
      e.text = w.substr(1);
      out.push_back(e);
    } else if (w[0] == '@') {
      e.kind = InputEvent::kMove;
      std::sscanf(w.c_str() + 1, "%d,%d", &e.x, &e.y);
      out.push_back(e);
    } else if (w == "OUT") {
      e.kind = InputEvent::kFocusOut;
      out.push_back(e);
    } else if (w == "MENU") {
      e.kind = InputEvent::kMenu;
      out.push_back(e);
    } else if (w == "L" || w == "R") {
      e.button = w == "L" ? InputEvent::kLeft : InputEvent::kRight;
      e.kind = InputEvent::kDown;
      out.push_back(e);
      e.kind = InputEvent::kUp;
      out.push_back(e);
    } else {
      out.push_back(keyEvent(InputEvent::kKeyDown, w.c_str()));
      out.push_back(keyEvent(InputEvent::kKeyUp, w.c_str()));
    }
  }
  return out;
}

// Which events the menu took: one letter each, "T" taken, "g" left to the game.
std::string feed(PlayerMenu& menu, const std::string& script) {
  std::string taken;
  for (const InputEvent& e : events(script)) taken += menu.handle(e) ? 'T' : 'g';
  return taken;
}

// An 800 x 600 menu over the slots, open on its main page.
PlayerMenu opened(FakeSlots* slots) {
  PlayerMenu menu(800, 600);
  menu.setSaves(slots);
  menu.open();
  return menu;
}

std::string labels(const PlayerMenu& menu) {
  std::string out;
  for (const MenuEntry& e : menu.entries()) out += (out.empty() ? "" : "|") + e.label;
  return out;
}

TEST(PlayerMenuKeys, CtrlF5OpensAndOnlyWhatTheMenuPressedIsKeptFromTheGame) {
  struct Case {
    const char* script;
    const char* taken;
    bool open;
  } cases[] = {
      {"F5 +A -A", "gggg", false},                          // F5 alone is the game's
      {"+CTRL F5 -CTRL", "gTTg", true},                     // the game saw Ctrl go down: it sees it go up
      {"+RCTRL F5 -RCTRL A", "gTTgTT", true},               // the right Ctrl too; open, every key is the menu's
      {"+CTRL F5 -CTRL +CTRL F5 -CTRL", "gTTgTTTT", false}, // Ctrl pressed while open is the menu's
      {"+CTRL F5 -CTRL ESC", "gTTgTT", false},              // Escape closes; its release is the menu's too
      {"+CTRL F5 -CTRL +ENTER", "gTTgT", false},            // Enter on Resume closes
      {"+CTRL F5 -CTRL +ENTER -ENTER", "gTTgTT", false},    // ... and its release is still not the game's
      {"+CTRL F5 -CTRL 'a @10,10 L R", "gTTgTTTTTT", false}, // characters and the pointer; right goes back
      {"+A +CTRL F5 -CTRL -A", "ggTTgg", true},             // a key held from before is let go in the game
      {"MENU +A", "TT", true},                              // the gamepad's Start opens it
      {"+CTRL OUT F5", "gggg", false},                      // a Ctrl let go in another window
      {"+CTRL F5 -CTRL MENU", "gTTgT", false},              // and closes it
  };
  for (const Case& c : cases) {
    PlayerMenu menu(800, 600);
    EXPECT_EQ(feed(menu, c.script), c.taken) << c.script;
    EXPECT_EQ(menu.isOpen(), c.open) << c.script;
  }
}

TEST(PlayerMenuNavigation, KeysMoveChooseAndGoBack) {
  struct Case {
    const char* script;
    Page page;
    int selected;
    const char* labels;
  } cases[] = {
      {"", Page::kMain, 0, "Resume|Save|Load|Options|Quit"},
      {"DOWN DOWN", Page::kMain, 2, nullptr},
      {"UP", Page::kMain, 4, nullptr},                        // round from the top to Quit
      {"UP DOWN DOWN", Page::kMain, 1, nullptr},              // and back round to Save
      {"DOWN ENTER", Page::kSave, 0, nullptr},
      {"DOWN ENTER ESC", Page::kMain, 1, nullptr},            // back on the entry that led there
      {"DOWN DOWN ENTER", Page::kLoad, 0, "Autosave|Slot 2: Harbour|Back"},
      {"DOWN DOWN ENTER ESC", Page::kMain, 2, nullptr},
      {"UP UP ENTER", Page::kOptions, 0, "Master volume: 100%|Music volume: 100%|Mute: off|Full screen: off|Back"},
      {"UP UP ENTER UP ENTER", Page::kMain, 3, nullptr},      // Back on the options page
      {"ESC", Page::kClosed, 0, ""},
  };
  for (const Case& c : cases) {
    FakeSlots slots;
    slots.slots = {{0, "", "TITLE", "2026-01-01 00:00", 1000, {}}, {2, "Harbour", "DOCK", "2026-01-02 10:30", 2000, {}}};
    PlayerMenu menu = opened(&slots);
    feed(menu, c.script);
    EXPECT_EQ(menu.page(), c.page) << c.script;
    if (menu.isOpen()) {
      EXPECT_EQ(menu.selected(), c.selected) << c.script;
    }
    if (c.labels) {
      EXPECT_EQ(labels(menu), c.labels) << c.script;
    }
  }
}

TEST(PlayerMenuSaves, ASaveIsNamedTypedAndWrittenIntoItsSlot) {
  FakeSlots slots;
  slots.slots = {{3, "Old", "TITLE", "2026-01-01 00:00", 0, {}}};
  PlayerMenu menu = opened(&slots);
  feed(menu, "DOWN ENTER");
  ASSERT_EQ(menu.page(), Page::kSave);
  ASSERT_EQ(menu.entries().size(), PlayerMenu::kSaveSlots + 1u);
  EXPECT_EQ(menu.entries()[0].label, "Slot 1");
  EXPECT_EQ(menu.entries()[0].detail, "Empty");
  EXPECT_EQ(menu.entries()[2].label, "Slot 3: Old");
  EXPECT_EQ(menu.entries()[2].detail, "TITLE, 2026-01-01 00:00");

  // Slot 3 keeps its name to start from; typing edits it (letters the font cannot show are dropped).
  feed(menu, "DOWN DOWN ENTER");
  ASSERT_EQ(menu.page(), Page::kNaming);
  EXPECT_EQ(menu.entries()[0].label, "Old");
  feed(menu, "BACKSPACE BACKSPACE BACKSPACE 'M 'ó 'ł '\xE2\x98\x83 'x BACKSPACE");
  EXPECT_EQ(menu.entries()[0].label, "Mół");
  feed(menu, "ENTER");
  EXPECT_EQ(slots.calls, "save 3 'Mół';");
  EXPECT_EQ(menu.page(), Page::kMain);
  EXPECT_EQ(menu.status(), "Saved in slot 3.");

  // A refused save says why, on the slot list, with the slot still chosen.
  slots.refuse = true;
  feed(menu, "DOWN ENTER DOWN ENTER ENTER");
  EXPECT_EQ(menu.page(), Page::kSave);
  EXPECT_EQ(menu.selected(), 1);
  EXPECT_EQ(menu.status(), "Not saved: the disk is full");
  // Escape while naming returns to the slots without saving.
  slots.calls.clear();
  feed(menu, "ENTER ESC");
  EXPECT_EQ(menu.page(), Page::kSave);
  EXPECT_EQ(slots.calls, "");
}

TEST(PlayerMenuSaves, LoadingClosesTheMenuOrSaysWhyNot) {
  FakeSlots slots;
  slots.slots = {{0, "", "TITLE", "2026-01-01 00:00", 0, {}}};
  PlayerMenu menu = opened(&slots);
  slots.refuse = true;
  feed(menu, "DOWN DOWN ENTER ENTER");
  EXPECT_TRUE(menu.isOpen());
  EXPECT_EQ(menu.status(), "Not loaded: the save is damaged");
  slots.refuse = false;
  feed(menu, "ENTER");
  EXPECT_FALSE(menu.isOpen());
  EXPECT_EQ(slots.calls, "load 0;load 0;");

  // Without saves, both pages say so and offer only their slots to look at.
  PlayerMenu bare(800, 600);
  bare.open();
  feed(bare, "DOWN ENTER ENTER");
  EXPECT_EQ(bare.page(), Page::kSave);
  EXPECT_EQ(bare.status(), "Saving is not available.");
  feed(bare, "ESC DOWN ENTER");
  EXPECT_EQ(labels(bare), "Back");
  EXPECT_EQ(bare.status(), "Loading is not available.");
  slots.slots.clear();
  menu.open();
  feed(menu, "DOWN DOWN ENTER");
  EXPECT_EQ(menu.status(), "No saves yet.");
}

TEST(PlayerMenuSaves, ThumbnailsAreTheSavesPicturesAtHalfSize) {
  // A 160 x 120 picture: red on the left half, blue on the right.
  std::vector<uint16_t> picture(160 * 120);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) picture[static_cast<size_t>(y * 160 + x)] = x < 80 ? 0xF800 : 0x001F;
  FakeSlots slots;
  slots.slots = {{1, "", "S", "d", 0, {}}, {2, "", "S", "d", 0, {1, 2, 3}}};
  std::string error;
  ASSERT_TRUE(tarnvik::png::encode565(picture.data(), 160, 160, 120, slots.slots[0].thumbnailPng, error)) << error;
  PlayerMenu menu = opened(&slots);
  feed(menu, "DOWN DOWN ENTER");
  const std::vector<uint16_t>& thumb = menu.entries()[0].thumbnail;
  ASSERT_EQ(thumb.size(), size_t{PlayerMenu::kThumbWidth} * PlayerMenu::kThumbHeight);
  EXPECT_EQ(thumb[0], 0xF800);
  EXPECT_EQ(thumb[39], 0xF800);
  EXPECT_EQ(thumb[40], 0x001F);
  EXPECT_EQ(thumb.back(), 0x001F);
  EXPECT_TRUE(menu.entries()[1].thumbnail.empty()) << "bytes that are no picture show none";
}

TEST(PlayerMenuOptions, KeysAndClicksChangeTheOptionsAndAskForThem) {
  struct Case {
    const char* script;  // on the options page, Master volume selected, the volume at 50
    int master, music;
    bool mute, fullScreen, asked;
  } cases[] = {
      {"LEFT", 40, 100, false, false, true},
      {"RIGHT RIGHT RIGHT RIGHT RIGHT RIGHT", 100, 100, false, false, true},  // stops at 100
      {"DOWN LEFT LEFT", 50, 80, false, false, true},
      {"DOWN DOWN ENTER", 50, 100, true, false, true},
      {"DOWN DOWN DOWN RIGHT", 50, 100, false, true, true},
      {"DOWN ENTER", 50, 0, false, false, true},  // Enter at 100 goes round to 0
      {"UP", 50, 100, false, false, false},         // moving asks nothing
  };
  for (const Case& c : cases) {
    PlayerMenu menu(800, 600);
    PlayerOptions start;
    start.masterVolume = 50;
    menu.setOptions(start);
    menu.open();
    feed(menu, "UP UP ENTER");
    menu.takeRequests();
    feed(menu, c.script);
    EXPECT_EQ(menu.options().masterVolume, c.master) << c.script;
    EXPECT_EQ(menu.options().musicVolume, c.music) << c.script;
    EXPECT_EQ(menu.options().mute, c.mute) << c.script;
    EXPECT_EQ(menu.options().fullScreen.value_or(false), c.fullScreen) << c.script;
    EXPECT_EQ((menu.takeRequests() & PlayerMenu::kApplyOptions) != 0, c.asked) << c.script;
  }

  // A click on the left half of a volume lowers it, on the right half raises it.
  PlayerMenu menu(800, 600);
  menu.open();
  feed(menu, "UP UP ENTER");
  const tarnvik::PixelRect box = menu.entries()[1].box;
  feed(menu, "@" + std::to_string(box.x + 5) + "," + std::to_string(box.y + 5) + " L L");
  EXPECT_EQ(menu.options().musicVolume, 80);
  feed(menu, "@" + std::to_string(box.x + box.w - 5) + "," + std::to_string(box.y + 5) + " L");
  EXPECT_EQ(menu.options().musicVolume, 90);
  // Quit asks the player to end the run.
  feed(menu, "ESC DOWN ENTER");
  EXPECT_FALSE(menu.isOpen());
  EXPECT_TRUE(menu.takeRequests() & PlayerMenu::kQuit);
}

TEST(PlayerMenuOptions, KeptInTheirFileWithItsOtherKeys) {
  std::filesystem::path file = std::filesystem::temp_directory_path() / ("menu-options-" + std::to_string(getpid()) + ".ini");
  std::ofstream(file) << "[player]\nscale=pixel\nvolume=250\nmute=maybe\n";
  PlayerOptions read = tarnvik::readPlayerOptions(file.string());
  EXPECT_EQ(read, PlayerOptions{}) << "values out of range read as the defaults";
  PlayerOptions changed{30, 0, true, false};
  std::string error;
  ASSERT_TRUE(tarnvik::writePlayerOptions(file.string(), changed, error)) << error;
  EXPECT_EQ(tarnvik::readPlayerOptions(file.string()), changed);
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("scale=pixel"), std::string::npos) << text.str();
  EXPECT_FALSE(tarnvik::writePlayerOptions("/proc/no/such/player.ini", changed, error));
  EXPECT_NE(error.find("/proc/no/such/player.ini"), std::string::npos);
  std::filesystem::remove(file);
}

TEST(PlayerMenuLayout, EntriesStandInsideThePanelOnAnyScreenAndTheSelectedSlotScrollsIntoView) {
  for (auto [w, h] : {std::pair{800, 600}, {640, 480}, {320, 240}, {1024, 768}}) {
    FakeSlots slots;
    PlayerMenu menu(w, h);
    menu.setSaves(&slots);
    menu.open();
    for (const char* script : {"", "DOWN ENTER", "DOWN ENTER UP UP", "DOWN ENTER UP UP UP UP UP UP UP"}) {
      if (*script) {
        menu.close();
        menu.open();
        feed(menu, script);
      }
      const tarnvik::PixelRect p = menu.panel();
      std::string where = std::to_string(w) + "x" + std::to_string(h) + " " + script;
      EXPECT_TRUE(p.x >= 0 && p.y >= 0 && p.x + p.w <= w && p.y + p.h <= h) << where;
      int previousBottom = menu.titleBox().y + menu.titleBox().h;
      for (const MenuEntry& e : menu.entries()) {
        if (e.box.w == 0) continue;
        EXPECT_TRUE(e.box.x > p.x && e.box.y >= previousBottom && e.box.x + e.box.w < p.x + p.w) << where;
        previousBottom = e.box.y + e.box.h;
      }
      EXPECT_LE(previousBottom, menu.statusBox().y) << where;
      EXPECT_GT(menu.entries()[static_cast<size_t>(menu.selected())].box.w, 0) << where << ": the selected entry shows";
    }
  }
}

}  // namespace
