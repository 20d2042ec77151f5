// Reading and writing scripts of input.
#include "input/input_script.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "foundation/cp1250.h"
#include "input/keys.h"

namespace tarnvik {
namespace {

bool number(const std::string& word, long long low, long long high, long long& out) {
  const char* end = word.data() + word.size();
  auto [ptr, ec] = std::from_chars(word.data(), end, out);
  return ec == std::errc() && ptr == end && out >= low && out <= high;
}

bool buttonOf(const std::string& word, int& out) {
  if (word == "left") out = InputEvent::kLeft;
  else if (word == "middle") out = InputEvent::kMiddle;
  else if (word == "right") out = InputEvent::kRight;
  else return false;
  return true;
}

const char* buttonName(int button) {
  return button == InputEvent::kRight ? "right" : button == InputEvent::kMiddle ? "middle" : "left";
}

// The code point of a one-character UTF-8 text (0 when it is not one).
unsigned long codePoint(const std::string& text) {
  if (text.empty()) return 0;
  auto b = [&](size_t i) { return static_cast<unsigned long>(static_cast<unsigned char>(text[i])); };
  if (b(0) < 0x80) return text.size() == 1 ? b(0) : 0;
  if ((b(0) >> 5) == 6 && text.size() == 2) return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
  if ((b(0) >> 4) == 14 && text.size() == 3) return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  if ((b(0) >> 3) == 30 && text.size() == 4)
    return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  return 0;
}

// One UTF-8 character, or U+XXXX for one that would not survive the line form.
bool characterOf(const std::string& word, std::string& out) {
  if (word.size() > 2 && (word[0] == 'U' || word[0] == 'u') && word[1] == '+') {
    unsigned long cp = 0;
    auto [ptr, ec] = std::from_chars(word.data() + 2, word.data() + word.size(), cp, 16);
    if (ec != std::errc() || ptr != word.data() + word.size() || cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
      return false;
    out.clear();
    cp1250::appendUtf8(out, static_cast<char32_t>(cp));
    return true;
  }
  auto lead = static_cast<unsigned char>(word.empty() ? 0 : word[0]);
  size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  if (length == 0 || word.size() != length) return false;
  for (size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(word[i]) & 0xC0) != 0x80) return false;
  // NUL, over-long forms and values past Unicode's range are not characters (U+0000 is refused too).
  unsigned long cp = codePoint(word);
  static constexpr unsigned long kLeast[] = {0, 1, 0x80, 0x800, 0x10000};
  if (cp < kLeast[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return false;
  out = word;
  return true;
}

constexpr long long kMaxFrame = 1000000000;
constexpr long long kMaxCoordinate = 1000000;

// The gamepad's buttons as scripts name them, in the order of InputEvent::PadButton.
constexpr const char* kPadButtons[] = {"a", "b", "back", "start", "up", "down", "left", "right"};

// "pad stick X Y" (the left stick, -32768 to 32767 each way), "pad press NAME", "pad release NAME";
// w[0] is the frame, w[1] "pad".
bool parsePad(const std::vector<std::string>& w, int lineNo, InputEvent& e, std::string& error) {
  const std::string where = "line " + std::to_string(lineNo) + ": ";
  if (w.size() == 5 && w[2] == "stick") {
    long long x = 0, y = 0;
    if (!number(w[3], -32768, 32767, x) || !number(w[4], -32768, 32767, y))
      return error = where + "\"pad stick\" takes two deflections from -32768 to 32767", false;
    e.kind = InputEvent::kPadStick;
    e.x = static_cast<int>(x);
    e.y = static_cast<int>(y);
    return true;
  }
  if (w.size() == 4 && (w[2] == "press" || w[2] == "release")) {
    for (int b = 0; b < static_cast<int>(std::size(kPadButtons)); ++b)
      if (w[3] == kPadButtons[b]) {
        e.kind = w[2] == "press" ? InputEvent::kPadDown : InputEvent::kPadUp;
        e.button = b;
        return true;
      }
    return error = where + "\"" + w[3] + "\" is not a pad button (a, b, back, start, up, down, left, right)", false;
  }
  return error = where + "\"pad\" takes stick X Y, press BUTTON or release BUTTON", false;
}

}  // namespace

bool InputScript::parse(const std::string& text, int screenWidth, int screenHeight, std::string& error,
                        std::vector<std::string>& warnings) {
  events_.clear();
  clock_.clear();
  seed_.reset();
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  long long lastFrame = -1;
  bool seenContent = false;
  auto fail = [&](const std::string& what) {
    error = "line " + std::to_string(lineNo) + ": " + what;
    return false;
  };
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A comment starts at a "#" at the beginning or after a blank.
    for (size_t i = 0; i < line.size(); ++i)
      if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
        line.resize(i);
        break;
      }
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    if (w[0] == "seed") {
      long long value = 0;
      if (w.size() != 2 || !number(w[1], 0, 0xFFFFFFFFLL, value)) return fail("\"seed\" takes one number from 0 to 4294967295");
      if (seenContent) warnings.push_back("line " + std::to_string(lineNo) + ": the seed is not on the first line");
      if (seed_) warnings.push_back("line " + std::to_string(lineNo) + ": a second seed replaces the first");
      seed_ = static_cast<uint32_t>(value);
      seenContent = true;
      continue;
    }
    seenContent = true;
    long long frame = 0;
    if (!number(w[0], 0, kMaxFrame, frame)) return fail("\"" + w[0] + "\" is not a frame number (0 to 1000000000) or \"seed\"");
    if (w.size() < 2) return fail("a frame number without a verb");
    if (frame < lastFrame)
      warnings.push_back("line " + std::to_string(lineNo) + ": frame " + std::to_string(frame) + " comes after frame " +
                         std::to_string(lastFrame) + "; events are played in frame order");
    lastFrame = std::max(lastFrame, frame);
    const std::string& verb = w[1];
    size_t args = w.size() - 2;
    auto want = [&](size_t low, size_t high, const char* form) {
      if (args >= low && args <= high) return true;
      error = "line " + std::to_string(lineNo) + ": \"" + verb + "\" takes " + form;
      return false;
    };
    auto point = [&](size_t i, int& x, int& y) {
      long long vx = 0, vy = 0;
      if (!number(w[i], -kMaxCoordinate, kMaxCoordinate, vx) || !number(w[i + 1], -kMaxCoordinate, kMaxCoordinate, vy)) {
        error = "line " + std::to_string(lineNo) + ": \"" + w[i] + " " + w[i + 1] + "\" is not a point (two whole numbers)";
        return false;
      }
      x = static_cast<int>(vx);
      y = static_cast<int>(vy);
      if (x < 0 || y < 0 || x >= screenWidth || y >= screenHeight)
        warnings.push_back("line " + std::to_string(lineNo) + ": " + std::to_string(x) + ", " + std::to_string(y) +
                           " is off the screen; the pointer stops at its edge");
      return true;
    };
    auto keyCode = [&](size_t i, int& code) {
      code = keys::codeOf(w[i]);
      if (code < 0) {
        error = "line " + std::to_string(lineNo) + ": \"" + w[i] + "\" is not a key name";
        return false;
      }
      return true;
    };
    int f = static_cast<int>(frame);
    auto add = [&](int at, InputEvent e) { events_[at].push_back(std::move(e)); };
    InputEvent e;
    if (verb == "move") {
      if (!want(2, 2, "X Y") || !point(2, e.x, e.y)) return false;
      e.kind = InputEvent::kMove;
      add(f, e);
    } else if (verb == "down" || verb == "up") {
      if (!want(1, 1, "a button: left, middle or right")) return false;
      if (!buttonOf(w[2], e.button)) return fail("\"" + w[2] + "\" is not a button (left, middle or right)");
      e.kind = verb == "down" ? InputEvent::kDown : InputEvent::kUp;
      add(f, e);
    } else if (verb == "click") {
      if (!want(2, 3, "X Y and maybe a button") || !point(2, e.x, e.y)) return false;
      if (args == 3 && !buttonOf(w[4], e.button)) return fail("\"" + w[4] + "\" is not a button (left, middle or right)");
      e.kind = InputEvent::kMove;
      add(f, e);
      e.kind = InputEvent::kDown;
      add(f, e);
      e.kind = InputEvent::kUp;
      add(f + 1, e);
    } else if (verb == "dblclick") {
      if (!want(2, 2, "X Y") || !point(2, e.x, e.y)) return false;
      e.kind = InputEvent::kDblClick;
      add(f, e);
    } else if (verb == "keydown" || verb == "keyup" || verb == "key") {
      if (!want(1, 1, "a key name") || !keyCode(2, e.key)) return false;
      e.kind = verb == "keyup" ? InputEvent::kKeyUp : InputEvent::kKeyDown;
      add(f, e);
      if (verb == "key") {
        e.kind = InputEvent::kKeyUp;
        add(f + 1, e);
      }
    } else if (verb == "char") {
      if (!want(1, 1, "one character (or U+XXXX)")) return false;
      if (!characterOf(w[2], e.text)) return fail("\"" + w[2] + "\" is not one character or U+XXXX");
      e.kind = InputEvent::kChar;
      add(f, e);
    } else if (verb == "quit" || verb == "menu") {
      if (!want(0, 0, "nothing")) return false;
      e.kind = verb == "quit" ? InputEvent::kQuit : InputEvent::kMenu;
      add(f, e);
    } else if (verb == "pad") {
      if (!parsePad(w, lineNo, e, error)) return false;
      add(f, e);
    } else if (verb == "focus") {
      if (!want(1, 1, "in or out")) return false;
      if (w[2] != "in" && w[2] != "out") return fail("\"" + w[2] + "\" is not in or out");
      e.kind = w[2] == "in" ? InputEvent::kFocusIn : InputEvent::kFocusOut;
      add(f, e);
    } else if (verb == "clock") {
      long long ms = 0;
      if (!want(1, 1, "milliseconds")) return false;
      if (!number(w[2], 0, 60000, ms)) return fail("\"" + w[2] + "\" is not a clock advance (0 to 60000 ms)");
      clock_[f] = static_cast<uint32_t>(ms);
    } else {
      return fail("unknown verb \"" + verb + "\"");
    }
  }
  return true;
}

bool InputScript::load(const std::string& file, int screenWidth, int screenHeight, std::string& error,
                       std::vector<std::string>& warnings) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = file + ": cannot be read";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<std::string> found;
  if (!parse(text.str(), screenWidth, screenHeight, error, found)) {
    error = file + ": " + error;
    return false;
  }
  for (std::string& w : found) warnings.push_back(file + ": " + w);
  return true;
}

void InputScript::eventsAt(int frame, std::vector<InputEvent>& out) const {
  auto at = events_.find(frame);
  if (at != events_.end()) out.insert(out.end(), at->second.begin(), at->second.end());
}

std::optional<uint32_t> InputScript::clockAt(int frame) const {
  auto at = clock_.upper_bound(frame);
  if (at == clock_.begin()) return std::nullopt;
  return std::prev(at)->second;
}

int InputScript::length() const { return events_.empty() ? 0 : events_.rbegin()->first + 1; }

void InputRecorder::seed(uint32_t value) { text_ += "seed " + std::to_string(value) + "\n"; }

void InputRecorder::frame(int frame, uint32_t clockMs, const std::vector<InputEvent>& events) {
  std::string prefix = std::to_string(frame) + " ";
  if (!lastClock_ || *lastClock_ != clockMs) {
    text_ += prefix + "clock " + std::to_string(clockMs) + "\n";
    lastClock_ = clockMs;
  }
  for (const InputEvent& e : events) {
    std::string line = format(e);
    if (!line.empty()) text_ += prefix + line + "\n";
  }
}

void InputRecorder::quit(int frame) { text_ += std::to_string(frame) + " quit\n"; }

std::string InputRecorder::format(const InputEvent& e) {
  switch (e.kind) {
    case InputEvent::kMove: return "move " + std::to_string(e.x) + " " + std::to_string(e.y);
    case InputEvent::kDown: return std::string("down ") + buttonName(e.button);
    case InputEvent::kUp: return std::string("up ") + buttonName(e.button);
    case InputEvent::kDblClick: return "dblclick " + std::to_string(e.x) + " " + std::to_string(e.y);
    case InputEvent::kKeyDown:
    case InputEvent::kKeyUp: {
      const char* name = keys::nameOf(e.key);
      if (!name) return {};
      return std::string(e.kind == InputEvent::kKeyDown ? "keydown " : "keyup ") + name;
    }
    case InputEvent::kChar: {
      unsigned long cp = codePoint(e.text);
      if (cp == 0) return {};
      if (cp <= 0x20 || cp == '#' || cp == 0x7F) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "U+%04lX", cp);
        return std::string("char ") + hex;
      }
      return "char " + e.text;
    }
    case InputEvent::kQuit: return "quit";
    case InputEvent::kMenu: return "menu";
    case InputEvent::kPadStick:
    case InputEvent::kPadDown:
    case InputEvent::kPadUp: return {};  // the window records what the pad did: moves and clicks
    case InputEvent::kFocusIn: return "focus in";
    case InputEvent::kFocusOut: return "focus out";
  }
  return {};
}

}  // namespace tarnvik
