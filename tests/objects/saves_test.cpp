// Saves of the running game inside one process: a save taken back returns the game to the saved
// frame exactly, and a damaged, cut, foreign or older save is refused with one message, leaving the
// game as it was.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../bench/headless_game.h"
#include "application/saves/game_saves.h"
#include "application/saves/save_file.h"
#include "application/saves/thumbnail.h"

namespace fs = std::filesystem;

namespace {

// A copy of a test game in the folder (games may write files beside their own).
fs::path copied(const std::string& name, const fs::path& dir) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy(fs::path(TARNVIK_TEST_GAMES) / name, dir / name, fs::copy_options::recursive);
  return dir / name;
}

// A test game played headless, with its saves.
class SavedGame {
 public:
  explicit SavedGame(const std::string& name)
      : dir_(fs::temp_directory_path() / ("tarnvik-saves-" + std::to_string(getpid()) + "-" + name)),
        game_(copied(name, dir_), dir_ / "settings.ini") {
    started_ = game_.start();
    saves_ = std::make_unique<tarnvik::GameSaves>(
        game_.application(), (dir_ / "saves").string(), name,
        tarnvik::GameSaves::Host{[this] { return tarnvik::saves::HostClock{frames_, game_.clock().now()}; },
                                 [this](const tarnvik::saves::HostClock& at) {
                                   frames_ = at.frame;
                                   game_.setClock(at.clockMs);
                                 }});
  }
  ~SavedGame() {
    saves_.reset();
    game_.finish();
    fs::remove_all(dir_);
  }
  bool started() const { return started_; }
  void frames(int n) {
    for (int i = 0; i < n; ++i, ++frames_) game_.frame();
  }
  std::vector<uint16_t> screen() {
    CXSize size = game_.window().GetScreenSize();
    const uint16_t* p = game_.window().GetScreenPtr();
    return std::vector<uint16_t>(p, p + static_cast<size_t>(size.height) * game_.window().GetScreenPitch());
  }
  std::vector<uint8_t> save() {
    std::vector<uint8_t> bytes;
    std::string why;
    EXPECT_TRUE(saves_->makeSave("", bytes, why)) << why;
    return bytes;
  }
  // The game's state as a save holds it: the engine, settings and objects sections (the date and
  // the picture left out).
  std::vector<std::string> state() {
    tarnvik::saves::SaveImage image;
    std::string why;
    EXPECT_TRUE(tarnvik::saves::decodeSave(save(), image, why)) << why;
    auto text = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
    return {text(image.engine), text(image.settings), text(image.objects)};
  }
  tarnvik::GameSaves& saves() { return *saves_; }

 private:
  fs::path dir_;
  benchgame::HeadlessGame game_;
  std::unique_ptr<tarnvik::GameSaves> saves_;
  bool started_ = false;
  int frames_ = 0;
};

TEST(SavesTest, ASaveTakenBackPlaysOnAsTheGameDidFromTheSavedFrame) {
  // Saved after a whole number of 16/16/17 ms periods, so the frames after the load last as long.
  for (const char* name : {"timers", "arrays", "records", "tables", "classes", "runontimer", "rand", "counting", "pause", "episodes"}) {
    SCOPED_TRACE(name);
    SavedGame game(name);
    ASSERT_TRUE(game.started());
    game.frames(9);
    std::vector<uint8_t> bytes = game.save();
    game.frames(21);
    std::vector<uint16_t> screen = game.screen();
    std::vector<std::string> state = game.state();
    std::string why;
    ASSERT_TRUE(game.saves().takeSave(bytes, why)) << why;
    game.frames(21);
    EXPECT_TRUE(game.screen() == screen);
    std::vector<std::string> again = game.state();
    for (size_t i = 0; i < state.size(); ++i) EXPECT_TRUE(again[i] == state[i]) << "section " << i + 2 << " differs";
  }
}

TEST(SavesTest, ARefusedSaveNamesWhyAndLeavesTheGameAsItWas) {
  SavedGame game("timers");
  ASSERT_TRUE(game.started());
  game.frames(12);
  std::vector<uint8_t> bytes = game.save();
  std::vector<uint16_t> screen = game.screen();
  std::vector<std::string> state = game.state();
  std::string why;
  for (size_t length = 0; length < bytes.size(); ++length) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(length));
    why.clear();
    ASSERT_FALSE(game.saves().takeSave(cut, why)) << "cut to " << length;
    ASSERT_TRUE(why.find("cut short") != std::string::npos || why == "not a save file") << length << ": " << why;
  }
  // A byte flipped in the middle of each section (after the magic and the layout: tag, length,
  // bytes, checksum).
  size_t at = 12;
  for (const char* tag : tarnvik::saves::kSectionTags) {
    uint32_t length = 0;
    std::memcpy(&length, bytes.data() + at + 4, 4);
    std::vector<uint8_t> flipped = bytes;
    flipped[at + 8 + length / 2] ^= 0x20;
    why.clear();
    EXPECT_FALSE(game.saves().takeSave(flipped, why));
    EXPECT_EQ(why, std::string("damaged: section ") + tag + " fails its checksum");
    at += 8 + length + 4;
  }
  tarnvik::saves::SaveImage image;
  ASSERT_TRUE(tarnvik::saves::decodeSave(bytes, image, why)) << why;
  // Another game's, another version's and an older layout's.
  image.header.game = "other";
  EXPECT_FALSE(game.saves().takeSave(tarnvik::saves::encodeSave(image), why));
  EXPECT_EQ(why, "a save of another game (other)");
  image.header.game = "timers";
  image.header.fingerprint ^= 1;
  EXPECT_FALSE(game.saves().takeSave(tarnvik::saves::encodeSave(image), why));
  EXPECT_EQ(why, "a save of another version of timers (its application file differs)");
  std::vector<uint8_t> older = bytes;
  older[8] = 0;
  EXPECT_FALSE(game.saves().takeSave(older, why));
  EXPECT_EQ(why, "a save of layout 0; this player reads layout 1");

  EXPECT_TRUE(game.screen() == screen);
  EXPECT_TRUE(game.state() == state);
}

TEST(SavesTest, TheFileKeepsItsHeaderAndRefusesWhatIsNotItsOwnLayoutByName) {
  tarnvik::saves::SaveImage image;
  image.header = {"demo", 0xFEDCBA9876543210ull, "MEADOW", "2026-12-07 17:20", 3723000, "before the gate", 480};
  image.thumbnailPng = {1, 2, 3};
  image.engine = {4};
  image.objects = {5, 6};
  std::vector<uint8_t> bytes = tarnvik::saves::encodeSave(image);
  tarnvik::saves::SaveImage back;
  std::string why;
  ASSERT_TRUE(tarnvik::saves::decodeSave(bytes, back, why)) << why;
  EXPECT_EQ(back.header.game, "demo");
  EXPECT_EQ(back.header.fingerprint, 0xFEDCBA9876543210ull);
  EXPECT_EQ(back.header.scene, "MEADOW");
  EXPECT_EQ(back.header.date, "2026-12-07 17:20");
  EXPECT_EQ(back.header.playMilliseconds, 3723000);
  EXPECT_EQ(back.header.name, "before the gate");
  EXPECT_EQ(back.header.frame, 480);
  EXPECT_EQ(back.thumbnailPng, image.thumbnailPng);
  EXPECT_TRUE(back.settings.empty());
  EXPECT_EQ(back.objects, image.objects);

  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> change;
    const char* message;
  };
  const Case cases[] = {
      {"another magic", [](std::vector<uint8_t>& b) { b[0] = 'X'; }, "not a save file"},
      {"a newer layout", [](std::vector<uint8_t>& b) { b[8] = 2; }, "a save of layout 2; this player reads layout 1"},
      {"a section out of order", [](std::vector<uint8_t>& b) { b[12] = 'X'; },
       "damaged: section XEAD where HEAD was expected"},
      {"bytes after the end", [](std::vector<uint8_t>& b) { b.push_back(0); }, "damaged: bytes after its last section"},
      {"a length past the end", [](std::vector<uint8_t>& b) { b[16] = 0xFF; }, "cut short in section HEAD"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> changed = bytes;
    c.change(changed);
    why.clear();
    EXPECT_FALSE(tarnvik::saves::decodeSave(changed, back, why)) << c.what;
    EXPECT_EQ(why, c.message) << c.what;
  }
}

TEST(SavesTest, TheThumbnailIsTheScreenAveragedDownTo160By120) {
  // A screen of four quarters: each thumbnail pixel is the mean of the area it covers.
  std::vector<uint16_t> screen(800 * 600);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) screen[y * 800 + x] = x < 400 ? (y < 300 ? 0xF800 : 0x07E0) : (y < 300 ? 0x001F : 0xFFFF);
  std::vector<uint16_t> small = tarnvik::saves::shrink565(screen.data(), 800, 800, 600);
  ASSERT_EQ(small.size(), 160u * 120u);
  EXPECT_EQ(small[0], 0xF800);
  EXPECT_EQ(small[119 * 160], 0x07E0);
  EXPECT_EQ(small[159], 0x001F);
  EXPECT_EQ(small[119 * 160 + 159], 0xFFFF);
  // A 5-pixel-wide area with one white column: a fifth of full.
  std::vector<uint16_t> lines(800 * 600, 0);
  for (int y = 0; y < 600; ++y) lines[y * 800] = 0xFFFF;
  EXPECT_EQ(tarnvik::saves::shrink565(lines.data(), 800, 800, 600)[0], (31 / 5) << 11 | (63 / 5) << 5 | (31 / 5));
}

}  // namespace
