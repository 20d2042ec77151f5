// Settings file: case-insensitive entries, change tracking, atomic rewrite, backups of broken files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "settings/config.h"

namespace fs = std::filesystem;

namespace {

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnvik-config-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    file_ = (dir_ / "game.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  static void write(const std::string& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
  static std::string read(const std::string& file) {
    std::ostringstream s;
    s << std::ifstream(file, std::ios::binary).rdbuf();
    return s.str();
  }
  int entriesInDir() const { return static_cast<int>(std::distance(fs::directory_iterator(dir_), {})); }

  fs::path dir_;
  std::string file_;
};

TEST_F(ConfigTest, ReadsIgnoringLetterCase) {
  write(file_, "\xEF\xBB\xBF; saved\r\n[Scene1]\r\nScore=42\r\nName = \"Ala\" \r\n[other]\nlevel=7abc\nbad=abc\n");
  CConfig cfg(file_);
  EXPECT_EQ(cfg.GetInt("SCENE1", "score"), 42);
  EXPECT_EQ(cfg.GetString("scene1", "NAME").str(), "Ala");
  EXPECT_EQ(cfg.GetInt("OTHER", "Level"), 7);
  EXPECT_EQ(cfg.GetInt("other", "bad") + cfg.GetInt("other", "absent"), 0);
  EXPECT_EQ(cfg.GetString("none", "absent", "dflt").str(), "dflt");
  EXPECT_FALSE(cfg.isDirty());
}

TEST_F(ConfigTest, WritesStayInMemoryUntilFlush) {
  write(file_, "; keep me\n[Scene1]\nScore=1\nOther=x\n");
  CConfig cfg(file_);
  EXPECT_TRUE(cfg.PutInt("scene1", "score", 1));
  EXPECT_FALSE(cfg.isDirty());  // same value: nothing to write
  EXPECT_TRUE(cfg.PutInt("SCENE1", "SCORE", -12));
  EXPECT_TRUE(cfg.PutString("New", "Key", "a b,c") && cfg.isDirty());
  EXPECT_EQ(read(file_), "; keep me\n[Scene1]\nScore=1\nOther=x\n");
  EXPECT_TRUE(cfg.flush() && !cfg.isDirty());
  EXPECT_NE(read(file_).find("[Scene1]\nScore=-12\n"), std::string::npos);  // stored spelling kept
  EXPECT_EQ(CConfig(file_).GetString("NEW", "key").str(), "a b,c");
  EXPECT_FALSE(fs::exists(file_ + ".bak"));
}

TEST_F(ConfigTest, RewritesKeepCommentsAndAreStable) {
  write(file_, "; top\n[a]\nk=1\n; about b\n[b]\nj=2\n; last words\n");
  auto rewrite = [&](int value) {
    CConfig cfg(file_);
    cfg.PutInt("a", "k", value);
    EXPECT_TRUE(cfg.flush());
    return read(file_);
  };
  std::string first = rewrite(5);
  rewrite(1);
  EXPECT_EQ(rewrite(5), first);
  EXPECT_NE(first.find("; about b"), std::string::npos);
  EXPECT_NE(first.find("; last words"), std::string::npos);
}

TEST_F(ConfigTest, MissingFileAndFolderCreatedOnFirstWrite) {
  std::string file = (dir_ / "sub" / "new.ini").string();
  {
    CConfig cfg(file);
    EXPECT_TRUE(cfg.flush());
    EXPECT_FALSE(fs::exists(file));
    cfg.PutInt("s", "k", 3);
  }  // the destructor writes what is pending
  EXPECT_EQ(CConfig(file).GetInt("S", "K"), 3);
}

TEST_F(ConfigTest, RewriteReplacesFileAtomically) {
  write(file_, "[s]\nk=old\n");
  CConfig cfg(file_);
  cfg.PutString("s", "k", "new");
  std::ifstream oldReader(file_, std::ios::binary);  // holds the old file open across the rewrite
  ASSERT_TRUE(cfg.flush());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(oldReader), {}), "[s]\nk=old\n");  // never truncated or written in place
  EXPECT_NE(read(file_).find("k=new"), std::string::npos);
  EXPECT_EQ(entriesInDir(), 1);  // no temporary left behind
}

TEST_F(ConfigTest, FailedRenameLeavesNoTemporaryAndStaysDirty) {
  CConfig cfg(file_);
  cfg.PutInt("s", "k", 1);
  fs::create_directory(file_);  // something a file cannot replace appears at the name
  EXPECT_TRUE(!cfg.flush() && cfg.isDirty());
  EXPECT_EQ(entriesInDir(), 1);
  fs::remove(file_);
  EXPECT_TRUE(cfg.flush());
  EXPECT_EQ(CConfig(file_).GetInt("s", "k"), 1);
}

TEST_F(ConfigTest, UnparsableFileKeptAsBackup) {
  for (const std::string& broken : {std::string("[s]\nk=1\nthis means nothing\n[unclosed\n"),
                                    std::string("[s]\nk=1\n\0\x01\x02zz", 13)}) {
    write(file_, broken);
    CConfig cfg(file_);
    EXPECT_TRUE(cfg.GetInt("s", "k") == 1 && cfg.PutInt("s", "k", 2));
    ASSERT_TRUE(cfg.flush());
    cfg.PutInt("s", "k", 3);
    ASSERT_TRUE(cfg.flush());
    EXPECT_EQ(read(file_ + ".bak"), broken);  // the second rewrite did not overwrite the backup
    EXPECT_EQ(CConfig(file_).GetInt("s", "k"), 3);
  }
}

TEST_F(ConfigTest, RefusesNamesAndValuesThatWouldBreakTheFile) {
  CConfig cfg(file_);
  EXPECT_FALSE(cfg.PutString("s", "k", "v\n[evil]\nx=1"));
  EXPECT_FALSE(cfg.PutString("s]x", "k", "v"));
  EXPECT_FALSE(cfg.PutString("s", "a=b", "v"));
  EXPECT_FALSE(cfg.PutString("", "k", "v"));
  EXPECT_EQ(cfg.GetString("s", "k", "none").str() + (cfg.isDirty() ? "dirty" : ""), "none");
}

TEST(ConfigNoFile, EmptyNameKeepsWritesInMemory) {
  CConfig cfg("");
  EXPECT_TRUE(cfg.PutInt("s", "k", 9));
  EXPECT_EQ(cfg.GetInt("S", "K"), 9);
  EXPECT_FALSE(cfg.isDirty());
  EXPECT_TRUE(cfg.flush());
}

}  // namespace

TEST_F(ConfigTest, ATextTakenWholeReplacesEveryEntryAndIsWrittenAsItWasGiven) {
  CConfig source(CXString((dir_ / "a.ini").string()));
  ASSERT_TRUE(source.replaceText("; kept\n[GAME]\nSCORE=12\nNAME=ANNA\n[S]\nX=1\n"));
  const std::string text = source.text();
  EXPECT_NE(text.find("; kept"), std::string::npos);
  CConfig config(CXString((dir_ / "b.ini").string()));
  config.PutString("OLD", "GONE", "1");
  ASSERT_TRUE(config.flush());
  ASSERT_TRUE(config.replaceText(text));
  EXPECT_EQ(config.text(), text) << "the same text comes back";
  EXPECT_EQ(config.GetString("OLD", "GONE", "absent").str(), "absent");
  EXPECT_EQ(config.GetInt("game", "score"), 12);
  EXPECT_TRUE(config.isDirty()) << "a replaced text is written at the next flush";
  ASSERT_TRUE(config.flush());
  EXPECT_EQ(read((dir_ / "b.ini").string()), text);
  // A text the file format cannot hold changes nothing.
  EXPECT_FALSE(config.replaceText("[GAME\nnot a line\n"));
  EXPECT_EQ(config.GetInt("GAME", "SCORE"), 12);
}
