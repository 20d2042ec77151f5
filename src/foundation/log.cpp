// Logger state, the stderr writer and the once-per-run bookkeeping of warnings.
#include "foundation/log.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "foundation/cp1250.h"

namespace tarnvik::log {
namespace {
std::atomic<Sink> g_sink{nullptr};
std::atomic<Collector> g_collector{nullptr};
std::mutex g_write_mutex;
// Every warning written so far, with the number of times it came again (in order of text).
std::map<std::string, int, std::less<>> g_seen;

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

// A line in its final form: located ones as "FILE:LINE: warning: TEXT", others with the prefix.
void emit(Level l, std::string_view raw, bool located) {
  // Names from definition files are Windows-1250 bytes: a person reads them in UTF-8.
  std::string text = cp1250::displayUtf8(raw);
  if (Sink sink = g_sink.load()) {
    sink(l, text);
    return;
  }
  if (located)
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  else
    std::fprintf(stderr, "tarnvik: %s: %.*s\n", levelName(l), static_cast<int>(text.size()), text.data());
}

// Writes a warning the first time it comes; counts it otherwise.
void writeOnce(Level l, std::string_view text, bool located) {
  std::lock_guard<std::mutex> lock(g_write_mutex);
  if (l == Level::warn) {
    auto it = g_seen.find(text);
    if (it != g_seen.end()) {
      ++it->second;
      return;
    }
    g_seen.emplace(std::string(text), 0);
  }
  emit(l, text, located);
}

std::string locate(const Origin& where, const char* severity, std::string_view message) {
  std::string line = where.text();
  line += ": ";
  line += severity;
  line += ": ";
  line += message;
  return line;
}
}  // namespace

void setLevel(Level l) { detail::g_level.store(l); }

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

// A new sink (a test capturing its own output) starts with no warning seen.
void setSink(Sink sink) {
  g_sink.store(sink);
  resetRepeats();
}

void write(Level l, std::string_view text) { writeOnce(l, text, false); }

std::string Origin::text() const {
  if (!file) return std::string();
  if (line <= 0) return *file + " (precompiled)";
  return *file + ":" + std::to_string(line);
}

void setCollector(Collector collector) { g_collector.store(collector); }
bool mistakesWanted() { return g_collector.load() != nullptr || enabled(Level::warn); }

void warnAt(const Origin& where, std::string_view message, Rank rank) {
  if (Collector collector = g_collector.load()) return collector(where, rank, message);
  if (!enabled(Level::warn)) return;
  if (!where.known()) return writeOnce(Level::warn, message, false);
  writeOnce(Level::warn, locate(where, "warning", message), true);
}

void errorAt(const Origin& where, std::string_view message) {
  if (!enabled(Level::error)) return;
  if (!where.known()) return writeOnce(Level::error, message, false);
  writeOnce(Level::error, locate(where, "error", message), true);
}

void reportRepeats() {
  std::map<std::string, int, std::less<>> seen;
  {
    std::lock_guard<std::mutex> lock(g_write_mutex);
    seen.swap(g_seen);
  }
  for (const auto& [text, repeats] : seen) {
    if (repeats == 0) continue;
    std::string line = "repeated " + std::to_string(repeats) + (repeats == 1 ? " time: " : " times: ") + text;
    emit(Level::warn, line, false);
  }
}

void resetRepeats() {
  std::lock_guard<std::mutex> lock(g_write_mutex);
  g_seen.clear();
}

}  // namespace tarnvik::log
