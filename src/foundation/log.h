// The engine's one logger: levelled, silent unless enabled, one line per message on stderr.
#pragma once

#include <sstream>
#include <string>
#include <string_view>

namespace tarnvik::log {

enum class Level { off = 0, error = 1, warn = 2, info = 3, debug = 4, trace = 5 };

void setLevel(Level level);
Level level();
inline bool enabled(Level l) { return l != Level::off && static_cast<int>(l) <= static_cast<int>(level()); }

// Parses "error", "warn", "info", "debug", "trace" or "off"; false for anything else.
bool parseLevel(std::string_view text, Level& out);

// Writes one line "tarnvik: <level>: <text>" to stderr (or the sink set for tests).
void write(Level l, std::string_view text);

// Tests may capture output; nullptr restores stderr.
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
