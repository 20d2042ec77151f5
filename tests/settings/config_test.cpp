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
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  static void write(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }
  static std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  int entriesInDir() const { return static_cast<int>(std::distance(fs::directory_iterator(dir_), {})); }

  fs::path dir_;
};

TEST_F(ConfigTest, ReadsIgnoringLetterCase) {
  write(path("game.ini"), "; saved state\r\n[Scene1]\r\nScore=42\r\nName = \"Ala\" \r\n[other]\nlevel=7abc\nbad=abc\n");
  CConfig cfg(path("game.ini"));
  EXPECT_EQ(cfg.GetInt("SCENE1", "score"), 42);
  EXPECT_EQ(cfg.GetString("scene1", "NAME").str(), "Ala");
  EXPECT_EQ(cfg.GetInt("OTHER", "Level"), 7);
  EXPECT_EQ(cfg.GetInt("other", "bad"), 0);
  EXPECT_EQ(cfg.GetInt("other", "absent"), 0);
  EXPECT_EQ(cfg.GetInt("nosection", "absent", 5), 5);
  EXPECT_EQ(cfg.GetString("other", "absent", "dflt").str(), "dflt");
  EXPECT_FALSE(cfg.isDirty());
}

TEST_F(ConfigTest, RoundTripKeepsOriginalNamesAndOtherLines) {
  write(path("game.ini"), "; keep me\n[Scene1]\nScore=1\nOther=x\n");
  {
    CConfig cfg(path("game.ini"));
    EXPECT_TRUE(cfg.PutInt("SCENE1", "SCORE", -12));
    EXPECT_TRUE(cfg.PutString("New", "Key", "a b,c"));
    EXPECT_TRUE(cfg.isDirty());
    EXPECT_EQ(read(path("game.ini")), "; keep me\n[Scene1]\nScore=1\nOther=x\n");  // nothing written yet
    EXPECT_TRUE(cfg.flush());
    EXPECT_FALSE(cfg.isDirty());
  }
  std::string text = read(path("game.ini"));
  EXPECT_NE(text.find("; keep me"), std::string::npos);
  EXPECT_NE(text.find("[Scene1]"), std::string::npos);
  EXPECT_NE(text.find("Score=-12"), std::string::npos);
  CConfig again(path("game.ini"));
  EXPECT_EQ(again.GetInt("scene1", "score"), -12);
  EXPECT_EQ(again.GetString("scene1", "other").str(), "x");
  EXPECT_EQ(again.GetString("NEW", "key").str(), "a b,c");
}

TEST_F(ConfigTest, RepeatedRewritesAreStable) {
  std::string file = path("game.ini");
  write(file, "; top\n[a]\nk=1\n; about b\n[b]\nj=2\n; last words\n");
  auto rewrite = [&](int value) {
    CConfig cfg(file);
    cfg.PutInt("a", "k", value);
    EXPECT_TRUE(cfg.flush());
    return read(file);
  };
  rewrite(5);
  std::string first = rewrite(1);
  rewrite(5);
  EXPECT_EQ(rewrite(1), first);
  EXPECT_NE(first.find("; about b"), std::string::npos);
  EXPECT_NE(first.find("; last words"), std::string::npos);
  EXPECT_EQ(first.find("; last words"), first.rfind("; last words"));
}

TEST_F(ConfigTest, OnlyRealChangesNeedFlush) {
  write(path("game.ini"), "[a]\nk=5\n");
  CConfig cfg(path("game.ini"));
  EXPECT_TRUE(cfg.PutInt("A", "K", 5));
  EXPECT_FALSE(cfg.isDirty());
  EXPECT_TRUE(cfg.PutString("a", "k", "6"));
  EXPECT_TRUE(cfg.isDirty());
}

TEST_F(ConfigTest, MissingFileCreatedOnFirstFlushAfterWrite) {
  std::string file = path("sub/dir/new.ini");
  CConfig cfg(file);
  EXPECT_TRUE(cfg.flush());
  EXPECT_FALSE(fs::exists(file));
  cfg.PutInt("s", "k", 3);
  EXPECT_TRUE(cfg.flush());
  EXPECT_EQ(CConfig(file).GetInt("S", "K"), 3);
}

TEST_F(ConfigTest, DestructorSavesPendingChanges) {
  { CConfig(path("x.ini")).PutString("s", "k", "v"); }
  EXPECT_EQ(CConfig(path("x.ini")).GetString("s", "k").str(), "v");
}

TEST_F(ConfigTest, RewriteReplacesFileAtomically) {
  std::string file = path("game.ini");
  write(file, "[s]\nk=old\n");
  CConfig cfg(file);
  cfg.PutString("s", "k", "new");
  std::ifstream oldReader(file, std::ios::binary);  // holds the old file open across the rewrite
  ASSERT_TRUE(cfg.flush());
  std::ostringstream seen;
  seen << oldReader.rdbuf();
  EXPECT_EQ(seen.str(), "[s]\nk=old\n");  // the old file was never truncated or written in place
  EXPECT_NE(read(file).find("k=new"), std::string::npos);
  EXPECT_EQ(entriesInDir(), 1);  // no temporary left behind
}

TEST_F(ConfigTest, FailedRenameLeavesNoTemporaryAndStaysDirty) {
  std::string file = path("game.ini");
  CConfig cfg(file);
  cfg.PutInt("s", "k", 1);
  fs::create_directory(file);  // something that cannot be replaced by a file appears at the name
  EXPECT_FALSE(cfg.flush());
  EXPECT_TRUE(cfg.isDirty());
  EXPECT_TRUE(fs::is_directory(file));
  EXPECT_EQ(entriesInDir(), 1);
  fs::remove(file);
  EXPECT_TRUE(cfg.flush());
  EXPECT_EQ(CConfig(file).GetInt("s", "k"), 1);
}

TEST_F(ConfigTest, UnparsableFileKeptAsBackup) {
  std::string file = path("game.ini");
  const std::string broken = "[s]\nk=1\nthis line means nothing\n[unclosed\n";
  write(file, broken);
  CConfig cfg(file);
  EXPECT_EQ(cfg.GetInt("s", "k"), 1);
  cfg.PutInt("s", "k", 2);
  ASSERT_TRUE(cfg.flush());
  EXPECT_EQ(read(file + ".bak"), broken);
  cfg.PutInt("s", "k", 3);
  ASSERT_TRUE(cfg.flush());
  EXPECT_EQ(read(file + ".bak"), broken);  // later rewrites of the now clean file keep the backup
  EXPECT_EQ(CConfig(file).GetInt("s", "k"), 3);
}

TEST_F(ConfigTest, BinaryFileKeptAsBackup) {
  std::string file = path("game.ini");
  const std::string binary("[s]\nk=1\n\0\x01\x02zz", 13);
  write(file, binary);
  CConfig cfg(file);
  cfg.PutInt("s", "k", 2);
  ASSERT_TRUE(cfg.flush());
  EXPECT_EQ(read(file + ".bak"), binary);
}

TEST_F(ConfigTest, CleanFileGetsNoBackup) {
  std::string file = path("game.ini");
  write(file, "\xEF\xBB\xBF; c\r\n\r\n[s]\r\nk=1\r\n#x\r\n");
  CConfig cfg(file);
  cfg.PutInt("s", "k", 2);
  ASSERT_TRUE(cfg.flush());
  EXPECT_FALSE(fs::exists(file + ".bak"));
}

TEST_F(ConfigTest, RefusesNamesAndValuesThatWouldBreakTheFile) {
  std::string file = path("game.ini");
  CConfig cfg(file);
  EXPECT_FALSE(cfg.PutString("s", "k", "v\n[evil]\nx=1"));
  EXPECT_FALSE(cfg.PutString("s]x", "k", "v"));
  EXPECT_FALSE(cfg.PutString("s", "a=b", "v"));
  EXPECT_FALSE(cfg.PutString("s", ";k", "v"));
  EXPECT_FALSE(cfg.PutString("", "k", "v"));
  EXPECT_FALSE(cfg.PutString("s", " ", "v"));
  EXPECT_FALSE(cfg.isDirty());
  EXPECT_EQ(cfg.GetString("s", "k", "none").str(), "none");
}

TEST(ConfigNoFile, EmptyNameKeepsWritesInMemory) {
  CConfig cfg("");
  EXPECT_EQ(cfg.GetInt("s", "k"), 0);
  EXPECT_TRUE(cfg.PutInt("s", "k", 9));
  EXPECT_EQ(cfg.GetInt("S", "K"), 9);
  EXPECT_FALSE(cfg.isDirty());
  EXPECT_TRUE(cfg.flush());
}

}  // namespace
