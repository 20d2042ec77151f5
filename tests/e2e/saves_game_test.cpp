// Saves of the running game through the player: a run saved at a frame and loaded in a new process
// reaches the same screen, settings file and sound as the run that never stopped; foreign and older
// saves are refused by name; the slots are listed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/player_fixture.h"
#include "settings/config.h"
#include "sound/codec.h"

namespace {

using namespace tarnvik::e2e;

const fs::path kDemo = fs::path(TARNVIK_BUILD_DIR) / "games" / "demo";
const std::string kPlaythrough = (fs::path(TARNVIK_TEST_GAMES) / "demo-references" / "playthrough.input").string();

// The 16-bit samples of a WAV file the player wrote (its "data" chunk).
std::vector<int16_t> wavSamples(const fs::path& file) {
  std::string bytes = slurp(file);
  size_t at = bytes.find("data");
  std::vector<int16_t> samples;
  if (at == std::string::npos || at + 8 > bytes.size()) return samples;
  uint32_t size = 0;
  std::memcpy(&size, bytes.data() + at + 4, 4);
  size = std::min<uint32_t>(size, static_cast<uint32_t>(bytes.size() - at - 8));
  samples.resize(size / 2);
  std::memcpy(samples.data(), bytes.data() + at + 8, samples.size() * 2);
  return samples;
}

struct ExactCase {
  const char* what;
  std::string game;
  int saveAt;  // the frame at whose end the save is written
  int end;     // the frames both runs reach
  std::vector<std::string> more;
};

class SavesGameTest : public PlayerTest {
 protected:
  // The run that never stops (saving on its way), then the run loaded from that save: same screen,
  // same settings file, and the loaded run's sound is the tail of the whole run's.
  void expectExact(const ExactCase& c) {
    SCOPED_TRACE(c.what);
    fs::path save = dir_ / "run.sav";
    auto run = [&](const std::string& tag, const std::vector<std::string>& how) {
      std::vector<std::string> args{"--headless", "--seed", "1", "--frames", std::to_string(c.end),
                                    "--settings", (dir_ / (tag + ".ini")).string(), "--screenshot",
                                    (dir_ / (tag + ".png")).string(), "--audio-out", (dir_ / (tag + ".wav")).string()};
      args.insert(args.end(), how.begin(), how.end());
      args.insert(args.end(), c.more.begin(), c.more.end());
      args.insert(args.end(), {"-path", (dir_ / "game").string()});
      return play(args);
    };
    fs::remove(save);
    // Games may write files beside their own: each case plays a copy.
    fs::path game = dir_ / "game";
    fs::remove_all(game);
    fs::copy(fs::path(c.game).is_absolute() ? fs::path(c.game) : fs::path(TARNVIK_TEST_GAMES) / c.game, game,
             fs::copy_options::recursive);
    PlayerRun whole = run("whole", {"--save-at", std::to_string(c.saveAt), save.string()});
    ASSERT_EQ(whole.status, 0) << whole.err;
    ASSERT_TRUE(fs::exists(save)) << whole.err;
    PlayerRun loaded = run("loaded", {"--load", save.string()});
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(whole.out, loaded.out) << "the runs end on different frames or scenes";
    std::string why;
    EXPECT_TRUE(samePicture(dir_ / "whole.png", dir_ / "loaded.png", why)) << why;
    EXPECT_EQ(slurp(dir_ / "whole.ini"), slurp(dir_ / "loaded.ini"));
    std::vector<int16_t> all = wavSamples(dir_ / "whole.wav"), tail = wavSamples(dir_ / "loaded.wav");
    ASSERT_LE(tail.size(), all.size());
    size_t from = all.size() - tail.size(), differ = 0;
    for (size_t i = 0; i < tail.size(); ++i)
      if (tail[i] != all[from + i] && ++differ == 1) ADD_FAILURE() << "first different sample " << i << " of " << tail.size();
    EXPECT_EQ(differ, 0u);
  }
};

TEST_F(SavesGameTest, ALoadedRunEndsAsTheRunThatNeverStoppedInTheTestGames) {
  const ExactCase cases[] = {
      {"values and timers", "timers", 40, 200, {}},
      {"arrays", "arrays", 3, 30, {}},
      {"records and tables", "records", 3, 30, {}},
      {"tables", "tables", 3, 30, {}},
      {"classes", "classes", 3, 30, {}},
      {"code on timers", "runontimer", 10, 80, {}},
      {"random numbers", "rand", 5, 30, {}},
      {"episodes and scene changes", "counting", 120, 400, {}},
      {"a paused scene", "pause", 20, 120, {}},
      {"the canvas observer's counts", "canvas", 10, 30, {}},
      {"handlers added by ADDBEHAVIOUR, episodes", "episodes", 20, 60, {}},
  };
  for (const ExactCase& c : cases) expectExact(c);
}

TEST_F(SavesGameTest, ALoadedRunEndsAsTheRunThatNeverStoppedInEverySceneOfTheDemo) {
  const std::vector<std::string> input{"--input", kPlaythrough};
  const ExactCase cases[] = {
      {"title, mid-typing with music", kDemo.string(), 19, 90, input},
      {"meadow, the guide mid-animation", kDemo.string(), 100, 220, input},
      {"meadow, mid-speech", kDemo.string(), 160, 300, input},
      {"meadow, a click held", kDemo.string(), 300, 360, input},
      {"valley, the background gliding", kDemo.string(), 380, 440, input},
      {"gate, the doors opening", kDemo.string(), 530, 600, input},
      {"ending, fireworks", kDemo.string(), 620, 700, input},
  };
  for (const ExactCase& c : cases) expectExact(c);
}

TEST_F(SavesGameTest, PixelsAScriptChangedComeBackWithTheSave) {
  // A blue piece turned red by REPLACECOLOR when the scene starts: the loaded run does not start the
  // scene again, so only the save can give the red back.
  fs::path game = dir_ / "paint";
  fs::create_directories(game / "Dane" / "S");
  ASSERT_TRUE(writeImageFile(game / "Dane/S/piece.img", 20, 20, 100, 100, [](int, int) { return uint16_t{0x001F}; }));
  std::ofstream(game / "Dane/application.def") << "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\n\n"
                                                  "OBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n";
  std::ofstream(game / "Dane/S/S.cnv")
      << "OBJECT=PIECE\nPIECE:TYPE=IMAGE\nPIECE:FILENAME=piece.img\nPIECE:TOCANVAS=TRUE\nPIECE:VISIBLE=TRUE\n"
      << "OBJECT=S\nS:ONINIT={PIECE^REPLACECOLOR(0,0,0,255,255,0,0);}\n";
  expectExact({"a recoloured image", game.string(), 3, 10, {}});
  EXPECT_EQ(at(readPng(dir_ / "loaded.png"), 110, 110), (Rgb{255, 0, 0})) << "the piece is red after the load";
}

TEST_F(SavesGameTest, AnAnimationsSoundPlayingWhenSavedGoesOnFromItsSample) {
  // The second entry of GO starts a one-second sound; the save falls in its middle.
  fs::path game = dir_ / "ticking";
  fs::create_directories(game / "Dane" / "S");
  std::vector<uint8_t> ann = tickAnimation("tick.wav");
  ASSERT_FALSE(ann.empty());
  std::ofstream(game / "Dane/S/go.ann", std::ios::binary).write(reinterpret_cast<const char*>(ann.data()), ann.size());
  std::vector<uint8_t> pcm;
  for (int i = 0; i < 44100; ++i) {
    auto v = static_cast<int16_t>((i * 37) % 20000 - 10000);
    pcm.push_back(static_cast<uint8_t>(v & 0xFF));
    pcm.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  std::vector<uint8_t> wav = writeWavFile(PcmFormat::pcm16(1, 44100), pcm);
  std::ofstream(game / "Dane/S/tick.wav", std::ios::binary).write(reinterpret_cast<const char*>(wav.data()), wav.size());
  std::ofstream(game / "Dane/application.def") << "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\n\n"
                                                  "OBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n";
  std::ofstream(game / "Dane/S/S.cnv") << "OBJECT=A\nA:TYPE=ANIMO\nA:FILENAME=go.ann\nA:TOCANVAS=TRUE\n"
                                       << "OBJECT=S\nS:ONINIT={A^PLAY(\"GO\");}\n";
  expectExact({"an entry's sound", game.string(), 20, 50, {}});
  std::vector<int16_t> tail = wavSamples(dir_ / "loaded.wav");
  EXPECT_TRUE(std::any_of(tail.begin(), tail.end(), [](int16_t v) { return v != 0; })) << "the sound goes on after the load";
}

TEST_F(SavesGameTest, ALoadedRunEndsAsTheRunThatNeverStoppedMidDrag) {
  // A draggable button over a blue piece, pressed at frame 2 and let go at frame 12.
  fs::path game = dir_ / "drag";
  fs::create_directories(game / "Dane" / "S");
  ASSERT_TRUE(writeImageFile(game / "Dane/S/piece.img", 20, 20, 100, 100, [](int, int) { return uint16_t{0x001F}; }));
  std::ofstream(game / "Dane/application.def") << "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\n\n"
                                                  "OBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n";
  std::string values;
  for (const char* name : {"STARTS", "ENDS", "MOVES", "X"})
    values += std::string("OBJECT=") + name + "\n" + name + ":TYPE=INTEGER\n" + name + ":TOINI=TRUE\n";
  std::ofstream(game / "Dane/S/S.cnv")
      << values << "OBJECT=PIECE\nPIECE:TYPE=IMAGE\nPIECE:FILENAME=piece.img\nPIECE:TOCANVAS=TRUE\nPIECE:VISIBLE=TRUE\n"
      << "OBJECT=B\nB:TYPE=BUTTON\nB:GFXSTANDARD=PIECE\nB:DRAGGABLE=TRUE\nB:ONSTARTDRAGGING={STARTS^INC();}\n"
      << "B:ONDRAGGING={MOVES^INC();}\nB:ONENDDRAGGING={ENDS^INC();X^SET(PIECE^GETPOSITIONX());}\n";
  fs::path script = dir_ / "drag.input";
  std::ofstream(script) << "1 move 105 105\n2 down left\n3 move 150 130\n6 move 180 160\n9 move 205 185\n12 up left\n";
  expectExact({"mid-drag", game.string(), 4, 20, {"--input", script.string()}});
  EXPECT_EQ(CConfig((dir_ / "loaded.ini").string()).GetInt("S", "ENDS"), 1);
  EXPECT_EQ(CConfig((dir_ / "loaded.ini").string()).GetInt("S", "X"), 200);
}

TEST_F(SavesGameTest, AForeignOrOlderSaveIsRefusedByName) {
  fs::path save = dir_ / "timers.sav";
  ASSERT_EQ(game("timers", 20, {"--save-at", "10", save.string()}).status, 0);
  std::string bytes = slurp(save);
  auto refused = [&](const std::string& content, const std::string& game, const std::string& message) {
    fs::path file = dir_ / "bad.sav";
    std::ofstream(file, std::ios::binary) << content;
    PlayerRun run = this->game(game, 5, {"--load", file.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
  };
  refused(bytes, "rand", "a save of another game (timers)");
  std::string older = bytes;
  older[8] = 0;
  refused(older, "timers", "a save of layout 0; this player reads layout 1");
  refused("not a save at all", "timers", "not a save file");
  refused(bytes.substr(0, bytes.size() / 2), "timers", "cut short");
}

TEST_F(SavesGameTest, SlotsAreListedOneALineAndLoadedByNumber) {
  fs::path slots = dir_ / "xdg" / "tarnvik" / "saves" / "timers";
  fs::create_directories(slots);
  ASSERT_EQ(game("timers", 20, {"--save-at", "10", (slots / "slot-2.sav").string()}).status, 0);
  ASSERT_EQ(game("timers", 60, {"--autosave-minutes", "1", "--frame-ms", "1000"}).status, 0);
  PlayerRun list = play({"--headless", "--list-saves", "-path", "timers"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out.substr(0, 4), "0\tT\t") << list.out;
  EXPECT_NE(list.out.find("\n2\tT\t"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("\t0:00:00\n"), std::string::npos) << "slot 2 was saved at 176 ms of play: " << list.out;
  EXPECT_EQ(game("timers", 30, {"--load-slot", "2"}).status, 0);
  PlayerRun none = game("timers", 30, {"--load-slot", "7"});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("slot 7 holds no save"), std::string::npos) << none.err;
}

}  // namespace
