// An author's mistakes: each broken game of the table is named at its file and line by
// `tarnvik-tool check`, and the player warns the same where it meets the mistake.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e/player_fixture.h"
#include "graphics/animation.h"

namespace tarnvik::e2e {
namespace {

// The application file of the one-scene games: the scene S lies in Dane/S (line 6 declares it).
const char* const kApplication =
    "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\n\nOBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n";

struct Mistake {
  const char* what;
  const char* scene;        // Dane/S/S.cnv
  const char* located;      // "FILE:LINE" the diagnostic names
  const char* severity;     // as check ranks it
  const char* message;
  bool playerMeetsIt;       // the player warns about it in a short run
  const char* application = kApplication;
  const char* otherFile = nullptr;  // one more file of the game (a sequence, a class, a loaded file)
  const char* otherText = nullptr;
};

const Mistake kMistakes[] = {
    {"a misspelt method, with the near name", "OBJECT=X\nX:TYPE=INTEGER\nOBJECT=S\nS:ONINIT={X^SETT(1);}\n",
     "Dane/S/S.cnv:4", "error", "INTEGER X has no method SETT; did you mean SET?", true},
    {"a call on an object that does not exist", "OBJECT=S\nS:ONINIT={HERO^SHOW();}\n", "Dane/S/S.cnv:2", "error",
     "no object HERO for HERO^SHOW", true},
    {"a method of a behaviour's code, at its CODE line",
     "OBJECT=X\nX:TYPE=INTEGER\nOBJECT=B\nB:TYPE=BEHAVIOUR\n\nB:CODE={X^INC();X^ADDD(2);}\nOBJECT=S\nS:ONINIT=B\n",
     "Dane/S/S.cnv:6", "error", "INTEGER X has no method ADDD; did you mean ADD?", true},
    {"a misspelt instruction", "OBJECT=S\nS:ONINIT={@RETRN(1);}\n", "Dane/S/S.cnv:2", "error",
     "no instruction @RETRN; did you mean RETURN?", true},
    {"a handler key naming an event the type lacks", "OBJECT=X\nX:TYPE=INTEGER\nX:ONCHANGD={X^SET(1);}\n",
     "Dane/S/S.cnv:3", "error", "INTEGER X has no event ONCHANGD; did you mean ONCHANGED?", true},
    {"an event with a parameter misspelt", "OBJECT=A\nA:TYPE=ANIMO\nA:ONFINSHED^JUMP={A^HIDE();}\n", "Dane/S/S.cnv:3",
     "error", "ANIMO A has no event ONFINSHED; did you mean ONFINISHED?", true},
    {"an event far from any", "OBJECT=A\nA:TYPE=ANIMO\nA:ONACTON={A^HIDE();}\n", "Dane/S/S.cnv:3", "error",
     "ANIMO A has no event ONACTON", true},
    {"the scene's own element with a misspelt event", "OBJECT=S\nS:ONINT={S^PAUSE();}\n", "Dane/S/S.cnv:2", "error",
     "SCENE S has no event ONINT; did you mean ONINIT?", true},
    {"a handler naming no behaviour", "OBJECT=X\nX:TYPE=INTEGER\nX:ONCHANGED=NOBEH\n", "Dane/S/S.cnv:3", "error",
     "handler ONCHANGED of X names no behaviour NOBEH", true},
    {"an unknown TYPE near a known one", "OBJECT=HERO\n\nHERO:TYPE=IMGAE\n", "Dane/S/S.cnv:3", "error",
     "unknown TYPE IMGAE of HERO; did you mean IMAGE?", true},
    {"an unknown TYPE far from all", "OBJECT=HERO\nHERO:TYPE=SPRITE\n", "Dane/S/S.cnv:2", "error",
     "unknown TYPE SPRITE of HERO", true},
    {"an unknown key near a known one", "OBJECT=X\nX:TYPE=INTEGER\nX:VALUEE=5\n", "Dane/S/S.cnv:3", "warning",
     "INTEGER X has no key VALUEE; did you mean VALUE?", true},
    {"an unknown key of a behaviour", "OBJECT=B\nB:TYPE=BEHAVIOUR\nB:CODE={}\nB:CONDITON=C\n", "Dane/S/S.cnv:4",
     "warning", "BEHAVIOUR B has no key CONDITON; did you mean CONDITION?", true},
    {"a missing image, with the places searched", "OBJECT=HERO\nHERO:TYPE=IMAGE\nHERO:FILENAME=hero.img\n",
     "Dane/S/S.cnv:1", "error", "IMAGE HERO: cannot load hero.img (looked in Dane/S/hero.img)", true},
    {"a missing animation", "OBJECT=HERO\nHERO:TYPE=ANIMO\nHERO:FILENAME=hero.ann\n", "Dane/S/S.cnv:1", "error",
     "ANIMO HERO: cannot load hero.ann (looked in Dane/S/hero.ann)", true},
    {"a missing sound names its object and the sound folders", "OBJECT=BOOM\nBOOM:TYPE=SOUND\nBOOM:FILENAME=boom.wav\n",
     "Dane/S/S.cnv:1", "error", "SOUND BOOM: cannot load boom.wav (looked in Dane/S/boom.wav, Wavs/boom.wav, Wavs/Sfx/boom.wav)",
     true},
    {"an unbalanced '('", "OBJECT=X\nX:TYPE=INTEGER\nOBJECT=S\nS:ONINIT={X^SET(1;}\n", "Dane/S/S.cnv:4", "error",
     "handler ONINIT of S: unbalanced '(' (1 not closed)", true},
    {"a ')' too many", "OBJECT=X\nX:TYPE=INTEGER\nOBJECT=S\nS:ONINIT={X^SET(1));}\n", "Dane/S/S.cnv:4", "error",
     "handler ONINIT of S: ')' without '('", true},
    {"an unbalanced '['", "OBJECT=X\nX:TYPE=INTEGER\nOBJECT=S\nS:ONINIT={X^SET([1+2);}\n", "Dane/S/S.cnv:4", "error",
     "handler ONINIT of S: unbalanced '[' (1 not closed)", true},
    {"an unclosed text", "OBJECT=X\nX:TYPE=STRING\nOBJECT=S\nS:ONINIT={X^SET(\"A);}\n", "Dane/S/S.cnv:4", "error",
     "handler ONINIT of S: unbalanced '\"' (a text is not closed)", true},
    {"a missing '}'", "OBJECT=X\nX:TYPE=INTEGER\nOBJECT=S\nS:ONINIT={X^SET(1);\n", "Dane/S/S.cnv:4", "error",
     "handler ONINIT of S: missing '}' at the end of the code", true},
    {"a missing ';' runs two statements together", "OBJECT=X\nX:TYPE=INTEGER\nOBJECT=S\nS:ONINIT={X^SET(1)X^INC();}\n",
     "Dane/S/S.cnv:4", "error", "handler ONINIT of S: missing ';' before X^INC() (the statements run together)", true},
    {"a last statement without ';'", "OBJECT=X\nX:TYPE=INTEGER\nOBJECT=S\nS:ONINIT={X^SET(1);X^INC()}\n",
     "Dane/S/S.cnv:4", "error", "handler ONINIT of S: the last statement has no ';' and never runs: X^INC()", true},
    {"a behaviour split over lines without '/'", "OBJECT=X\nX:TYPE=INTEGER\nOBJECT=S\nS:ONINIT={X^SET(1);\nX^INC();}\n",
     "Dane/S/S.cnv:4", "error", "handler ONINIT of S: missing '}' at the end of the code", true},
    {"a behaviour object's code with an unbalanced '('", "OBJECT=B\nB:TYPE=BEHAVIOUR\nB:CODE={@RETURN(1;}\n",
     "Dane/S/S.cnv:3", "error", "behaviour B: unbalanced '(' (1 not closed)", true},
    {"a button's SNDONCLICK naming no object",
     "OBJECT=B\nB:TYPE=BUTTON\nB:RECT=0,0,10,10\nB:SNDONCLICK=CLICK\n", "Dane/S/S.cnv:1", "error",
     "BUTTON B: SNDONCLICK names no object CLICK", true},
    {"a scene PATH naming a missing folder", "", "Dane/application.def:6", "error",
     "SCENE S: PATH SS names no folder (looked for Dane/SS)", true,
     "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\n\nOBJECT=S\nS:TYPE=SCENE\nS:PATH=SS\n"},
    {"an episode's STARTWITH naming none of its scenes", "", "Dane/application.def:5", "error",
     "episode E: STARTWITH SCENE2 names none of its scenes; it starts with S; did you mean SCENE?", true,
     "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:EPISODES=E\nGAME:STARTWITH=E\nOBJECT=E\nE:TYPE=EPISODE\nE:SCENES=S,SCENE\n"
     "E:STARTWITH=SCENE2\nOBJECT=S\nS:TYPE=SCENE\nS:PATH=S\nOBJECT=SCENE\nSCENE:TYPE=SCENE\nSCENE:PATH=S\n"},
    {"a scene BACKGROUND that cannot be found", "", "Dane/application.def:6", "error",
     "SCENE S: BACKGROUND BACK.IMG cannot be found (looked in Dane/S/BACK.IMG)", true,
     "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\n\nOBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n"
     "S:BACKGROUND=BACK.IMG\n"},
    {"the application's STARTWITH naming nothing", "", "Dane/application.def:1", "error",
     "application GAME: STARTWITH SS names none of its episodes or scenes", false,
     "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=SS\n\nOBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n"},
    {"a missing font", "OBJECT=F\nF:TYPE=FONT\nF:FILENAME=big.fnt\n", "Dane/S/S.cnv:1", "error",
     "FONT F: cannot load big.fnt (looked in Dane/S/big.fnt)", true},
    {"a missing sequence file", "OBJECT=TALK\nTALK:TYPE=SEQUENCE\nTALK:FILENAME=talk.seq\n", "Dane/S/S.cnv:1", "error",
     "SEQUENCE TALK: cannot load talk.seq (looked in Dane/S/talk.seq)", true},
    {"an animation a sequence file names, at its line there",
     "OBJECT=TALK\nTALK:TYPE=SEQUENCE\nTALK:FILENAME=talk.seq\n", "Dane/S/talk.seq:4", "error",
     "SEQUENCE TALK: animation face.ann cannot be found (looked in Dane/S/face.ann)", true, kApplication,
     "Dane/S/talk.seq", "NAME=TALK\nTALK:TYPE=SEQUENCE\nNAME=A\nA:FILENAME=face.ann\nA:EVENT=X\nTALK:ADD=A\n"},
    {"a sound a sequence file names, with the sound folders",
     "OBJECT=TALK\nTALK:TYPE=SEQUENCE\nTALK:FILENAME=talk.seq\n", "Dane/S/talk.seq:4", "error",
     "SEQUENCE TALK: sound hello.wav cannot be found (looked in Dane/S/hello.wav, Wavs/hello.wav, Wavs/Sfx/hello.wav)",
     true, kApplication, "Dane/S/talk.seq", "NAME=TALK\nTALK:TYPE=SEQUENCE\nNAME=A\nA:FILENAME=hello.wav\nTALK:ADD=A\n"},
    {"an animation named by a literal argument", "OBJECT=A\nA:TYPE=ANIMO\nOBJECT=S\nS:ONINIT={A^LOAD(\"walk.ann\");}\n",
     "Dane/S/S.cnv:4", "error", "ANIMO A: LOAD names walk.ann, which cannot be found (looked in Dane/S/walk.ann)", false},
    {"a definition file loaded at run time that is missing", "OBJECT=S\nS:ONINIT={CNVLOADER^LOAD(\"more.cnv\");}\n",
     "Dane/S/S.cnv:2", "error", "CNVLOADER: LOAD names more.cnv, which cannot be found (looked in Dane/S/more.cnv)", false},
    {"a mistake inside a definition file loaded at run time", "OBJECT=S\nS:ONINIT={CNVLOADER^LOAD(\"more.cnv\");}\n",
     "Dane/S/more.cnv:2", "error", "unknown TYPE INTEGR of Q; did you mean INTEGER?", false, kApplication,
     "Dane/S/more.cnv", "OBJECT=Q\nQ:TYPE=INTEGR\n"},
    {"a class whose file is missing", "OBJECT=C\nC:TYPE=CLASS\nC:DEF=hero.class\n", "Dane/S/S.cnv:1", "error",
     "CLASS C: cannot read $COMMON\\CLASSES\\hero.class (looked in COMMON/CLASSES/hero.class)", false},
    {"a misspelt method inside a class file", "OBJECT=C\nC:TYPE=CLASS\nC:DEF=hero.class\n",
     "COMMON/CLASSES/hero.class:5", "error", "INTEGER W has no method SETT; did you mean SET?", false, kApplication,
     "COMMON/CLASSES/hero.class",
     "OBJECT=W\nW:TYPE=INTEGER\nOBJECT=CONSTRUCTOR\nCONSTRUCTOR:TYPE=BEHAVIOUR\nCONSTRUCTOR:CODE={W^SETT(1);}\n"},
};

class MistakesTest : public SceneGameTest {
 protected:
  // Runs tarnvik-tool with the arguments; the run's output and status.
  PlayerRun tool(const std::vector<std::string>& args) {
    std::vector<std::string> command{std::string(TARNVIK_BUILD_DIR) + "/tarnvik-tool"};
    command.insert(command.end(), args.begin(), args.end());
    return finish(spawn(command));
  }
  void make(const Mistake& m) {
    fs::remove_all(folder());
    fs::create_directories(folder() / "Dane" / "S");
    write("Dane/application.def", m.application);
    write("Dane/S/S.cnv", m.scene);
    if (m.otherFile) {
      fs::create_directories((folder() / m.otherFile).parent_path());
      write(m.otherFile, m.otherText);
    }
  }
};

TEST_F(MistakesTest, EachMistakeIsNamedAtItsLineByCheckAndByThePlayer) {
  ASSERT_GE(std::size(kMistakes), 25u);
  for (const Mistake& m : kMistakes) {
    make(m);
    PlayerRun check = tool({"check", folder().string()});
    std::string expected = std::string(m.located) + ": " + m.severity + ": " + m.message + "\n";
    EXPECT_NE(check.out.find(expected), std::string::npos) << m.what << "\nexpected: " << expected << "got:\n" << check.out << check.err;
    EXPECT_EQ(check.status, std::string(m.severity) == "error" ? 1 : 0) << m.what;
    if (!m.playerMeetsIt) continue;
    play(3);
    std::string warning = std::string(m.located) + ": warning: " + m.message + "\n";
    EXPECT_NE(err().find(warning), std::string::npos) << m.what << "\nexpected: " << warning << "got:\n" << err();
  }
}

TEST_F(MistakesTest, FilesThatLoadThemselvesAreReadOnce) {
  write("Dane/application.def", kApplication);
  write("Dane/S/S.cnv", "OBJECT=C\nC:TYPE=CLASS\nC:DEF=loop.class\nOBJECT=S\nS:ONINIT={CNVLOADER^LOAD(\"more.cnv\");}\n");
  write("Dane/S/more.cnv", "OBJECT=S2\nS2:TYPE=BEHAVIOUR\nS2:CODE={CNVLOADER^LOAD(\"more.cnv\");}\nOBJECT=Q\nQ:TYPE=INTEGR\n");
  fs::create_directories(folder() / "COMMON/CLASSES");
  write("COMMON/CLASSES/loop.class", "OBJECT=D\nD:TYPE=CLASS\nD:DEF=loop.class\nOBJECT=W\nW:TYPE=INTEGR\n");
  PlayerRun check = tool({"check", folder().string()});
  EXPECT_EQ(check.out,
            "COMMON/CLASSES/loop.class:5: error: unknown TYPE INTEGR of W; did you mean INTEGER?\n"
            "Dane/S/more.cnv:5: error: unknown TYPE INTEGR of Q; did you mean INTEGER?\n"
            "2 errors, 0 warnings\n");
}

TEST_F(MistakesTest, CheckSortsByFileAndLineAndSumsUp) {
  write("Dane/application.def", kApplication);
  write("Dane/S/S.cnv", "OBJECT=X\nX:TYPE=INTEGER\nX:VALUEE=1\nOBJECT=S\nS:ONINIT={X^SETT(1);Y^SET(2);}\n");
  PlayerRun check = tool({"check", folder().string()});
  EXPECT_EQ(check.out,
            "Dane/S/S.cnv:3: warning: INTEGER X has no key VALUEE; did you mean VALUE?\n"
            "Dane/S/S.cnv:5: error: INTEGER X has no method SETT; did you mean SET?\n"
            "Dane/S/S.cnv:5: error: no object Y for Y^SET\n"
            "2 errors, 1 warning\n");
  EXPECT_EQ(check.status, 1);
  PlayerRun json = tool({"check", "--json", folder().string()});
  EXPECT_NE(json.out.find("\"file\": \"Dane/S/S.cnv\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"severity\": \"warning\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"line\": 3"), std::string::npos) << json.out;
}

TEST_F(MistakesTest, WarningsAloneExitZeroUnlessWerror) {
  write("Dane/application.def", kApplication);
  write("Dane/S/S.cnv", "OBJECT=X\nX:TYPE=INTEGER\nX:VALUEE=1\n");
  EXPECT_EQ(tool({"check", folder().string()}).status, 0);
  EXPECT_EQ(tool({"check", folder().string(), "--werror"}).status, 1);
  write("Dane/S/S.cnv", "OBJECT=X\nX:TYPE=INTEGER\nX:VALUE=1\n");
  PlayerRun clean = tool({"check", folder().string(), "--werror"});
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(clean.out, "0 errors, 0 warnings\n");
}

TEST_F(MistakesTest, AStaleBinIsAWarning) {
  write("Dane/application.def", kApplication);
  write("Dane/S/S.bin", "old");
  fs::last_write_time(folder() / "Dane/S/S.bin", fs::file_time_type::clock::now() - std::chrono::hours(1));
  write("Dane/S/S.cnv", "OBJECT=X\nX:TYPE=INTEGER\n");
  PlayerRun check = tool({"check", folder().string()});
  EXPECT_NE(check.out.find("Dane/S/S.bin (precompiled): warning: older than Dane/S/S.cnv"), std::string::npos) << check.out;
  EXPECT_EQ(check.status, 0);
}

TEST_F(MistakesTest, UnreadableGamesAndBadUsageExitTwo) {
  EXPECT_EQ(tool({"check"}).status, 2);
  EXPECT_EQ(tool({"check", "a", "b"}).status, 2);
  EXPECT_EQ(tool({"check", (dir_ / "absent").string()}).status, 2);
  // A damaged archive.
  write("broken.pik", std::string("PIK\x01garbage that is no archive", 29));
  PlayerRun archive = tool({"check", (folder() / "broken.pik").string()});
  EXPECT_EQ(archive.status, 2) << archive.out << archive.err;
  EXPECT_NE(archive.err.find("not a readable archive"), std::string::npos) << archive.err;
  // A binary file in place of the application file, then of a scene file.
  write("Dane/application.def", std::string("\x00\x01\x02\x03OBJECT=GAME\x00", 17));
  PlayerRun binary = tool({"check", folder().string()});
  EXPECT_EQ(binary.status, 2);
  EXPECT_NE(binary.err.find("Dane/application.def is not a definition file"), std::string::npos) << binary.err;
  write("Dane/application.def", kApplication);
  write("Dane/S/S.cnv", std::string("\x7f" "ELF\x02\x01\x01\x00\x00\x00", 10));
  binary = tool({"check", folder().string()});
  EXPECT_EQ(binary.status, 2);
  EXPECT_NE(binary.err.find("Dane/S/S.cnv is not a definition file"), std::string::npos) << binary.err;
}

TEST_F(MistakesTest, TheDemoAndTheTestGamesCheckClean) {
  std::vector<fs::path> games{fs::path(TARNVIK_BUILD_DIR) / "games/demo", fs::path(TARNVIK_BUILD_DIR) / "games/demo-bin",
                              fs::path(TARNVIK_BUILD_DIR) / "demo.pik"};
  // badstart and nodefs exist to be broken: the player's start failures are tested with them.
  // records gets its two box images from its test, as there.
  for (const auto& entry : fs::directory_iterator(TARNVIK_TEST_GAMES)) {
    std::string name = entry.path().filename().string();
    if (!fs::exists(entry.path() / "Dane") || name == "badstart" || name == "nodefs") continue;
    if (name != "records") {
      games.push_back(entry.path());
      continue;
    }
    fs::path copy = dir_ / name;
    fs::copy(entry.path(), copy, fs::copy_options::recursive);
    ASSERT_TRUE(writeImageFile(copy / "Dane/R/b1.img", 20, 20, 0, 0, [](int, int) { return uint16_t{0xf800}; }));
    ASSERT_TRUE(writeImageFile(copy / "Dane/R/b2.img", 30, 12, 0, 0, [](int, int) { return uint16_t{0x07e0}; }));
    games.push_back(copy);
  }
  for (const fs::path& game : games) {
    PlayerRun check = tool({"check", game.string()});
    EXPECT_EQ(check.status, 0) << game << "\n" << check.out << check.err;
    EXPECT_EQ(check.out, "0 errors, 0 warnings\n") << game;
  }
}

TEST_F(MistakesTest, RepeatedWarningsAreCountedAtTheEndAndErrorLevelSilencesThem) {
  write("Dane/application.def", kApplication);
  write("Dane/S/S.cnv",
        "OBJECT=X\nX:TYPE=INTEGER\nOBJECT=T\nT:TYPE=TIMER\nT:ELAPSE=10\nT:ENABLED=TRUE\nT:ONTICK={X^SETT(1);}\n");
  play(30);
  const std::string warning = "Dane/S/S.cnv:7: warning: INTEGER X has no method SETT; did you mean SET?\n";
  // Written once as its own line, then counted at the end.
  ASSERT_NE(err().find(warning), std::string::npos) << err();
  EXPECT_EQ(err().find("\n" + warning, err().find(warning) + 1), std::string::npos) << err();
  EXPECT_NE(err().find("tarnvik: warn: repeated "), std::string::npos) << err();
  EXPECT_NE(err().find(" times: " + warning), std::string::npos) << err();
  play(30, {"--log", "error"});
  EXPECT_EQ(err().find("warning:"), std::string::npos) << err();
}

TEST_F(MistakesTest, PlayOfAnEventTheAnimationLacksIsNamedWhenItRuns) {
  CAnimo animo;
  auto frame = std::make_unique<CAnimoFrame>();
  ASSERT_TRUE(frame->create(4, 4, 16, false));
  animo.AddFrame(std::move(frame));
  CAnimoEvent jump;
  jump.name = "JUMP";
  jump.fps = 10;
  jump.entries.push_back(CAnimoEntry{});
  animo.AddEvent(jump);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(animo.SaveToMemory(0, bytes));
  writeBytes("Dane/S/hero.ann", bytes);
  scene("OBJECT=HERO\nHERO:TYPE=ANIMO\nHERO:FILENAME=hero.ann\nOBJECT=S\nS:ONINIT={HERO^PLAY(\"JUMPP\");}\n");
  EXPECT_EQ(play(3), 0);
  EXPECT_NE(err().find("Dane/S/S.cnv:1: warning: ANIMO HERO: PLAY of JUMPP, an event its animation does not have; "
                       "did you mean JUMP?\n"),
            std::string::npos)
      << err();
  // Nothing the check can see without playing.
  EXPECT_EQ(tool({"check", folder().string()}).out, "0 errors, 0 warnings\n");
}

TEST_F(MistakesTest, AnEngineOptionWithTwoDashesIsNamed) {
  PlayerRun run = PlayerTest::play({"--path", "game"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("unknown option --path (engine options take one dash: -path)"), std::string::npos) << run.err;
}

TEST_F(MistakesTest, WatchReloadsTheCurrentSceneWhenItsFileChangesOnTheRealClock) {
  const char* const twoScenes =
      "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=A,S\nGAME:STARTWITH=A\n"
      "OBJECT=A\nA:TYPE=SCENE\nA:PATH=A\nOBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n";
  fs::create_directories(folder() / "Dane" / "A");
  write("Dane/application.def", twoScenes);
  write("Dane/A/A.cnv", "OBJECT=A\nA:ONINIT={GAME^GOTO(\"S\");}\n");
  write("Dane/S/S.cnv", "OBJECT=X\nX:TYPE=INTEGER\nX:TOINI=TRUE\nOBJECT=S\nS:ONINIT={X^SET(1);}\n");
  // No display: the player runs headless on the real clock (about 60 frames a second).
  pid_t pid = spawn({"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "SDL_AUDIODRIVER=dummy", program(), "--watch",
                     "--log", "info", "--frames", "240", "--settings", settings().string(), "-path", folder().string()});
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  write("Dane/S/S.cnv", "OBJECT=X\nX:TYPE=INTEGER\nX:TOINI=TRUE\nOBJECT=S\nS:ONINIT={X^SET(2);}\n");
  PlayerRun run = finish(pid);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("reloading the game: Dane/S/S.cnv changed"), std::string::npos) << run.err;
  // The reloaded scene S (not the start scene A) ran its new ONINIT.
  EXPECT_EQ(PlayerTest::value("S", "X"), 2) << run.err;
  EXPECT_NE(run.out.find("scene S"), std::string::npos) << run.out;
}

TEST_F(MistakesTest, WatchIsIgnoredUnderAnInputScript) {
  scene("OBJECT=X\nX:TYPE=INTEGER\n");
  write("input.txt", "0 move 1 1\n");
  EXPECT_EQ(play(2, {"--watch", "--input", (folder() / "input.txt").string()}), 0);
  EXPECT_NE(err().find("--watch is ignored while an --input script is replayed"), std::string::npos) << err();
}

}  // namespace
}  // namespace tarnvik::e2e
