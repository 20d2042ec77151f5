// The player's menu: pages, layout, navigation and the slots it saves into and loads from.
#include "application/menu/player_menu.h"

#include <algorithm>

#include "application/save_slots.h"
#include "foundation/cp1250.h"
#include "graphics/formats/png.h"
#include "input/keys.h"

namespace tarnvik {

namespace {

constexpr int kMargin = 8;      // between the screen's edge and the panel
constexpr int kPad = 6;         // inside the panel, around its strips
constexpr int kPanelWidth = 400;
constexpr int kTitleHeight = 28, kRowHeight = 24, kStatusHeight = 24;
constexpr int kSlotRowHeight = PlayerMenu::kThumbHeight + 6;
constexpr int kVolumeStep = 10;

const int kEscape = keys::codeOf("ESC"), kEnter = keys::codeOf("ENTER"), kUp = keys::codeOf("UP"),
          kDown = keys::codeOf("DOWN"), kLeft = keys::codeOf("LEFT"), kRight = keys::codeOf("RIGHT"),
          kBackspace = keys::codeOf("BACKSPACE"), kF5 = keys::codeOf("F5"), kLeftCtrl = keys::codeOf("LCTRL"),
          kRightCtrl = keys::codeOf("RCTRL");

bool inside(const PixelRect& r, int x, int y) { return r.w > 0 && x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h; }

// A save's picture at the size of a slot row: nearest pixels of the decoded PNG; empty when the
// bytes are no picture.
std::vector<uint16_t> thumbnailOf(const std::vector<uint8_t>& pngBytes) {
  png::Image image;
  std::string error;
  if (pngBytes.empty() || !png::decode(pngBytes.data(), pngBytes.size(), image, error) || image.width <= 0 ||
      image.height <= 0)
    return {};
  std::vector<uint16_t> out(static_cast<size_t>(PlayerMenu::kThumbWidth) * PlayerMenu::kThumbHeight);
  for (int y = 0; y < PlayerMenu::kThumbHeight; ++y)
    for (int x = 0; x < PlayerMenu::kThumbWidth; ++x) {
      size_t sx = static_cast<size_t>(x) * static_cast<size_t>(image.width) / PlayerMenu::kThumbWidth;
      size_t sy = static_cast<size_t>(y) * static_cast<size_t>(image.height) / PlayerMenu::kThumbHeight;
      const uint8_t* p = &image.pixels[(sy * static_cast<size_t>(image.width) + sx) * static_cast<size_t>(image.channels)];
      out[static_cast<size_t>(y) * PlayerMenu::kThumbWidth + static_cast<size_t>(x)] =
          static_cast<uint16_t>(((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3));
    }
  return out;
}

std::string onOff(bool on) { return on ? "on" : "off"; }

// The number of characters (code points) of UTF-8 text.
size_t characters(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace

PlayerMenu::PlayerMenu(int screenWidth, int screenHeight) : width_(screenWidth), height_(screenHeight) {}

bool PlayerMenu::handle(const InputEvent& e) {
  switch (e.kind) {
    case InputEvent::kKeyDown: {
      if (e.key <= 0 || e.key >= keys::kCount) return isOpen();
      if (e.key == kLeftCtrl || e.key == kRightCtrl) ctrl_[e.key == kRightCtrl] = true;
      bool menuKey = e.key == kF5 && (ctrl_[0] || ctrl_[1]);
      if (!isOpen() && !menuKey) return false;
      keyTaken_[e.key] = true;
      if (menuKey)
        toggle();
      else
        key(e.key);
      return true;
    }
    case InputEvent::kKeyUp: {
      if (e.key <= 0 || e.key >= keys::kCount) return isOpen();
      if (e.key == kLeftCtrl || e.key == kRightCtrl) ctrl_[e.key == kRightCtrl] = false;
      bool taken = keyTaken_[e.key];
      keyTaken_[e.key] = false;
      return taken;
    }
    case InputEvent::kChar:
      if (isOpen()) typed(e.text);
      return isOpen();
    case InputEvent::kMove:
      if (isOpen()) point(e.x, e.y);
      return isOpen();
    case InputEvent::kDown:
      if (!isOpen() || e.button < 0 || e.button > 2) return isOpen();
      buttonTaken_[e.button] = true;
      point(pointerX_, pointerY_);
      return true;
    case InputEvent::kUp: {
      if (e.button < 0 || e.button > 2) return isOpen();
      bool taken = buttonTaken_[e.button];
      buttonTaken_[e.button] = false;
      if (taken && isOpen()) {
        // Left chooses what is under the pointer; right (the gamepad's B) goes back.
        if (e.button == InputEvent::kRight) {
          back();
        } else if (int index = entryAt(pointerX_, pointerY_); index >= 0 && e.button == InputEvent::kLeft) {
          const PixelRect& box = entries_[static_cast<size_t>(index)].box;
          choose(index, pointerX_ < box.x + box.w / 2 ? -1 : 1);
        }
      }
      return taken;
    }
    case InputEvent::kDblClick:
      return isOpen();
    case InputEvent::kMenu:
      toggle();
      return true;
    case InputEvent::kFocusOut:
      // A Ctrl let go in another window is never heard of here.
      ctrl_[0] = ctrl_[1] = false;
      return false;
    default:
      return false;  // focus, quit and the pad belong to the host
  }
}

void PlayerMenu::toggle() {
  if (isOpen())
    close();
  else
    open();
}

void PlayerMenu::open() {
  if (isOpen()) return;
  show(Page::kMain);
}

void PlayerMenu::close() {
  page_ = Page::kClosed;
  entries_.clear();
}

unsigned PlayerMenu::takeRequests() {
  unsigned r = requests_;
  requests_ = 0;
  return r;
}

void PlayerMenu::show(Page page) {
  page_ = page;
  status_.clear();
  selected_ = 0;
  scroll_ = 0;
  build();
  layout();
}

// The entries of the current page, with their words.
void PlayerMenu::build() {
  entries_.clear();
  auto add = [this](MenuEntry::Kind kind, std::string label) {
    entries_.push_back({});
    entries_.back().kind = kind;
    entries_.back().label = std::move(label);
  };
  switch (page_) {
    case Page::kClosed:
      return;
    case Page::kMain:
      title_ = "Paused";
      add(MenuEntry::kResume, "Resume");
      add(MenuEntry::kSave, "Save");
      add(MenuEntry::kLoad, "Load");
      add(MenuEntry::kOptions, "Options");
      add(MenuEntry::kQuit, "Quit");
      return;
    case Page::kSave:
    case Page::kLoad:
      title_ = page_ == Page::kSave ? "Save" : "Load";
      addSlots(page_ == Page::kSave);
      add(MenuEntry::kBack, "Back");
      return;
    case Page::kNaming:
      title_ = "Name the save in slot " + std::to_string(namingSlot_);
      add(MenuEntry::kName, name_);
      add(MenuEntry::kConfirm, "Save");
      add(MenuEntry::kBack, "Back");
      return;
    case Page::kOptions:
      title_ = "Options";
      add(MenuEntry::kMasterVolume, "Master volume: " + std::to_string(options_.masterVolume) + "%");
      add(MenuEntry::kMusicVolume, "Music volume: " + std::to_string(options_.musicVolume) + "%");
      add(MenuEntry::kMute, "Mute: " + onOff(options_.mute));
      add(MenuEntry::kFullScreen, "Full screen: " + onOff(options_.fullScreen.value_or(false)));
      add(MenuEntry::kBack, "Back");
      return;
  }
}

// The slot rows: on the Save page every slot from 1 (empty ones too), on the Load page the saves
// there are, the autosave first.
void PlayerMenu::addSlots(bool forSaving) {
  std::vector<SaveSlotInfo> saved = saves_ ? saves_->listSlots() : std::vector<SaveSlotInfo>{};
  auto row = [this](int slot, const SaveSlotInfo* info) {
    MenuEntry entry;
    entry.kind = MenuEntry::kSlot;
    entry.slot = slot;
    entry.label = slot == 0 ? "Autosave" : "Slot " + std::to_string(slot);
    if (info && !info->name.empty() && slot != 0) entry.label += ": " + info->name;
    entry.detail = info ? info->scene + ", " + info->date : "Empty";
    if (info) entry.thumbnail = thumbnailOf(info->thumbnailPng);
    entries_.push_back(std::move(entry));
  };
  if (forSaving) {
    for (int slot = 1; slot <= kSaveSlots; ++slot) {
      auto found = std::find_if(saved.begin(), saved.end(), [slot](const SaveSlotInfo& s) { return s.slot == slot; });
      row(slot, found == saved.end() ? nullptr : &*found);
    }
  } else {
    for (const SaveSlotInfo& info : saved)
      if (info.slot >= 0) row(info.slot, &info);
  }
  if (!saves_)
    status_ = forSaving ? "Saving is not available." : "Loading is not available.";
  else if (!forSaving && saved.empty())
    status_ = "No saves yet.";
}

// Places the panel in the middle of the screen and the entries in it, one under the other. Slot
// rows that do not fit scroll: the selected one is always in view, Back always under them.
void PlayerMenu::layout() {
  int panelWidth = std::max(1, std::min(kPanelWidth, width_ - 2 * kMargin));
  int room = height_ - 2 * kMargin - 2 * kPad - kTitleHeight - kStatusHeight;
  int slots = 0, other = 0;
  for (const MenuEntry& e : entries_) (e.kind == MenuEntry::kSlot ? slots : other)++;
  int visible = std::clamp((room - other * kRowHeight) / kSlotRowHeight, 1, std::max(1, slots));
  if (selected_ < slots) scroll_ = std::clamp(scroll_, selected_ - visible + 1, selected_);
  scroll_ = std::clamp(scroll_, 0, std::max(0, slots - visible));
  int content = std::min(slots, visible) * kSlotRowHeight + other * kRowHeight;
  int panelHeight = 2 * kPad + kTitleHeight + content + kStatusHeight;
  panel_ = {(width_ - panelWidth) / 2, (height_ - panelHeight) / 2, panelWidth, panelHeight};
  int x = panel_.x + kPad, w = panelWidth - 2 * kPad, y = panel_.y + kPad;
  titleBox_ = {x, y, w, kTitleHeight};
  y += kTitleHeight;
  int slot = 0;
  for (MenuEntry& e : entries_) {
    if (e.kind == MenuEntry::kSlot) {
      bool shown = slot >= scroll_ && slot < scroll_ + visible;
      ++slot;
      e.box = shown ? PixelRect{x, y, w, kSlotRowHeight} : PixelRect{};
      if (shown) y += kSlotRowHeight;
    } else {
      e.box = {x, y, w, kRowHeight};
      y += kRowHeight;
    }
  }
  statusBox_ = {x, y, w, kStatusHeight};
}

void PlayerMenu::key(int code) {
  if (code == kUp)
    move(-1);
  else if (code == kDown)
    move(1);
  else if ((code == kLeft || code == kRight) && !entries_.empty())
    adjust(entries_[static_cast<size_t>(selected_)].kind, code == kLeft ? -1 : 1);
  else if (code == kEnter && !entries_.empty())
    choose(selected_, 0);
  else if (code == kEscape)
    back();
  else if (code == kBackspace && page_ == Page::kNaming && !name_.empty()) {
    // The last character: its continuation bytes, then the byte that starts it.
    while (!name_.empty() && (static_cast<unsigned char>(name_.back()) & 0xC0) == 0x80) name_.pop_back();
    if (!name_.empty()) name_.pop_back();
    build();
    layout();
  }
}

// A typed character joins the name while one is being typed: printable, one the built-in font's
// code page has, up to the longest name.
void PlayerMenu::typed(const std::string& text) {
  if (page_ != Page::kNaming || characters(name_) >= kMaxNameLength) return;
  char32_t c = 0;
  if (text.empty() || cp1250::utf8At(text, 0, c) != text.size() || c < 0x20 || c == 0x7F) return;
  if (cp1250::fromUtf8(text) == "?" && text != "?") return;
  name_ += text;
  int kept = selected_;
  build();
  selected_ = kept;
  layout();
}

void PlayerMenu::point(int x, int y) {
  pointerX_ = x;
  pointerY_ = y;
  if (int index = entryAt(x, y); index >= 0) selected_ = index;
}

int PlayerMenu::entryAt(int x, int y) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (inside(entries_[i].box, x, y)) return static_cast<int>(i);
  return -1;
}

void PlayerMenu::move(int step) {
  int n = static_cast<int>(entries_.size());
  if (n == 0) return;
  selected_ = ((selected_ + step) % n + n) % n;
  layout();
}

// Enter (direction 0), a click (-1 on the left half of the entry, 1 on the right) or, on the
// Options page, Left and Right.
void PlayerMenu::choose(int index, int direction) {
  selected_ = index;
  const MenuEntry& entry = entries_[static_cast<size_t>(index)];
  switch (entry.kind) {
    case MenuEntry::kResume: close(); return;
    case MenuEntry::kSave: show(Page::kSave); return;
    case MenuEntry::kLoad: show(Page::kLoad); return;
    case MenuEntry::kOptions: show(Page::kOptions); return;
    case MenuEntry::kQuit:
      requests_ |= kQuit;
      close();
      return;
    case MenuEntry::kBack: back(); return;
    case MenuEntry::kName:
    case MenuEntry::kConfirm: confirmSave(); return;
    case MenuEntry::kSlot:
      if (page_ == Page::kLoad) {
        loadSlot(entry.slot);
      } else if (!saves_) {
        status_ = "Saving is not available.";
      } else {
        namingSlot_ = entry.slot;
        std::string label = entry.label, prefix = "Slot " + std::to_string(entry.slot) + ": ";
        name_ = label.rfind(prefix, 0) == 0 ? label.substr(prefix.size()) : std::string();
        show(Page::kNaming);
      }
      return;
    default: adjust(entry.kind, direction); return;
  }
}

// An option: volumes step by ten (Enter goes up and round from 100 to 0), switches flip.
void PlayerMenu::adjust(MenuEntry::Kind kind, int direction) {
  auto step = [direction](int& volume) {
    volume = direction == 0 ? (volume >= 100 ? 0 : std::min(100, volume + kVolumeStep))
                            : std::clamp(volume + direction * kVolumeStep, 0, 100);
  };
  switch (kind) {
    case MenuEntry::kMasterVolume: step(options_.masterVolume); break;
    case MenuEntry::kMusicVolume: step(options_.musicVolume); break;
    case MenuEntry::kMute: options_.mute = !options_.mute; break;
    case MenuEntry::kFullScreen: options_.fullScreen = !options_.fullScreen.value_or(false); break;
    default: return;
  }
  requests_ |= kApplyOptions;
  int kept = selected_;
  build();
  selected_ = kept;
  layout();
}

// Escape, Back or the right button: one page up; from the main page back to the game.
void PlayerMenu::back() {
  Page from = page_;
  switch (page_) {
    case Page::kClosed: return;
    case Page::kMain: close(); return;
    case Page::kNaming:
      show(Page::kSave);
      selected_ = std::max(0, namingSlot_ - 1);
      layout();
      return;
    default:
      show(Page::kMain);
      selected_ = from == Page::kSave ? 1 : from == Page::kLoad ? 2 : 3;
      layout();
      return;
  }
}

void PlayerMenu::confirmSave() {
  std::string why;
  int slot = namingSlot_;
  if (!saves_) return;
  if (saves_->saveSlot(slot, name_, why)) {
    show(Page::kMain);
    status_ = "Saved in slot " + std::to_string(slot) + ".";
  } else {
    show(Page::kSave);
    selected_ = std::max(0, slot - 1);
    layout();
    status_ = "Not saved: " + why;
  }
}

void PlayerMenu::loadSlot(int slot) {
  std::string why;
  if (!saves_) return;
  if (saves_->loadSlot(slot, why)) {
    close();
  } else {
    status_ = "Not loaded: " + why;
  }
}

}  // namespace tarnvik
