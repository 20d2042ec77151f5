// Language identifiers from the environment and scripts, folders, and language variants of file names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "settings/language.h"

namespace {

// Sets LC_ALL, LC_MESSAGES and LANG (nullptr: unset) for one test and restores them afterwards.
struct LocaleEnv {
  static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::optional<std::string> saved[3];
  static void set(const char* name, const char* value) { value ? setenv(name, value, 1) : unsetenv(name); }
  LocaleEnv(const char* all, const char* messages, const char* lang) {
    const char* values[] = {all, messages, lang};
    for (int i = 0; i < 3; ++i) {
      if (const char* old = std::getenv(kNames[i])) saved[i] = old;
      set(kNames[i], values[i]);
    }
  }
  ~LocaleEnv() {
    for (int i = 0; i < 3; ++i) set(kNames[i], saved[i] ? saved[i]->c_str() : nullptr);
  }
};

TEST(Language, SystemLanguageFromFirstNonEmptyVariable) {
  const struct { const char* all; const char* messages; const char* lang; int number; const char* folder; } cases[] = {
      {nullptr, nullptr, "pl_PL.UTF-8", 1, "POL"}, {"", "hu_HU", "pl_PL", 6, "HUN"}, {"SK", "hu_HU", "pl", 7, "SLO"},
      {nullptr, nullptr, "cs_CZ.ISO-8859-2@euro", 2, "CZE"}, {nullptr, nullptr, "de_DE.UTF-8", 9, ""},
      {nullptr, nullptr, "C", 9, ""}, {nullptr, nullptr, "plx_PL", 9, ""}, {nullptr, nullptr, nullptr, 9, ""},
  };
  for (const auto& c : cases) {
    LocaleEnv env(c.all, c.messages, c.lang);
    CLanguageOSVer lang;
    EXPECT_EQ(lang.getLang(), c.number) << (c.lang ? c.lang : "(unset)");
    EXPECT_EQ(lang.getLanguageFolder().str(), c.folder);
  }
}

TEST(Language, IdentifierTableAndScriptChanges) {
  const char* codes[] = {"0415", "0405", "0402", "0418", "0419", "040E", "041B"};
  std::string folders;
  for (int i = 0; i < 7; ++i) folders += CLanguageOSVer(codes[i]).getLanguageFolder().str() + std::to_string(CLanguageOSVer(codes[i]).getLang());
  EXPECT_EQ(folders, "POL1CZE2BUL3ROM4RUS5HUN6SLO7");
  CLanguageOSVer lang("0409");
  EXPECT_EQ(lang.getLang(), 9);
  std::vector<std::string> calls;
  lang.setKeyboardLayoutHook([&](const CXString& code) { calls.push_back(code.str()); });
  lang.setLanguageFolder(" 040e ");
  EXPECT_EQ(lang.getLanguageFolder().str(), "HUN");
  lang.setLanguageFolder("415");
  EXPECT_EQ(lang.getLanguageFolder().str(), "");
  EXPECT_EQ(calls, (std::vector<std::string>{"040E", "415"}));
}

TEST(Language, LocalFileNameThroughProbe) {
  CLanguageOSVer lang("0415");
  lang.setFileProbe([](const CXString& p) {
    return p.str() == "ANIMS\\POL\\A.ANN" || p.str() == "POL\\B.IMG";
  });
  EXPECT_EQ(lang.getLocalFileName("ANIMS\\A.ANN").str(), "ANIMS\\POL\\A.ANN");
  EXPECT_EQ(lang.getLocalFileName("B.IMG").str(), "POL\\B.IMG");
  EXPECT_EQ(lang.getLocalFileName("ANIMS\\X.ANN").str(), "ANIMS\\X.ANN");
  CLanguageOSVer none("0409");
  none.setFileProbe([](const CXString&) { return true; });
  EXPECT_EQ(none.getLocalFileName("ANIMS\\A.ANN").str(), "ANIMS\\A.ANN");
}

TEST(Language, LocalFileNameOnDisk) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tarnvik-lang-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir / "ANIMS" / "POL" / "D.ANN");  // a folder is not a file variant
  std::ofstream(dir / "ANIMS" / "POL" / "A.ANN") << "x";
  CLanguageOSVer lang("0415");
  std::string base = dir.string() + "/ANIMS\\";
  EXPECT_EQ(lang.getLocalFileName(base + "A.ANN").str(), base + "POL\\A.ANN");
  EXPECT_EQ(lang.getLocalFileName(base + "B.ANN").str(), base + "B.ANN");
  EXPECT_EQ(lang.getLocalFileName(base + "D.ANN").str(), base + "D.ANN");
  fs::remove_all(dir);
}

}  // namespace
