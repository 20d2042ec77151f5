// Word splitting and the single recognition pass of the command-line options.
#include "settings/commandline.h"

#include <cstdint>

#include "foundation/log.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::vector<CXString> splitWords(const std::string& line) {
  std::vector<CXString> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i])) ++i;
    size_t start = i;
    while (i < line.size() && !isBlank(line[i])) ++i;
    if (i > start) words.emplace_back(line.substr(start, i - start));
  }
  return words;
}

std::string joinWords(int count, const char* const* words) {
  std::string line;
  for (int i = 0; words && i < count; ++i) {
    if (!words[i]) continue;
    if (!line.empty()) line += ' ';
    line += words[i];
  }
  return line;
}

std::string joinWords(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) {
    if (!line.empty()) line += ' ';
    line += w;
  }
  return line;
}

// A plain positive decimal number within the limit, or 0.
int parseDimension(const CXString& text, int limit) {
  const std::string& s = text.str();
  if (s.empty() || s.size() > 9) return 0;
  int64_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return (value >= 1 && value <= limit) ? static_cast<int>(value) : 0;
}

// The options the engine knows, with the number of words each takes as its value. "server" takes
// the next word only when that is not an option word; -1 stands for that.
struct KnownOption {
  const char* name;
  int values;
};
constexpr KnownOption kKnownOptions[] = {
    {"nomusic", 0}, {"nosound", 0}, {"window", 0},   {"nogfx", 0},    {"client", 0},  {"pf", 0},
    {"code", 0},    {"decode", 0},  {"remove", 0},   {"vmem", 0},     {"cheat", 0},   {"2bin", 0},
    {"forceCNV", 0}, {"debug", 0},  {"bigfile", 0},  {"log", 0},      {"params", 0},  {"noframe", 0},
    {"pack", 0},    {CCommandLine6::kAccessWord, 0}, {"server", -1},  {"res", 2},     {"path", 1},
    {"game", 1},    {"delay", 1},   {"file", 1},     {"player", 1},   {"fullname", 1}, {"version", 1},
};

const KnownOption* knownOption(const std::string& word) {
  if (word.size() < 2 || (word[0] != '-' && word[0] != '/')) return nullptr;
  for (const KnownOption& option : kKnownOptions)
    if (word.compare(1, std::string::npos, option.name) == 0) return &option;
  return nullptr;
}

bool isOptionWord(const CXString& word) {
  return word.length() > 1 && (word.GetAt(0) == '-' || word.GetAt(0) == '/');
}

}  // namespace

CCommandLine6::CCommandLine6() { parse(); }

std::vector<bool> CCommandLine6::optionWords(const std::vector<std::string>& words) {
  std::vector<bool> marked(words.size(), false);
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    const KnownOption* option = knownOption(w);
    if (!option && !(w.size() > 1 && w[0] == '-')) continue;
    marked[i] = true;
    int values = option ? option->values : 0;
    if (values < 0) values = (i + 1 < words.size() && !isOptionWord(CXString(words[i + 1]))) ? 1 : 0;
    for (int v = 0; v < values && i + 1 < words.size(); ++v) marked[++i] = true;
  }
  return marked;
}

CCommandLine6::CCommandLine6(const CXString& commandLine) : line_(commandLine) { parse(); }

CCommandLine6::CCommandLine6(int argc, const char* const* argv) : line_(joinWords(argc, argv)) { parse(); }

CCommandLine6::CCommandLine6(const std::vector<std::string>& words) : line_(joinWords(words)) { parse(); }

CXString CCommandLine6::getWord(int index) const {
  if (index < 0 || index >= getWordCount()) return CXString();
  return words_[index];
}

int CCommandLine6::findOption(const std::string& name) const {
  if (name.empty()) return -1;
  for (size_t i = 0; i < words_.size(); ++i) {
    const std::string& w = words_[i].str();
    if (w.size() == name.size() + 1 && (w[0] == '-' || w[0] == '/') && w.compare(1, std::string::npos, name) == 0)
      return static_cast<int>(i);
  }
  return -1;
}

bool CCommandLine6::optionValue(const std::string& name, CXString& value) const {
  int index = findOption(name);
  if (index < 0) return false;
  if (index + 1 >= getWordCount()) {
    TLOG_WARN("command line: option -" << name << " has no value; ignored");
    return false;
  }
  value = words_[index + 1];
  return true;
}

void CCommandLine6::parse() {
  words_ = splitWords(line_.str());
  auto has = [this](const char* name) { return findOption(name) >= 0; };

  music_ = !has("nomusic");
  sound_ = !has("nosound");
  window_ = has("window");
  noGfx_ = has("nogfx");
  client_ = has("client");
  pageFlipping_ = has("pf");
  code_ = has("code");
  decode_ = has("decode");
  remove_ = has("remove");
  vmem_ = has("vmem");
  cheat_ = has("cheat") || has(kAccessWord);
  toBin_ = has("2bin");
  forceCnv_ = has("forceCNV");
  debug_ = has("debug");
  bigFile_ = has("bigfile");
  log_ = has("log");
  params_ = has("params");
  noFrame_ = has("noframe");
  pack_ = has("pack");

  // "server" takes an address only when one follows; another option word after it is not an address.
  int serverIndex = findOption("server");
  server_ = serverIndex >= 0;
  if (server_ && serverIndex + 1 < getWordCount() && !isOptionWord(words_[serverIndex + 1]))
    serverAddress_ = words_[serverIndex + 1];

  int resIndex = findOption("res");
  if (resIndex >= 0) {
    if (resIndex + 2 < getWordCount()) {
      int w = parseDimension(words_[resIndex + 1], kMaxResolution);
      int h = parseDimension(words_[resIndex + 2], kMaxResolution);
      if (w > 0 && h > 0) {
        resWidth_ = w;
        resHeight_ = h;
      } else {
        TLOG_WARN("command line: -res " << words_[resIndex + 1].str() << " " << words_[resIndex + 2].str()
                                        << " is not a valid resolution; ignored");
      }
    } else {
      TLOG_WARN("command line: -res needs a width and a height; ignored");
    }
  }

  CXString value;
  if (optionValue("path", value)) path_ = value;
  if (optionValue("game", value)) {
    path_ = value;
    gameName_ = value;
  }
  if (optionValue("delay", value)) delay_ = value.toNumber();
  if (optionValue("file", value)) packFile_ = value;
  if (optionValue("player", value)) player_ = value;
}

bool CCommandLine6::getResolution(int& width, int& height) const {
  if (!hasResolution()) return false;
  width = resWidth_;
  height = resHeight_;
  return true;
}

CXString CCommandLine6::getPackSource() const { return pack_ ? path_ : CXString(); }

CXString CCommandLine6::getPackFileName() const {
  if (!pack_) return CXString();
  if (!packFile_.isEmpty()) return packFile_;
  std::string folder = path_.str();
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  if (folder.empty()) return CXString();
  return CXString(folder + ".pik");
}

bool CCommandLine6::isParameter(const CXString& name) const { return findOption(name.str()) >= 0; }

CXString CCommandLine6::getParameter(const CXString& name) const {
  int index = findOption(name.str());
  if (index < 0 || index + 1 >= getWordCount()) return CXString();
  return words_[index + 1];
}

CXString CCommandLine6::getFullName() const {
  CXString name = getParameter("fullname");
  name.Replace('_', ' ');
  return name;
}

CXString CCommandLine6::getVersion() const { return getParameter("version"); }
