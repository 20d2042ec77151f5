// The "records" game (ARRAY, GROUP, STRUCT, CLASS, IMAGE and TIMER objects) played from its
// definition files and from its precompiled form: the TOINI values and the final screen must agree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "e2e/player_fixture.h"
#include "graphics/formats/png.h"

namespace fs = std::filesystem;

namespace {

class RecordsGameTest : public tarnvik::e2e::PlayerTest {
 protected:
  // A copy of the game with its two box images.
  fs::path copyGame(const char* name) {
    fs::path copy = dir_ / name;
    fs::copy(fs::path(TARNVIK_TEST_GAMES) / "records", copy, fs::copy_options::recursive);
    EXPECT_TRUE(tarnvik::e2e::writeImageFile(copy / "Dane/R/b1.img", 20, 20, 0, 0,
                                             [](int x, int y) { return static_cast<uint16_t>(0xf800 | (x + y)); }));
    EXPECT_TRUE(tarnvik::e2e::writeImageFile(copy / "Dane/R/b2.img", 30, 12, 0, 0,
                                             [](int x, int) { return static_cast<uint16_t>(0x07e0 | x); }));
    return copy;
  }
  struct Outcome {
    std::map<std::string, std::string> values;
    std::string screen;
  };
  // Plays the game with fresh settings; the TOINI values and the screenshot's bytes.
  Outcome playThrough(const fs::path& folder, const std::vector<std::string>& more = {}) {
    fs::remove(settings());
    fs::path shot = dir_ / "shot.png";
    fs::remove(shot);
    std::vector<std::string> args{"--frame-ms", "10", "--screenshot", shot.string()};
    args.insert(args.end(), more.begin(), more.end());
    last_ = game(folder.string(), 30, args);
    Outcome out;
    for (const char* key : {"CHANGES", "THIRD", "GROUPINIT", "GSIZE", "TOTAL", "LASTX", "LABEL", "KIND"})
      out.values[key] = text("R", key);
    out.screen = tarnvik::e2e::slurp(shot);
    return out;
  }
  tarnvik::e2e::PlayerRun last_;
};

TEST_F(RecordsGameTest, PrecompiledFormPlaysAsTheDefinitionFiles) {
  fs::path plainGame = copyGame("plain");
  Outcome plain = playThrough(plainGame);
  ASSERT_EQ(last_.status, 0) << last_.err;
  // What the game computes: the ARRAY's change events (index 2 to its own handler with its
  // argument), the GROUP's members moved by three ticks, the STRUCT's fields, the CLASS instance.
  EXPECT_EQ(plain.values["CHANGES"], "2");
  EXPECT_EQ(plain.values["THIRD"], "7");
  EXPECT_EQ(plain.values["GROUPINIT"], "1");
  EXPECT_EQ(plain.values["GSIZE"], "2");
  EXPECT_EQ(plain.values["TOTAL"], "80") << "5 + 10 + 25 + 40";
  EXPECT_EQ(plain.values["LASTX"], "175");
  EXPECT_EQ(plain.values["LABEL"], "start");
  EXPECT_EQ(plain.values["KIND"], "mover");
  // The boxes where the ticks left them: B1 at (175,165), B2 at (205,175).
  fs::path shot = dir_ / "plain.png";
  std::ofstream(shot, std::ios::binary) << plain.screen;
  tarnvik::png::Image got;
  std::string error;
  ASSERT_TRUE(tarnvik::png::read(shot.string(), got, error)) << error;
  auto pixel = [&](int x, int y) { return &got.pixels[(static_cast<size_t>(y) * got.width + x) * 3]; };
  EXPECT_GT(pixel(176, 166)[0], 200) << "B1 is red";
  EXPECT_GT(pixel(210, 180)[1], 200) << "B2 is green";
  EXPECT_EQ(pixel(174, 166)[0], 0) << "nothing left of B1";

  fs::path compiledGame = copyGame("compiled");
  last_ = game(compiledGame.string(), 1, {"-2bin"});
  ASSERT_EQ(last_.status, 0) << last_.err;
  ASSERT_TRUE(fs::exists(compiledGame / "Dane/R/R.bin")) << "every type of the scene has a record\n" << last_.err;
  Outcome compiled = playThrough(compiledGame, {"--log", "info"});
  ASSERT_EQ(last_.status, 0) << last_.err;
  EXPECT_NE(last_.err.find("running from the precompiled form"), std::string::npos) << last_.err;
  EXPECT_EQ(compiled.values, plain.values);
  EXPECT_TRUE(compiled.screen == plain.screen) << "the final screens differ";
}

}  // namespace
