// --watch: the game folder's definition files, images, animations and sounds, polled for changes.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace tarnvik {

class GameWatcher {
 public:
  explicit GameWatcher(std::string gameFolder);
  // At most every quarter second of real time: the first file (relative to the game folder, with
  // "/") changed, added or removed since the last look; nothing otherwise.
  std::optional<std::string> poll();
  // Takes the folder's present state as the one to compare with (after a reload).
  void rescan();
  size_t watchedCount() const { return stamps_.size(); }

 private:
  using Stamps = std::map<std::string, std::filesystem::file_time_type>;
  Stamps scan() const;

  std::string folder_;
  Stamps stamps_;
  std::chrono::steady_clock::time_point lastLook_;
};

}  // namespace tarnvik
