// Logger state and the stderr writer.
#include "foundation/log.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "foundation/cp1250.h"

namespace tarnvik::log {
namespace {
std::atomic<Level> g_level{Level::off};
std::atomic<Sink> g_sink{nullptr};
std::mutex g_write_mutex;

const char* levelName(Level l) {
  switch (l) {
    case Level::error: return "error";
    case Level::warn: return "warn";
    case Level::info: return "info";
    case Level::debug: return "debug";
    case Level::trace: return "trace";
    default: return "off";
  }
}
}  // namespace

void setLevel(Level l) { g_level.store(l); }
Level level() { return g_level.load(std::memory_order_relaxed); }

bool parseLevel(std::string_view text, Level& out) {
  static const Level all[] = {Level::off, Level::error, Level::warn, Level::info, Level::debug, Level::trace};
  for (Level l : all) {
    if (text == levelName(l)) {
      out = l;
      return true;
    }
  }
  return false;
}

void setSink(Sink sink) { g_sink.store(sink); }

void write(Level l, std::string_view raw) {
  // Names from definition files are Windows-1250 bytes: a person reads them in UTF-8.
  std::string text = cp1250::displayUtf8(raw);
  if (Sink sink = g_sink.load()) {
    sink(l, text);
    return;
  }
  std::lock_guard<std::mutex> lock(g_write_mutex);
  std::fprintf(stderr, "tarnvik: %s: %.*s\n", levelName(l), static_cast<int>(text.size()), text.data());
}

}  // namespace tarnvik::log
