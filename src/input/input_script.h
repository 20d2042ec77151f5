// Scripts of input: the text form that --input plays into a run and --record writes from a real one.
// One event a line, "FRAME VERB ARGS"; "#" starts a comment; also "seed N" and "FRAME clock MS".
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/input.h"

namespace tarnvik {

class InputScript {
 public:
  // Parses the text. On a malformed line returns false with "line N: what is wrong" in `error`.
  // Lines a person may have edited oddly (frames out of order, points off the screen) are accepted
  // and reported in `warnings`.
  bool parse(const std::string& text, int screenWidth, int screenHeight, std::string& error,
             std::vector<std::string>& warnings);
  // Reads and parses a file; errors name the file and the line.
  bool load(const std::string& file, int screenWidth, int screenHeight, std::string& error,
            std::vector<std::string>& warnings);

  // The events of a frame, in file order (appended to `out`).
  void eventsAt(int frame, std::vector<InputEvent>& out) const;
  // The clock advance in force at a frame, when the script sets one.
  std::optional<uint32_t> clockAt(int frame) const;
  std::optional<uint32_t> seed() const { return seed_; }
  // The frame after the last event.
  int length() const;

 private:
  std::map<int, std::vector<InputEvent>> events_;
  std::map<int, uint32_t> clock_;
  std::optional<uint32_t> seed_;
};

// Writes the script form of a run as it happens.
class InputRecorder {
 public:
  void seed(uint32_t value);
  // One frame: the clock advance (written when it differs from the previous one) and the events.
  void frame(int frame, uint32_t clockMs, const std::vector<InputEvent>& events);
  // The run was ended by the person at this frame (before its tick).
  void quit(int frame);
  const std::string& text() const { return text_; }
  // One line for an event ("move 10 20", "keydown A", ...); empty for one the form cannot hold.
  static std::string format(const InputEvent& event);

 private:
  std::string text_;
  std::optional<uint32_t> lastClock_;
};

}  // namespace tarnvik
