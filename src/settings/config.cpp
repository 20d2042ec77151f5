// Settings file access over SimpleIni, with change tracking, atomic rewrite and a backup of unparsable files.
#include "settings/config.h"

// Only the narrow, case-insensitive form is used: no wide-character conversion, and the template
// bodies are compiled here instead of linking the packaged library (which pulls in ICU).
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/atomic_file.h"
#include "foundation/log.h"

namespace fs = std::filesystem;

struct CConfig::Store {
  CSimpleIniA ini;  // case-insensitive names
  std::string trailer;  // comment lines the parser does not keep, written back at the end
};

namespace {

// Larger files are not settings files; they are kept aside untouched rather than loaded.
constexpr std::uintmax_t kMaxFileSize = 16u * 1024u * 1024u;

std::string_view trimmed(std::string_view s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

// Whether every line is something the parser keeps (blank, comment, section header, key=value), so
// rewriting the file loses nothing of it.
bool parsesCleanly(std::string_view data) {
  if (data.find('\0') != std::string_view::npos) return false;
  if (data.substr(0, 3) == "\xEF\xBB\xBF") data.remove_prefix(3);
  while (!data.empty()) {
    size_t end = data.find('\n');
    std::string_view line = trimmed(data.substr(0, end));
    data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.find(']') == std::string_view::npos) return false;
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
  }
  return true;
}

bool hasLineBreakOrNul(const std::string& s) { return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

bool validSection(const std::string& s) {
  std::string_view t = trimmed(s);
  return !t.empty() && !hasLineBreakOrNul(s) && s.find(']') == std::string::npos;
}

bool validKey(const std::string& s) {
  std::string_view t = trimmed(s);
  return !t.empty() && !hasLineBreakOrNul(s) && s.find('=') == std::string::npos && t[0] != ';' && t[0] != '#' &&
         t[0] != '[';
}

std::vector<std::string_view> trimmedLines(std::string_view data) {
  std::vector<std::string_view> lines;
  while (!data.empty()) {
    size_t end = data.find('\n');
    lines.push_back(trimmed(data.substr(0, end)));
    data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);
  }
  return lines;
}

// The comment lines of the original text that the parser's own output lacks (it keeps only comments
// that precede an entry, plus the first block of the file), in their original order. They are
// written back at the end of the file so that a rewrite never drops them.
std::string droppedComments(std::string_view original, std::string_view parsed) {
  std::unordered_map<std::string_view, int> kept;
  for (std::string_view line : trimmedLines(parsed)) ++kept[line];
  std::string dropped;
  for (std::string_view line : trimmedLines(original)) {
    if (line.empty() || (line[0] != ';' && line[0] != '#')) continue;
    auto it = kept.find(line);
    if (it != kept.end() && it->second > 0)
      --it->second;
    else
      dropped.append(line).append("\n");
  }
  return dropped;
}

// Profile reads drop one pair of matching quotes around a value.
std::string unquoted(const char* value) {
  std::string s(value);
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
    return s.substr(1, s.size() - 2);
  return s;
}

}  // namespace

CConfig::CConfig(const CXString& fileName) : store_(std::make_unique<Store>()), fileName_(fileName) {
  store_->ini.SetMultiKey(true);  // duplicate keys: the first one is read, a write replaces them all
  store_->ini.SetSpaces(false);   // "key=value" as the platform writes it
  load();
}

CConfig::~CConfig() {
  if (isDirty() && !flush()) TLOG_ERROR("settings: changes to " << fileName_.str() << " could not be saved");
}

void CConfig::load() {
  if (fileName_.isEmpty()) return;
  fs::path path(fileName_.str());
  std::error_code ec;
  fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) {
    TLOG_DEBUG("settings: " << fileName_.str() << " does not exist yet");
    return;
  }
  if (!fs::is_regular_file(status)) {
    TLOG_ERROR("settings: " << fileName_.str() << " is not a regular file; it will not be written");
    writeBlocked_ = true;
    return;
  }
  std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxFileSize) {
    TLOG_ERROR("settings: " << fileName_.str() << " is too large to be a settings file; not loaded");
    needsBackup_ = true;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  std::string data;
  if (in) data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    TLOG_ERROR("settings: cannot read " << fileName_.str() << "; it will not be written");
    writeBlocked_ = true;
    return;
  }
  needsBackup_ = !parsesCleanly(data);
  if (store_->ini.LoadData(data.data(), data.size()) < 0) {
    store_->ini.Reset();
    needsBackup_ = true;
  }
  std::string parsed;
  if (!needsBackup_ && store_->ini.Save(parsed) >= 0) store_->trailer = droppedComments(data, parsed);
  if (needsBackup_)
    TLOG_WARN("settings: " << fileName_.str() << " holds lines that cannot be parsed; it will be kept as "
                           << fileName_.str() << ".bak before being rewritten");
}

int CConfig::GetInt(const CXString& section, const CXString& key, int defaultValue) const {
  const char* value = store_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
  if (!value) return defaultValue;
  return CXString::toNumber(CXString(unquoted(value)));
}

CXString CConfig::GetString(const CXString& section, const CXString& key, const CXString& defaultValue) const {
  const char* value = store_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
  if (!value) return defaultValue;
  return CXString(unquoted(value));
}

bool CConfig::PutInt(const CXString& section, const CXString& key, int value) {
  return PutString(section, key, CXString::toString(value));
}

bool CConfig::PutString(const CXString& section, const CXString& key, const CXString& value) {
  if (!validSection(section.str()) || !validKey(key.str()) || hasLineBreakOrNul(value.str())) {
    TLOG_WARN("settings: refused to store [" << section.str() << "] " << key.str()
                                             << ": the name or value cannot be held in a settings file");
    return false;
  }
  bool hasMultiple = false;
  const char* old = store_->ini.GetValue(section.c_str(), key.c_str(), nullptr, &hasMultiple);
  if (old && !hasMultiple && value.str() == old) return true;
  // An existing entry keeps the spelling of its name, as the platform does when it rewrites a value.
  std::string storedKey = key.str();
  if (const CSimpleIniA::TKeyVal* keys = store_->ini.GetSection(section.c_str())) {
    auto it = keys->find(CSimpleIniA::Entry(key.c_str()));
    if (it != keys->end()) storedKey = it->first.pItem;
  }
  if (store_->ini.SetValue(section.c_str(), storedKey.c_str(), value.c_str(), nullptr, true) < 0) {
    TLOG_ERROR("settings: cannot store [" << section.str() << "] " << key.str());
    return false;
  }
  dirty_ = true;
  return true;
}

bool CConfig::isDirty() const { return dirty_ && !fileName_.isEmpty() && !writeBlocked_; }

bool CConfig::flush() {
  if (fileName_.isEmpty() || !dirty_) return true;
  if (writeBlocked_) return false;
  std::string data;
  if (!format(data)) {
    TLOG_ERROR("settings: cannot format " << fileName_.str());
    return false;
  }
  if (!writeAtomically(data)) return false;
  dirty_ = false;
  return true;
}

bool CConfig::format(std::string& data) const {
  data.clear();
  if (store_->ini.Save(data) < 0) return false;
  if (!store_->trailer.empty()) {
    if (!data.empty() && data.back() != '\n') data += '\n';
    data += store_->trailer;
  }
  return true;
}

std::string CConfig::text() const {
  std::string data;
  format(data);
  return data;
}

bool CConfig::replaceText(const std::string& text) {
  if (!parsesCleanly(text)) return false;
  CSimpleIniA fresh;
  fresh.SetMultiKey(true);
  fresh.SetSpaces(false);
  if (fresh.LoadData(text.data(), text.size()) < 0) return false;
  std::string parsed;
  if (fresh.Save(parsed) < 0) return false;
  store_->trailer = droppedComments(text, parsed);
  store_->ini.Reset();
  store_->ini.LoadData(parsed.data(), parsed.size());
  dirty_ = true;
  return true;
}

bool CConfig::writeAtomically(const std::string& data) {
  std::error_code ec;
  fs::path target(fileName_.str());
  // A symbolic link is written through (the shared replacement follows it), never replaced itself.
  fs::path folder = target.parent_path();
  if (!folder.empty() && !fs::exists(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) {
      TLOG_ERROR("settings: cannot create folder " << folder.string() << ": " << ec.message());
      return false;
    }
  }

  struct stat oldStat {};
  bool exists = ::stat(target.c_str(), &oldStat) == 0;
  if (exists && needsBackup_) {
    fs::path backup = target;
    backup += ".bak";
    if (fs::exists(backup, ec))
      TLOG_WARN("settings: replacing the older backup " << backup.string());
    fs::copy_file(target, backup, fs::copy_options::overwrite_existing, ec);
    if (ec) {
      TLOG_ERROR("settings: cannot keep " << target.string() << " as " << backup.string() << ": " << ec.message()
                                          << "; the file is left as it is");
      return false;
    }
    TLOG_WARN("settings: the unparsable " << target.string() << " was kept as " << backup.string());
  }
  needsBackup_ = false;

  std::string error;
  if (!tarnvik::replaceFileAtomically(target.string(), data.data(), data.size(),
                                      exists ? static_cast<unsigned>(oldStat.st_mode & 07777) : 0666, exists, error)) {
    TLOG_ERROR("settings: " << error);
    return false;
  }
  return true;
}
