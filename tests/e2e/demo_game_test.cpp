// The bundled demo: the generated game folder is complete, the same bytes on every run and readable
// by the engine's own loaders; every scene plays headless and shows the expected picture; the
// archive and the precompiled form show the same.
//
// The expected pictures live in tests/games/demo-references/. After a deliberate change of the demo,
// `make demo-references` writes them again (this test with TARNVIK_UPDATE_REFERENCES=1).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/player_fixture.h"
#include "graphics/animation.h"
#include "graphics/formats/image.h"
#include "graphics/formats/png.h"

namespace {

using namespace tarnvik::e2e;
namespace png = tarnvik::png;

const fs::path kDemo = fs::path(TARNVIK_BUILD_DIR) / "games" / "demo";
const fs::path kReferences = fs::path(TARNVIK_TEST_GAMES) / "demo-references";

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::map<std::string, std::string> filesUnder(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = slurp(entry.path());
  return files;
}

// The file a definition names, looked up without regard to letter case as the engine does.
bool existsAnyCase(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (upper(entry.path().filename().string()) == upper(name)) return true;
  return false;
}

class DemoGameTest : public PlayerTest {
 protected:
  // Runs the generator into a folder of the test.
  int generate(const fs::path& out) {
    pid_t pid = spawn({std::string(TARNVIK_BUILD_DIR) + "/tarnvik-demo-assets",
                       (fs::path(TARNVIK_TEST_GAMES) / "../../games/demo").string(), out.string()});
    return finish(pid).status;
  }

  // A copy of the generated demo that starts in the given scene of the story.
  fs::path startingIn(const std::string& scene) {
    fs::path copy = dir_ / ("demo-" + scene);
    fs::copy(kDemo, copy, fs::copy_options::recursive);
    std::string def = slurp(copy / "Dane/application.def");
    def = std::regex_replace(def, std::regex("GAME:STARTWITH=MENU"), "GAME:STARTWITH=STORY");
    def = std::regex_replace(def, std::regex("STORY:STARTWITH=MEADOW"), "STORY:STARTWITH=" + scene);
    std::ofstream(copy / "Dane/application.def", std::ios::binary) << def;
    return copy;
  }

  // Plays headless to the frame and compares the screenshot with the reference picture (or writes
  // the reference when asked to). Returns the run.
  PlayerRun shows(const std::string& reference, int frames, const std::vector<std::string>& where) {
    fs::path shot = dir_ / (reference + ".png");
    std::vector<std::string> args{"--headless", "--seed", "1", "--frames", std::to_string(frames),
                                  "--settings", settings().string(), "--screenshot", shot.string()};
    args.insert(args.end(), where.begin(), where.end());
    PlayerRun run = play(args);
    EXPECT_EQ(run.status, 0) << run.err;
    fs::path expected = kReferences / (reference + ".png");
    const char* update = std::getenv("TARNVIK_UPDATE_REFERENCES");
    if (update && *update == '1') {
      fs::copy_file(shot, expected, fs::copy_options::overwrite_existing);
      return run;
    }
    std::string why;
    EXPECT_TRUE(samePicture(shot, expected, why)) << reference << ": " << why << " (picture kept in " << shot
                                                  << "; after a deliberate change run `make demo-references`)";
    if (!HasFailure()) fs::remove(shot);
    return run;
  }
  void TearDown() override {
    // Keep the pictures of a failed comparison for a look.
    if (!HasFailure()) PlayerTest::TearDown();
  }
};

TEST_F(DemoGameTest, GeneratorWritesTheSameReadableFilesOnEveryRun) {
  ASSERT_EQ(generate(dir_ / "a"), 0);
  ASSERT_EQ(generate(dir_ / "b"), 0);
  auto first = filesUnder(dir_ / "a"), second = filesUnder(dir_ / "b");
  ASSERT_EQ(first.size(), second.size());
  for (const auto& [name, bytes] : first) EXPECT_TRUE(second[name] == bytes) << name << " differs between runs";
  // The build's copy is the generator's output too.
  EXPECT_EQ(filesUnder(kDemo).size(), first.size());

  int images = 0, animations = 0, sounds = 0;
  for (const auto& [name, bytes] : first) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    std::string ext = upper(fs::path(name).extension().string());
    if (ext == ".IMG") {
      CImage image;
      EXPECT_TRUE(image.LoadFromMemory(data, bytes.size())) << name;
      EXPECT_GT(image.Width(), 0) << name;
      ++images;
    } else if (ext == ".ANN") {
      CAnimo animo;
      EXPECT_TRUE(animo.LoadFromMemory(data, bytes.size())) << name;
      EXPECT_GT(animo.GetNOF(), 0) << name;
      EXPECT_GT(animo.GetNOE(), 0) << name;
      ++animations;
    } else if (ext == ".WAV") {
      // RIFF/WAVE, PCM, one channel, 16 bits, 22050 Hz, and some sound in it.
      ASSERT_GT(bytes.size(), 44u) << name;
      EXPECT_EQ(bytes.substr(0, 4), "RIFF") << name;
      EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ") << name;
      EXPECT_EQ(data[20] | data[21] << 8, 1) << name;
      EXPECT_EQ(data[22], 1) << name;
      EXPECT_EQ(data[24] | data[25] << 8 | data[26] << 16, 22050) << name;
      ++sounds;
    }
  }
  EXPECT_GT(images, 20);
  EXPECT_GE(animations, 7);
  EXPECT_GE(sounds, 9);
}

TEST_F(DemoGameTest, EveryFileTheDefinitionsNameIsGenerated) {
  // FILENAME and BACKGROUND name files of the scene's folder, except sounds, which live in Wavs;
  // MUSIC names "Wavs\..." files of the game folder; the sequence file names the talking animation and the speech.
  std::regex key(R"((FILENAME|BACKGROUND|MUSIC|ANIMOFN|WAVFN)=(\S+))");
  int checked = 0;
  for (const auto& entry : fs::recursive_directory_iterator(kDemo / "Dane")) {
    std::string ext = upper(entry.path().extension().string());
    if (ext != ".CNV" && ext != ".DEF" && ext != ".SEQ") continue;
    std::string text = slurp(entry.path());
    fs::path folder = entry.path().parent_path();
    for (std::sregex_iterator m(text.begin(), text.end(), key), end; m != end; ++m) {
      std::string name = (*m)[2].str();
      fs::path where = upper(name).ends_with(".WAV") ? kDemo / "Wavs" : folder;
      if (upper(name).starts_with("WAVS\\")) name = name.substr(5);
      // application.def names backgrounds of the scene folders.
      if (ext == ".DEF" && !upper(name).ends_with(".WAV")) {
        std::string before = text.substr(0, static_cast<size_t>(m->position()));
        size_t line = before.rfind('\n');
        std::string sceneName = before.substr(line + 1, before.find(':', line + 1) - line - 1);
        where = kDemo / "Dane" / sceneName;
      }
      EXPECT_TRUE(existsAnyCase(where, name)) << entry.path() << " names " << name << ", missing in " << where;
      ++checked;
    }
  }
  EXPECT_GT(checked, 40);
}

TEST_F(DemoGameTest, TitleSceneFromFolderArchiveAndPrecompiledForm) {
  PlayerRun run = shows("title", 120, {"--log", "warn", "-path", kDemo.string()});
  EXPECT_NE(run.out.find("120 frames, scene TITLE"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "");  // no warnings or errors
  EXPECT_EQ(text("GAME", "SOUNDON"), "TRUE");

  // With no game named, the player plays the generated demo; also with engine options but no folder,
  // when the folder it was started in holds no game.
  run = shows("title", 120, {});
  EXPECT_NE(run.out.find("scene TITLE"), std::string::npos) << run.out;
  run = shows("title", 120, {"-window"});
  EXPECT_NE(run.out.find("scene TITLE"), std::string::npos) << run.out;

  run = shows("title", 120, {"--archive", (fs::path(TARNVIK_BUILD_DIR) / "demo.pik").string()});
  EXPECT_NE(run.out.find("scene TITLE"), std::string::npos) << run.out;

  run = shows("title", 120, {"--log", "info", "-path", (fs::path(TARNVIK_BUILD_DIR) / "games/demo-bin").string()});
  EXPECT_NE(run.err.find("running from the precompiled form"), std::string::npos) << run.err;
}

// "tarnvik GAME": a plain word naming the game folder or its archive plays it as -path and --archive
// do, "/" options included; the game's settings file is named after the folder or the archive.
TEST_F(DemoGameTest, GameNamedByAPlainWordFromItsFolderOrItsArchive) {
  PlayerRun run = shows("title", 120, {"/window", kDemo.string()});
  EXPECT_NE(run.out.find("scene TITLE"), std::string::npos) << run.out;
  const std::string archive = (fs::path(TARNVIK_BUILD_DIR) / "demo.pik").string();
  run = shows("title", 120, {archive, "-nosound"});
  EXPECT_NE(run.out.find("scene TITLE"), std::string::npos) << run.out;

  for (const std::string& game : {kDemo.string(), archive}) {
    fs::remove_all(dir_ / "xdg");
    run = play({"--headless", "--frames", "120", game});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir_ / "xdg/tarnvik/demo.ini")) << game;
  }
  run = play({"--headless", "--frames", "1", (dir_ / "nothing.pik").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no such archive"), std::string::npos) << run.err;
}

TEST_F(DemoGameTest, EveryStorySceneShowsItsPicture) {
  for (const char* scene : {"MEADOW", "VALLEY", "GATE", "ENDING"}) {
    SCOPED_TRACE(scene);
    PlayerRun run = shows(lower(scene), 150, {"--log", "warn", "-path", startingIn(scene).string()});
    EXPECT_NE(run.out.find(std::string("scene ") + scene), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
  }
  // The ending counts the games finished; the gate's puzzle state is in the settings file.
  EXPECT_EQ(value("GAME", "FINISHED"), 1);
  EXPECT_EQ(value("GATE", "L1"), 1);
  EXPECT_EQ(text("GATE", "SOLVED"), "FALSE");
}

TEST_F(DemoGameTest, PuzzleStateInTheSettingsIsResumed) {
  // A player who left with the code set and the gate open finds the gate open again.
  fs::path game = startingIn("GATE");
  std::ofstream(settings()) << "[GATE]\nL1=3\nL2=1\nL3=2\nSOLVED=TRUE\n[STORY]\nINVENTORY=KEY\n";
  shows("gate-open", 60, {"-path", game.string()});
  EXPECT_EQ(value("GATE", "L1"), 3);
  EXPECT_EQ(text("GATE", "SOLVED"), "TRUE");
}

// The committed input script clicks through every scene. The same script stopped at a frame of each
// scene shows that scene's picture; the whole run ends on the ending with the settings the clicks
// should leave, and the archive and the precompiled form end on the same picture, settings and sound.
struct Checkpoint {
  const char* reference;
  int frame;
  const char* scene;
};
const Checkpoint kPlayThrough[] = {
    {"play-title", 70, "TITLE"},  {"play-meadow", 200, "MEADOW"}, {"play-valley", 400, "VALLEY"},
    {"play-gate", 575, "GATE"},   {"play-ending", 700, "ENDING"},
};

TEST_F(DemoGameTest, PlayThroughFromTheTitleToTheEnding) {
  const std::string script = (kReferences / "playthrough.input").string();
  for (const Checkpoint& at : kPlayThrough) {
    SCOPED_TRACE(at.reference);
    fs::remove(settings());  // every run starts as a new player
    // Under a budget of nothing every animation frame is unpacked again whenever it is shown: the
    // pictures are those of the default budget (the references).
    PlayerRun run = shows(at.reference, at.frame,
                          {"--log", "warn", "--frame-cache", "0", "--input", script, "-path", kDemo.string()});
    EXPECT_NE(run.out.find(std::string("scene ") + at.scene), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
  }
  auto expectFinished = [this] {
    EXPECT_EQ(text("GAME", "SOUNDON"), "TRUE");
    EXPECT_EQ(value("GAME", "FINISHED"), 1);
    EXPECT_EQ(text("GAME", "PLAYERNAME"), "ANNA") << "typed into the title's name field";
    EXPECT_EQ(value("GATE", "L1"), 3);
    EXPECT_EQ(value("GATE", "L2"), 1);
    EXPECT_EQ(value("GATE", "L3"), 2);
    EXPECT_EQ(text("GATE", "SOLVED"), "TRUE");
    EXPECT_EQ(text("STORY", "INVENTORY"), "KEY");
  };
  expectFinished();
  const std::string folderSettings = slurp(settings());
  // The whole run's sound, from the folder; the other forms must sound the same.
  fs::path folderSound = dir_ / "folder.wav";
  fs::remove(settings());
  ASSERT_EQ(play({"--headless", "--seed", "1", "--frames", "700", "--input", script, "--settings", settings().string(),
                  "--audio-out", folderSound.string(), "-path", kDemo.string()})
                .status,
            0);
  const std::string sound = slurp(folderSound);
  ASSERT_GT(sound.size(), 700u * 16 * 44100 / 1000 * 4);  // 16-bit stereo over 700 frames of 16 ms
  EXPECT_NE(sound.find_first_not_of('\0', 44), std::string::npos) << "the play-through is silent";

  const fs::path build(TARNVIK_BUILD_DIR);
  for (const std::vector<std::string>& where :
       {std::vector<std::string>{"--archive", (build / "demo.pik").string()},
        std::vector<std::string>{"-path", (build / "games/demo-bin").string()}}) {
    SCOPED_TRACE(where[1]);
    fs::remove(settings());
    fs::path formSound = dir_ / "form.wav";
    PlayerRun run = shows("play-ending", 700, {"--input", script, "--audio-out", formSound.string(), where[0], where[1]});
    EXPECT_NE(run.out.find("scene ENDING"), std::string::npos) << run.out;
    expectFinished();
    EXPECT_EQ(slurp(settings()), folderSettings);
    EXPECT_TRUE(slurp(formSound) == sound) << "the sound differs from the folder's";
  }
}

}  // namespace

namespace {

using namespace tarnvik::e2e;

// The scrolling the demo's valley uses: the canvas observer moves the scene's background, which
// wraps around its edges.
class BackgroundScrollTest : public SceneGameTest {};

TEST_F(BackgroundScrollTest, MovedBackgroundWrapsAndIsDrawnFromItsOffset) {
  // 1600 x 600: blue on the left half, red on the right half.
  ASSERT_TRUE(writeImageFile(folder() / "Dane/S/BG.IMG", 1600, 600, 0, 0,
                             [](int x, int) { return static_cast<uint16_t>(x < 800 ? 0x001F : 0xF800); }));
  scene(integers({"X1", "X2", "Y2"}) +
            "OBJECT=S\nS:ONINIT={CANVASOBSERVER^MOVEBACKGROUND(-5,0);"
            "X1^SET(CANVASOBSERVER^GETBACKGROUNDPOSITIONX());"
            "CANVASOBSERVER^SETBACKGROUNDPOSITION(0,-1);Y2^SET(CANVASOBSERVER^GETBACKGROUNDPOSITIONY());"
            "CANVASOBSERVER^SETBACKGROUNDPOSITION(3205,0);X2^SET(CANVASOBSERVER^GETBACKGROUNDPOSITIONX());}\n",
        "S:BACKGROUND=BG.IMG\n");
  fs::path shot = dir_ / "shot.png";
  ASSERT_EQ(play(3, {"--screenshot", shot.string()}), 0) << err();
  EXPECT_EQ(value("X1"), 1595);  // -5 wrapped into the background's width
  EXPECT_EQ(value("X2"), 5);     // 3205 = 2 * 1600 + 5
  EXPECT_EQ(value("Y2"), 599);
  tarnvik::png::Image image;
  std::string error;
  ASSERT_TRUE(tarnvik::png::read(shot.string(), image, error)) << error;
  auto red = [&](int x, int y) { return image.pixels[(static_cast<size_t>(y) * 800 + x) * image.channels]; };
  // The position is where the background's corner sits on the screen: at 5, screen columns 0 to 4
  // show the background's last columns (red, wrapped around), column 5 on shows its start (blue).
  EXPECT_EQ(red(0, 0), 255);
  EXPECT_EQ(red(4, 599), 255);
  EXPECT_EQ(red(5, 0), 0);
  EXPECT_EQ(red(799, 599), 0);
}

}  // namespace
