// The saves of one running game: whole files, numbered slots and the autosave.
#include "application/saves/game_saves.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "application/application.h"
#include "application/mc_application.h"
#include "application/saves/thumbnail.h"
#include "files/file.h"
#include "files/path.h"
#include "foundation/atomic_file.h"
#include "foundation/log.h"
#include "graphics/window.h"

namespace tarnvik {

namespace {

// Larger files are not saves of ours (a save of the busiest scene is far below this).
constexpr std::uintmax_t kMaxSaveBytes = 64u * 1024u * 1024u;
constexpr uint32_t kMsPerMinute = 60000;

std::string localDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

bool readFile(const std::string& file, std::vector<uint8_t>& bytes, std::string& why) {
  std::error_code ec;
  std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec) {
    why = "cannot read " + file + ": " + ec.message();
    return false;
  }
  if (size > kMaxSaveBytes) {
    why = file + " is too large to be a save";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    why = "cannot read " + file;
    return false;
  }
  return true;
}

// The application file the game was built from, as it is read (definition or precompiled form).
uint64_t applicationFingerprint(CWindow* window) {
  std::vector<uint8_t> bytes;
  for (const char* name : {"Dane/application.def", "Dane/application.bin"})
    if (CFile::readAll(window, CPath::join(CPath::getDataRoot(), CXString(name)), bytes)) return saves::fingerprint(bytes);
  return 0;
}

// The slot number of a file named "slot-N.sav", or -1.
int slotOfFile(const std::string& file) {
  int slot = -1;
  char rest = 0;
  if (std::sscanf(file.c_str(), "slot-%d.sa%c", &slot, &rest) != 2 || rest != 'v' ||
      file != "slot-" + std::to_string(slot) + ".sav")
    return -1;
  return slot;
}

}  // namespace

GameSaves::GameSaves(CApplication& application, std::string folder, std::string game, Host host)
    : application_(application), folder_(std::move(folder)), game_(std::move(game)), host_(std::move(host)) {
  fingerprint_ = applicationFingerprint(application_.getWindow());
  lastAutosave_ = host_.clock().clockMs;
  lastScene_ = application_.getCurrentSceneName().str();
}

std::string GameSaves::slotFile(int slot) const { return folder_ + "/slot-" + std::to_string(slot) + ".sav"; }

std::vector<SaveSlotInfo> GameSaves::listSlots() {
  std::vector<SaveSlotInfo> slots;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
    int slot = slotOfFile(entry.path().filename().string());
    std::vector<uint8_t> bytes;
    saves::SaveImage image;
    std::string why;
    if (slot < 0 || !readFile(entry.path().string(), bytes, why) || !saves::decodeSave(bytes, image, why) ||
        image.header.game != game_ || image.header.fingerprint != fingerprint_)
      continue;
    slots.push_back({slot, image.header.name, image.header.scene, image.header.date, image.header.playMilliseconds,
                     std::move(image.thumbnailPng)});
  }
  std::sort(slots.begin(), slots.end(), [](const SaveSlotInfo& a, const SaveSlotInfo& b) { return a.slot < b.slot; });
  return slots;
}

bool GameSaves::makeSave(const std::string& name, std::vector<uint8_t>& bytes, std::string& why) {
  CMC_Application* game = application_.getApplication();
  if (!game) {
    why = "no game is running";
    return false;
  }
  saves::HostClock clock = host_.clock();
  saves::SaveImage image;
  image.header = {game_, fingerprint_, application_.getCurrentSceneName().str(), localDate(), clock.clockMs, name, clock.frame};
  if (!saves::captureGame(*game, application_.getConfig(), clock, image, why)) return false;
  image.thumbnailPng = saves::thumbnailOf(application_.getWindow());
  bytes = saves::encodeSave(image);
  return true;
}

bool GameSaves::takeSave(const std::vector<uint8_t>& bytes, std::string& why) {
  CMC_Application* game = application_.getApplication();
  saves::SaveImage image;
  saves::StagedGame staged;
  if (!saves::decodeSave(bytes, image, why)) return false;
  if (image.header.game != game_) {
    why = "a save of another game (" + image.header.game + ")";
    return false;
  }
  if (image.header.fingerprint != fingerprint_) {
    why = "a save of another version of " + game_ + " (its application file differs)";
    return false;
  }
  if (!game || !saves::stageGame(image, staged, why) || !saves::pathExists(*game, staged, why)) {
    if (!game) why = "no game is running";
    return false;
  }
  host_.setClock(staged.clock);
  saves::applyGame(*game, application_.getConfig(), staged);
  lastAutosave_ = staged.clock.clockMs;
  lastScene_ = application_.getCurrentSceneName().str();
  return true;
}

bool GameSaves::saveFile(const std::string& file, const std::string& name, std::string& why) {
  std::vector<uint8_t> bytes;
  if (!makeSave(name, bytes, why)) return false;
  std::error_code ec;
  std::filesystem::path parent = std::filesystem::path(file).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  return replaceFileAtomically(file, bytes.data(), bytes.size(), 0644, false, why);
}

bool GameSaves::loadFile(const std::string& file, std::string& why) {
  std::vector<uint8_t> bytes;
  if (!readFile(file, bytes, why)) return false;
  return takeSave(bytes, why);
}

bool GameSaves::saveSlot(int slot, const std::string& name, std::string& why) {
  if (slot < 0) {
    why = "slot " + std::to_string(slot) + " does not exist";
    return false;
  }
  return saveFile(slotFile(slot), name, why);
}

bool GameSaves::loadSlot(int slot, std::string& why) {
  std::error_code ec;
  if (slot < 0 || !std::filesystem::exists(slotFile(slot), ec)) {
    why = "slot " + std::to_string(slot) + " holds no save";
    return false;
  }
  return loadFile(slotFile(slot), why);
}

void GameSaves::afterFrame() {
  std::string scene = application_.getCurrentSceneName().str();
  uint32_t now = host_.clock().clockMs;
  bool changed = scene != lastScene_;
  lastScene_ = scene;
  if (autosaveMinutes_ <= 0) return;
  bool due = now - lastAutosave_ >= static_cast<uint32_t>(autosaveMinutes_) * kMsPerMinute;
  if (!changed && !due) return;
  lastAutosave_ = now;
  std::string why;
  if (saveSlot(0, std::string(), why))
    TLOG_INFO("autosaved into " << slotFile(0));
  else
    TLOG_WARN("autosave: " << why);
}

}  // namespace tarnvik
