// PNG screenshots: 5-6-5 frames widened by bit replication, written atomically, read back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "graphics/formats/png.h"

namespace fs = std::filesystem;
using namespace tarnvik;

namespace {

uint16_t rgb565(unsigned r5, unsigned g6, unsigned b5) { return static_cast<uint16_t>(r5 << 11 | g6 << 5 | b5); }

class PngTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnvik-png-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(PngTest, ChannelExpansionKeepsTheEnds) {
  EXPECT_EQ(png::expand5(0), 0);
  EXPECT_EQ(png::expand5(1), 8);
  EXPECT_EQ(png::expand5(16), 132);
  EXPECT_EQ(png::expand5(30), 247);
  EXPECT_EQ(png::expand5(31), 255);
  EXPECT_EQ(png::expand6(0), 0);
  EXPECT_EQ(png::expand6(1), 4);
  EXPECT_EQ(png::expand6(32), 130);
  EXPECT_EQ(png::expand6(62), 251);
  EXPECT_EQ(png::expand6(63), 255);
  for (unsigned v = 1; v < 32; ++v) EXPECT_GT(png::expand5(v), png::expand5(v - 1));
}

TEST_F(PngTest, RoundTripWithPitchGivesEveryChannelValue) {
  // 64 columns by 3 rows: every 6-bit green, every 5-bit red and blue; the pitch has 7 spare pixels
  // that must not show up.
  const int w = 64, h = 3, pitch = 71;
  std::vector<uint16_t> frame(static_cast<size_t>(pitch) * h, 0xffff);
  for (int x = 0; x < w; ++x) {
    frame[x] = rgb565(x & 31, 0, 0);
    frame[pitch + x] = rgb565(0, x, 0);
    frame[2 * pitch + x] = rgb565(31 - (x & 31), 63 - x, x & 31);
  }
  std::string file = (dir_ / "shot.png").string(), error;
  ASSERT_TRUE(png::write565(file, frame.data(), pitch, w, h, error)) << error;
  png::Image image;
  ASSERT_TRUE(png::read(file, image, error)) << error;
  ASSERT_EQ(image.width, w);
  ASSERT_EQ(image.height, h);
  ASSERT_EQ(image.channels, 3);
  auto at = [&](int x, int y, int c) { return image.pixels[(static_cast<size_t>(y) * w + x) * 3 + c]; };
  for (int x = 0; x < w; ++x) {
    SCOPED_TRACE(x);
    EXPECT_EQ(at(x, 0, 0), png::expand5(x & 31));
    EXPECT_EQ(at(x, 0, 1), 0);
    EXPECT_EQ(at(x, 1, 1), png::expand6(x));
    EXPECT_EQ(at(x, 1, 2), 0);
    EXPECT_EQ(at(x, 2, 0), png::expand5(31 - (x & 31)));
    EXPECT_EQ(at(x, 2, 1), png::expand6(63 - x));
    EXPECT_EQ(at(x, 2, 2), png::expand5(x & 31));
  }
  // White and black at the corners map to 255 and 0 exactly.
  EXPECT_EQ(at(0, 2, 0), 255);
  EXPECT_EQ(at(0, 2, 1), 255);
  EXPECT_EQ(at(0, 1, 0), 0);
}

TEST_F(PngTest, ReplacesAWholeFileAndLeavesNoTemporaryFiles) {
  std::string file = (dir_ / "shot.png").string(), error;
  std::vector<uint16_t> red(4 * 4, rgb565(31, 0, 0)), blue(2 * 2, rgb565(0, 0, 31));
  ASSERT_TRUE(png::write565(file, red.data(), 4, 4, 4, error)) << error;
  ASSERT_TRUE(png::write565(file, blue.data(), 2, 2, 2, error)) << error;
  png::Image image;
  ASSERT_TRUE(png::read(file, image, error)) << error;
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ((std::vector<uint8_t>(image.pixels.begin(), image.pixels.begin() + 3)), (std::vector<uint8_t>{0, 0, 255}));
  int entries = 0;
  for (auto& e : fs::directory_iterator(dir_)) entries += e.is_regular_file();
  EXPECT_EQ(entries, 1);
}

TEST_F(PngTest, FailuresAreReportedNotThrown) {
  std::string error;
  std::vector<uint16_t> px(4, 0);
  EXPECT_FALSE(png::write565((dir_ / "none" / "shot.png").string(), px.data(), 2, 2, 2, error));
  EXPECT_NE(error.find("none"), std::string::npos) << error;
  EXPECT_FALSE(png::write565(dir_.string(), px.data(), 2, 2, 2, error));  // a folder
  EXPECT_FALSE(png::write565((dir_ / "a.png").string(), nullptr, 2, 2, 2, error));
  EXPECT_FALSE(png::write565((dir_ / "a.png").string(), px.data(), 1, 2, 2, error));  // pitch below width
  EXPECT_FALSE(png::write565((dir_ / "a.png").string(), px.data(), 0, 0, 0, error));
  EXPECT_FALSE(fs::exists(dir_ / "a.png"));

  // A valid file cut short, then one with a broken chunk: libpng's errors come back as messages.
  std::vector<uint8_t> bytes;
  std::vector<uint16_t> frame(32 * 32, 0x1234);
  ASSERT_TRUE(png::encode565(frame.data(), 32, 32, 32, bytes, error)) << error;
  png::Image image;
  ASSERT_TRUE(png::decode(bytes.data(), bytes.size(), image, error)) << error;
  for (size_t cut : {size_t{0}, size_t{7}, size_t{8}, size_t{20}, size_t{40}, bytes.size() - 13}) {
    SCOPED_TRACE(cut);
    EXPECT_FALSE(png::decode(bytes.data(), cut, image, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(image.width, 0);
  }
  std::vector<uint8_t> corrupt = bytes;
  corrupt[20] ^= 0x40;  // inside the header chunk: its checksum no longer matches
  EXPECT_FALSE(png::decode(corrupt.data(), corrupt.size(), image, error));
  EXPECT_FALSE(png::read((dir_ / "missing.png").string(), image, error));
}

}  // namespace
