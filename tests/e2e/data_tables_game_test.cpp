// The data-tables game, played twice from a copy of its folder: the first run saves a DATABASE and a
// MULTIARRAY, the second reads them back. Results come from the settings file and the written files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "files/bytereader.h"
#include "settings/config.h"

namespace fs = std::filesystem;

namespace {

class DataTablesGame : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnvik-tables-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // The game writes into its own folder: play a copy, never the folder in the source tree.
    fs::copy(fs::path(TARNVIK_TEST_GAMES) / "tables", dir_ / "tables", fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(dir_); }

  int play() {
    std::string command = "XDG_DATA_HOME='" + (dir_ / "xdg").string() + "' '" + TARNVIK_BUILD_DIR +
                          "/tarnvik' --headless --frames 3 --settings '" + settings() + "' -path '" +
                          (dir_ / "tables").string() + "' >'" + (dir_ / "out").string() + "' 2>&1";
    return std::system(command.c_str());
  }
  std::string settings() const { return (dir_ / "settings.ini").string(); }
  std::string text(const char* key) const { return CConfig(settings()).GetString("T", key, "<absent>").str(); }
  int value(const char* key) const { return CConfig(settings()).GetInt("T", key, -999); }
  std::string file(const char* name) const {
    std::ifstream in(dir_ / "tables" / "Dane" / "T" / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
};

TEST_F(DataTablesGame, SavesTablesAndReadsThemBackInASecondRun) {
  ASSERT_EQ(play(), 0);
  EXPECT_EQ(value("RUNS"), 1);
  EXPECT_EQ(file("rows.txt"), "1|ANNA\n2|BEA\n3|CY\n");  // BEA written through the cursor
  tarnvik::ByteWriter w;
  for (int32_t v : {2, 64, 16, 0, 3, 1, 104, 2, 3}) w.i32(v);
  w.bytes("far", 3);
  for (int32_t v : {259, 1, 7, 1024}) w.i32(v);
  std::vector<uint8_t> grid = w.take();
  EXPECT_EQ(file("grid.bin"), std::string(grid.begin(), grid.end()));
  // Every run: STRUCT fields, VECTOR, FIFO and LIFO.
  EXPECT_EQ(value("SX"), 42);
  EXPECT_EQ(text("LEN"), "5.00000");
  EXPECT_EQ(text("VX"), "0.60000");
  EXPECT_EQ(text("RY"), "0.80000");
  EXPECT_EQ(value("FIRSTOUT"), 1);
  EXPECT_EQ(value("LASTOUT"), 3);
  EXPECT_EQ(text("EMPTYOUT"), "NULL");
  EXPECT_EQ(value("EMPTIES"), 1);

  ASSERT_EQ(play(), 0);
  EXPECT_EQ(value("RUNS"), 2);
  EXPECT_EQ(value("ROWS"), 3);
  EXPECT_EQ(text("SECONDNAME"), "BEA");
  EXPECT_EQ(value("FOUND"), 2);
  EXPECT_EQ(value("ROWSAFTER"), 2);
  EXPECT_EQ(file("rows2.txt"), "1|ANNA\n3|SAFE\n");  // the cursor followed FIND, not the removed row
  EXPECT_EQ(value("CELL"), 7);
  EXPECT_EQ(text("FAR"), "far");
  EXPECT_EQ(value("SIZE0"), 64);
  EXPECT_EQ(text("EMPTYCELL"), "NULL");
  EXPECT_EQ(value("SEVENS"), 2);  // 7 and TRUE (7 as a BOOL is true)
  EXPECT_EQ(value("EMPTIES"), 2);
}

}  // namespace
