// The engine's one logger: levelled, one line per message on stderr; warnings once per run.
#pragma once

#include <atomic>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

namespace tarnvik::log {

enum class Level { off = 0, error = 1, warn = 2, info = 3, debug = 4, trace = 5 };

namespace detail {
// The level in force; read inline, since every line a script runs asks it whether to trace.
inline std::atomic<Level> g_level{Level::off};
}  // namespace detail

void setLevel(Level level);
inline Level level() { return detail::g_level.load(std::memory_order_relaxed); }
inline bool enabled(Level l) { return l != Level::off && static_cast<int>(l) <= static_cast<int>(level()); }

// Parses "error", "warn", "info", "debug", "trace" or "off"; false for anything else.
bool parseLevel(std::string_view text, Level& out);

// Writes one line "tarnvik: <level>: <text>" to stderr (or the sink set for tests). A warning is
// written the first time only; its repeats are counted for reportRepeats.
void write(Level l, std::string_view text);

// Where a definition came from: the file as named under the game folder (with "/") and the line from
// 1; line 0 for a precompiled file, which keeps no lines. No file: nowhere known.
struct Origin {
  std::shared_ptr<const std::string> file;
  int line = 0;

  bool known() const { return file != nullptr; }
  // "FILE:LINE", "FILE (precompiled)", or empty when unknown.
  std::string text() const;
  static Origin at(std::shared_ptr<const std::string> file, int line) { return Origin{std::move(file), line}; }
};

// How a static check of a game ranks a mistake: an error stops the game doing what the author
// wrote; a warning may be intended. The player writes both as warnings.
enum class Rank { error, warning };

// A warning caused by a definition: "FILE:LINE: warning: MESSAGE" (without a known origin the usual
// line), once per run like every warning; handed to the collector instead when one is set.
void warnAt(const Origin& where, std::string_view message, Rank rank = Rank::error);

// The static check gathers the mistakes the engine meets instead of printing them.
using Collector = void (*)(const Origin& where, Rank rank, std::string_view message);
void setCollector(Collector collector);
// Whether warnings about definitions are wanted (warn level enabled, or a collector set).
bool mistakesWanted();
// The same form at error level (the player's start failures).
void errorAt(const Origin& where, std::string_view message);

// At the end of a run: one line per warning that came more than once, with its count of repeats.
// Forgets the counts.
void reportRepeats();
// Forgets which warnings were written (a new run in the same process, tests).
void resetRepeats();

// Tests may capture output; nullptr restores stderr. The sink receives the text without the prefix.
// Setting a sink forgets the warnings seen so far.
using Sink = void (*)(Level, std::string_view);
void setSink(Sink sink);

}  // namespace tarnvik::log

// The message expression is only built when the level is enabled:
//   TLOG_DEBUG("cannot open " << name << " (tried " << n << " places)");
#define TLOG_AT(lvl, expr)                                             \
  do {                                                                 \
    if (::tarnvik::log::enabled(lvl)) {                                \
      std::ostringstream tlog_stream_;                                 \
      tlog_stream_ << expr;                                            \
      ::tarnvik::log::write(lvl, tlog_stream_.str());                  \
    }                                                                  \
  } while (0)
#define TLOG_ERROR(expr) TLOG_AT(::tarnvik::log::Level::error, expr)
#define TLOG_WARN(expr) TLOG_AT(::tarnvik::log::Level::warn, expr)
#define TLOG_INFO(expr) TLOG_AT(::tarnvik::log::Level::info, expr)
#define TLOG_DEBUG(expr) TLOG_AT(::tarnvik::log::Level::debug, expr)
#define TLOG_TRACE(expr) TLOG_AT(::tarnvik::log::Level::trace, expr)
// A warning about a definition, at its origin: TLOG_WARN_AT(element->getOrigin(), "unknown key " << k);
#define TLOG_MISTAKE(where, rank, expr)                                \
  do {                                                                 \
    if (::tarnvik::log::mistakesWanted()) {                            \
      std::ostringstream tlog_stream_;                                 \
      tlog_stream_ << expr;                                            \
      ::tarnvik::log::warnAt((where), tlog_stream_.str(), (rank));     \
    }                                                                  \
  } while (0)
#define TLOG_WARN_AT(where, expr) TLOG_MISTAKE(where, ::tarnvik::log::Rank::error, expr)
// Something that may be intended (an unknown key, a stale file): a warning even for the check.
#define TLOG_DOUBT_AT(where, expr) TLOG_MISTAKE(where, ::tarnvik::log::Rank::warning, expr)
