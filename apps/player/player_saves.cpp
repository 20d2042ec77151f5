// The player's saves: loading at the start, saving at frames, the autosave and the listing.
#include "player_saves.h"

#include <cinttypes>
#include <cstdio>

#include "application/application.h"
#include "foundation/log.h"

namespace tarnvik {

namespace {

// Autosave period in a window when none is given; runs on the virtual clock (tests) autosave only when asked.
constexpr int kDefaultAutosaveMinutes = 5;

std::string playTime(int64_t ms) {
  int64_t s = ms / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64 ":%02" PRId64 ":%02" PRId64, s / 3600, s / 60 % 60, s % 60);
  return text;
}

}  // namespace

PlayerSaves::PlayerSaves(CApplication& application, const HostOptions& options, const std::string& gameFolder,
                         GameSaves::Host host)
    : options_(options), saves_(application, defaultSavesFolder(gameFolder), gameName(gameFolder), std::move(host)) {
  saves_.setAutosave(options.autosaveMinutes.value_or(options.onVirtualClock() ? 0 : kDefaultAutosaveMinutes));
}

bool PlayerSaves::loadAtStart() {
  std::string why;
  bool fromFile = !options_.loadFile.empty();
  bool loaded = fromFile ? saves_.loadFile(options_.loadFile, why) : saves_.loadSlot(*options_.loadSlot, why);
  if (!loaded) {
    std::string what = fromFile ? options_.loadFile : "slot " + std::to_string(*options_.loadSlot);
    std::fprintf(stderr, "tarnvik: cannot load %s: %s\n", what.c_str(), why.c_str());
  }
  return loaded;
}

void PlayerSaves::list() {
  for (const SaveSlotInfo& slot : saves_.listSlots()) {
    std::printf("%d\t%s\t%s\t%s%s%s\n", slot.slot, slot.scene.c_str(), slot.date.c_str(),
                playTime(slot.playMilliseconds).c_str(), slot.name.empty() ? "" : "\t", slot.name.c_str());
  }
}

void PlayerSaves::afterFrame(int frame) {
  for (const auto& [at, file] : options_.saveAt) {
    if (at != frame) continue;
    std::string why;
    if (saves_.saveFile(file, std::string(), why))
      TLOG_INFO("saved frame " << frame << " into " << file);
    else
      std::fprintf(stderr, "tarnvik: --save-at %d %s: %s\n", frame, file.c_str(), why.c_str());
  }
  saves_.afterFrame();
}

}  // namespace tarnvik
