// Fuzz target: arbitrary text through the parser of input scripts (--input). A script that parses
// is written again the way --record writes a run, and that text must parse to the same events.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "input/input_script.h"

namespace {

// Equal in what the engine reads of each kind (a press or release happens where the pointer is).
bool same(const tarnvik::InputEvent& a, const tarnvik::InputEvent& b) {
  using tarnvik::InputEvent;
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case InputEvent::kMove:
    case InputEvent::kDblClick: return a.x == b.x && a.y == b.y;
    case InputEvent::kDown:
    case InputEvent::kUp: return a.button == b.button;
    case InputEvent::kKeyDown:
    case InputEvent::kKeyUp: return a.key == b.key;
    case InputEvent::kChar: return a.text == b.text;
    case InputEvent::kQuit: return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnvik::log::setLevel(tarnvik::log::Level::off);
  using tarnvik::InputEvent;
  const std::string text(reinterpret_cast<const char*>(data), size);
  tarnvik::InputScript script;
  std::string error;
  std::vector<std::string> warnings;
  if (!script.parse(text, 800, 600, error, warnings)) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  // Round trip through the recorder, for scripts short enough to walk frame by frame.
  const int length = script.length();
  if (length < 0) std::abort();
  if (length > 5000) return 0;
  tarnvik::InputRecorder recorder;
  if (script.seed()) recorder.seed(*script.seed());
  std::vector<std::vector<InputEvent>> frames(static_cast<size_t>(length) + 1);
  for (int f = 0; f <= length; ++f) {
    std::vector<InputEvent>& events = frames[static_cast<size_t>(f)];
    script.eventsAt(f, events);
    std::vector<InputEvent> recordable;
    for (const InputEvent& e : events) {
      if (e.kind == InputEvent::kQuit) continue;  // written by quit() below
      if (tarnvik::InputRecorder::format(e).empty()) std::abort();  // everything parsed can be written
      recordable.push_back(e);
    }
    recorder.frame(f, script.clockAt(f).value_or(16), recordable);
    for (const InputEvent& e : events)
      if (e.kind == InputEvent::kQuit) recorder.quit(f);
  }
  tarnvik::InputScript again;
  if (!again.parse(recorder.text(), 800, 600, error, warnings)) std::abort();
  if (again.seed() != script.seed()) std::abort();
  for (int f = 0; f <= length; ++f) {
    std::vector<InputEvent> replayed;
    again.eventsAt(f, replayed);
    const std::vector<InputEvent>& original = frames[static_cast<size_t>(f)];
    // A quit ends the run before the frame's other events, so only the quit itself must come back.
    bool quits = false;
    for (const InputEvent& e : original) quits = quits || e.kind == InputEvent::kQuit;
    if (quits) continue;
    if (replayed.size() != original.size()) std::abort();
    for (size_t i = 0; i < original.size(); ++i)
      if (!same(original[i], replayed[i])) std::abort();
  }
  return 0;
}
