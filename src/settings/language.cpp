// Language identifiers, their numbers and folders, and the language variants of file names.
#include "settings/language.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/log.h"

namespace {

struct LanguageEntry {
  const char* locale;  // ISO 639-1 code of the system locale
  const char* code;    // language identifier
  int number;
  const char* folder;
};

constexpr LanguageEntry kLanguages[] = {
    {"pl", "0415", 1, "POL"}, {"cs", "0405", 2, "CZE"}, {"bg", "0402", 3, "BUL"}, {"ro", "0418", 4, "ROM"},
    {"ru", "0419", 5, "RUS"}, {"hu", "040E", 6, "HUN"}, {"sk", "041B", 7, "SLO"},
};

// English is the usual system language; it has no folder like every language outside the table.
constexpr const char* kEnglishCode = "0409";
constexpr const char* kUnknownCode = "0000";

bool defaultProbe(const CXString& name) {
  std::string path = name.str();
  for (char& c : path)
    if (c == '\\') c = '/';
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  return static_cast<bool>(in);
}

}  // namespace

CLanguageOSVer::CLanguageOSVer() { apply(systemLanguageCode()); }

CLanguageOSVer::CLanguageOSVer(const CXString& code) { apply(code); }

CXString CLanguageOSVer::systemLanguageCode() {
  std::string locale;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) {
      locale = value;
      break;
    }
  }
  // "ll_CC.charset@modifier": the language is the part before the first separator.
  std::string language = locale.substr(0, locale.find_first_of("_.@"));
  for (char& c : language)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (const LanguageEntry& entry : kLanguages)
    if (language == entry.locale) return CXString(entry.code);
  if (language == "en") return CXString(kEnglishCode);
  return CXString(kUnknownCode);
}

int CLanguageOSVer::languageNumber(const CXString& code) {
  for (const LanguageEntry& entry : kLanguages)
    if (code == entry.code) return entry.number;
  return kUnknownLanguage;
}

CXString CLanguageOSVer::languageFolder(int number) {
  for (const LanguageEntry& entry : kLanguages)
    if (number == entry.number) return CXString(entry.folder);
  return CXString();
}

void CLanguageOSVer::apply(const CXString& code) {
  code_ = code;
  code_.AllTrim(' ');
  code_.Upper();
  lang_ = languageNumber(code_);
  folder_ = languageFolder(lang_);
  TLOG_DEBUG("language: " << code_.str() << " -> " << lang_ << " folder \"" << folder_.str() << "\"");
}

void CLanguageOSVer::setLanguageFolder(const CXString& code) {
  apply(code);
  if (keyboardHook_) keyboardHook_(code_);
}

CXString CLanguageOSVer::getLocalFileName(const CXString& name) const {
  if (folder_.isEmpty() || name.isEmpty()) return name;
  const std::string& s = name.str();
  size_t cut = s.find_last_of("\\/");
  std::string variant;
  if (cut == std::string::npos)
    variant = folder_.str() + "\\" + s;
  else
    variant = s.substr(0, cut + 1) + folder_.str() + s[cut] + s.substr(cut + 1);
  CXString candidate(variant);
  bool found = probe_ ? probe_(candidate) : defaultProbe(candidate);
  return found ? candidate : name;
}
