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

namespace fs = std::filesystem;

namespace {

// Sets the locale variables for one test and restores them afterwards.
class LocaleEnv {
 public:
  LocaleEnv(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* name : kNames) {
      const char* v = std::getenv(name);
      saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
    }
    set("LC_ALL", lcAll);
    set("LC_MESSAGES", lcMessages);
    set("LANG", lang);
  }
  ~LocaleEnv() {
    for (size_t i = 0; i < saved_.size(); ++i) set(kNames[i], saved_[i] ? saved_[i]->c_str() : nullptr);
  }

 private:
  static void set(const char* name, const char* value) {
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::vector<std::optional<std::string>> saved_;
};

TEST(Language, SystemLanguageFromFirstNonEmptyVariable) {
  {
    LocaleEnv env(nullptr, nullptr, "pl_PL.UTF-8");
    CLanguageOSVer lang;
    EXPECT_EQ(lang.getLangCode().str(), "0415");
    EXPECT_EQ(lang.getLang(), 1);
    EXPECT_EQ(lang.getLanguageFolder().str(), "POL");
  }
  {
    LocaleEnv env("", "hu_HU", "pl_PL");
    EXPECT_EQ(CLanguageOSVer().getLanguageFolder().str(), "HUN");
  }
  {
    LocaleEnv env("SK", "hu_HU", "pl_PL");
    EXPECT_EQ(CLanguageOSVer().getLang(), 7);
  }
  {
    LocaleEnv env(nullptr, nullptr, "cs_CZ.ISO-8859-2@euro");
    EXPECT_EQ(CLanguageOSVer::systemLanguageCode().str(), "0405");
  }
}

TEST(Language, UnknownOrMissingLanguageHasNoFolder) {
  for (const char* value : {"de_DE.UTF-8", "C", "POSIX", "en_US", "plx_PL"}) {
    LocaleEnv env(nullptr, nullptr, value);
    CLanguageOSVer lang;
    EXPECT_EQ(lang.getLang(), CLanguageOSVer::kUnknownLanguage) << value;
    EXPECT_EQ(lang.getLanguageFolder().str(), "") << value;
  }
  LocaleEnv none(nullptr, nullptr, nullptr);
  EXPECT_EQ(CLanguageOSVer().getLang(), CLanguageOSVer::kUnknownLanguage);
}

TEST(Language, TableOfIdentifiers) {
  const struct { const char* code; int number; const char* folder; } table[] = {
      {"0415", 1, "POL"}, {"0405", 2, "CZE"}, {"0402", 3, "BUL"}, {"0418", 4, "ROM"},
      {"0419", 5, "RUS"}, {"040E", 6, "HUN"}, {"041B", 7, "SLO"}, {"0409", 9, ""}, {"415", 9, ""}, {"", 9, ""},
  };
  for (const auto& row : table) {
    CLanguageOSVer lang(row.code);
    EXPECT_EQ(lang.getLang(), row.number) << row.code;
    EXPECT_EQ(lang.getLanguageFolder().str(), row.folder) << row.code;
  }
}

TEST(Language, SetLanguageFolderUpperCasesAndCallsKeyboardHook) {
  CLanguageOSVer lang("0415");
  std::vector<std::string> calls;
  lang.setKeyboardLayoutHook([&](const CXString& code) { calls.push_back(code.str()); });
  lang.setLanguageFolder(" 040e ");
  EXPECT_EQ(lang.getLang(), 6);
  EXPECT_EQ(lang.getLanguageFolder().str(), "HUN");
  lang.setLanguageFolder("xyz");
  EXPECT_EQ(lang.getLanguageFolder().str(), "");
  EXPECT_EQ(calls, (std::vector<std::string>{"040E", "XYZ"}));
}

TEST(Language, LocalFileNameThroughProbe) {
  CLanguageOSVer lang("0415");
  std::vector<std::string> probed;
  lang.setFileProbe([&](const CXString& p) {
    probed.push_back(p.str());
    return p.str() == "ANIMS\\POL\\A.ANN" || p.str() == "POL\\B.IMG" || p.str() == "/g/Dane/POL/c.wav";
  });
  EXPECT_EQ(lang.getLocalFileName("ANIMS\\A.ANN").str(), "ANIMS\\POL\\A.ANN");
  EXPECT_EQ(lang.getLocalFileName("B.IMG").str(), "POL\\B.IMG");
  EXPECT_EQ(lang.getLocalFileName("/g/Dane/c.wav").str(), "/g/Dane/POL/c.wav");
  EXPECT_EQ(lang.getLocalFileName("ANIMS\\X.ANN").str(), "ANIMS\\X.ANN");
  EXPECT_EQ(probed.back(), "ANIMS\\POL\\X.ANN");

  CLanguageOSVer none("0409");
  none.setFileProbe([](const CXString&) { return true; });
  EXPECT_EQ(none.getLocalFileName("ANIMS\\A.ANN").str(), "ANIMS\\A.ANN");
}

TEST(Language, LocalFileNameOnDisk) {
  fs::path dir = fs::temp_directory_path() / ("tarnvik-lang-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir / "ANIMS" / "POL");
  std::ofstream(dir / "ANIMS" / "POL" / "A.ANN") << "x";
  std::ofstream(dir / "ANIMS" / "B.ANN") << "x";
  fs::create_directories(dir / "ANIMS" / "POL" / "D.ANN");  // a folder is not a file variant
  CLanguageOSVer lang("0415");
  std::string base = dir.string() + "/ANIMS\\";
  EXPECT_EQ(lang.getLocalFileName(base + "A.ANN").str(), base + "POL\\A.ANN");
  EXPECT_EQ(lang.getLocalFileName(base + "B.ANN").str(), base + "B.ANN");
  EXPECT_EQ(lang.getLocalFileName(base + "D.ANN").str(), base + "D.ANN");
  fs::remove_all(dir);
}

}  // namespace
