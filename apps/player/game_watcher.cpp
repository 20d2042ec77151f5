// --watch: a walk of the game folder compared with the last one; only the kinds of file a game
// reads are watched, so files the game itself writes (saves, arrays, logs) do not reload it.
#include "game_watcher.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace tarnvik {
namespace {

constexpr auto kPollPeriod = std::chrono::milliseconds(250);

bool watchedKind(const std::filesystem::path& file) {
  static constexpr std::array<std::string_view, 12> kinds = {".cnv", ".def", ".seq", ".class", ".img", ".ann",
                                                             ".jpg", ".png", ".psd", ".wav", ".fnt", ".bin"};
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return std::find(kinds.begin(), kinds.end(), ext) != kinds.end();
}

}  // namespace

GameWatcher::GameWatcher(std::string gameFolder) : folder_(std::move(gameFolder)) { rescan(); }

GameWatcher::Stamps GameWatcher::scan() const {
  Stamps stamps;
  std::error_code ec;
  namespace fs = std::filesystem;
  for (fs::recursive_directory_iterator it(folder_, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (!it->is_regular_file(ec) || !watchedKind(it->path())) continue;
    auto time = it->last_write_time(ec);
    if (!ec) stamps.emplace(fs::relative(it->path(), folder_, ec).generic_string(), time);
  }
  return stamps;
}

void GameWatcher::rescan() {
  stamps_ = scan();
  lastLook_ = std::chrono::steady_clock::now();
}

std::optional<std::string> GameWatcher::poll() {
  auto now = std::chrono::steady_clock::now();
  if (now - lastLook_ < kPollPeriod) return std::nullopt;
  lastLook_ = now;
  Stamps fresh = scan();
  std::optional<std::string> changed;
  for (const auto& [name, time] : fresh) {
    auto old = stamps_.find(name);
    if (old == stamps_.end() || old->second != time) {
      changed = name;
      break;
    }
  }
  if (!changed)
    for (const auto& [name, time] : stamps_)
      if (!fresh.contains(name)) {
        changed = name;
        break;
      }
  stamps_ = std::move(fresh);
  return changed;
}

}  // namespace tarnvik
