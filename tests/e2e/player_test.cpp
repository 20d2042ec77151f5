// Game folders run end to end through the headless player; the settings files they write are checked.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e/player_fixture.h"

namespace {

using namespace tarnvik::e2e;

TEST_F(PlayerTest, EpisodesDeclaredFirstAndEdgesOfNavigation) {
  PlayerRun run = game("order", 100);  // 1.6 s of game time
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(value("S1", "ENTERED"), 1);          // PREV at the first scene and BACK did nothing
  EXPECT_EQ(text("S1", "STAYED"), "TRUE");
  EXPECT_EQ(value("S2", "ENTERED"), 1);          // NEXT at the last scene did nothing
  EXPECT_GE(value("S2", "TICKS"), 10);
  EXPECT_NE(run.out.find("scene S2"), std::string::npos) << run.out;
}

TEST_F(PlayerTest, DemoIsGameAndGotoInOnInitWaitsForTheNextTick) {
  PlayerRun run = game("demoname", 5, {"--frame-ms", "20"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(text("A", "NAME"), "GAME");
  EXPECT_EQ(value("A", "AFTER"), 0);    // ONINIT went on after the GOTO, at time 0
  EXPECT_EQ(value("B", "ENTERED"), 20);  // B was entered by the first tick
}

TEST_F(PlayerTest, LeavingAnEpisodeLeavesItsSceneAndItsHandlers) {
  PlayerRun run = game("episodes", 60);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(text("S2", "ARRIVED"), "TRUE");
  EXPECT_EQ(value("GAME", "LEFTS1"), 1);  // S1 finished exactly once
  EXPECT_EQ(value("GAME", "PINGS"), 3);   // S1's handler on the application's timer went with S1
}

TEST_F(PlayerTest, ReloadIntoMissingFolderThenAnotherGame) {
  PlayerRun run = game("reload_a", 30);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(text("A", "STILL"), "TRUE");
  EXPECT_EQ(text("B", "ARRIVED"), "OTHER");
  EXPECT_NE(run.out.find("scene B"), std::string::npos) << run.out;
}

TEST_F(PlayerTest, SceneWithoutFileRunsEmptyAndExitEndsTheRun) {
  PlayerRun run = game("empty", 1000);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(text("GAME", "STARTED"), "TRUE");
  EXPECT_EQ(text("GAME", "UPGRADE"), "TRUE");  // the game asks for a newer engine
  EXPECT_NE(run.out.find("13 frames, scene NOFILE"), std::string::npos) << run.out;  // EXIT at 208 ms
}

TEST_F(PlayerTest, TimersCountTicksRestartAndPreferTheNumberedEvent) {
  PlayerRun run = game("timers", 200, {"--frame-ms", "10"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(value("T", "FIRST"), 3);
  EXPECT_EQ(value("T", "COUNT"), 6);
  EXPECT_EQ(value("T", "RESTARTED"), 2);
  EXPECT_EQ(value("T", "PLAIN"), 3);
  EXPECT_EQ(value("T", "SECOND"), 1);
  EXPECT_NE(text("T", "NEVERTICKED"), "TRUE");
}

TEST_F(PlayerTest, PausedSceneFiresNoTimerAndCatchesUpOnce) {
  PlayerRun run = game("pause", 63);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(text("P", "PAUSED"), "TRUE");
  EXPECT_EQ(value("P", "ATRESUME"), 2);
  // The first timer poll after the resume, early in the next frame, before its structure tick counts it.
  EXPECT_EQ(value("P", "CATCHUP"), 60);
  EXPECT_EQ(value("P", "COUNT"), 3);     // one catch-up tick, not one per missed interval
}

TEST_F(PlayerTest, RandomDrawsStayInRangeAndRepeatWithTheSameSeed) {
  PlayerRun run = game("rand", 50, {"--seed", "7"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(value("R", "BAD"), 0);
  EXPECT_GT(value("R", "LOW"), 0);
  EXPECT_GT(value("R", "HIGH"), 0);
  std::string first = slurp(settings());
  fs::remove(settings());
  ASSERT_EQ(game("rand", 50, {"--seed", "7"}).status, 0);
  EXPECT_EQ(slurp(settings()), first);
  fs::remove(settings());
  ASSERT_EQ(game("rand", 50, {"--seed", "8"}).status, 0);
  EXPECT_NE(slurp(settings()), first);
}

TEST_F(PlayerTest, RunOnTimerWithCountBreakAndBreakMethod) {
  PlayerRun run = game("runontimer", 60);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(value("R", "TICKS"), 1 + 2 + 3);  // the tick number is the first parameter
  EXPECT_EQ(value("R", "DONE"), 3);           // the final behaviour gets the same parameters
  EXPECT_EQ(value("R", "COUNT2"), 4);         // ended by BREAK on tick 4
  EXPECT_EQ(value("R", "FINAL2"), 4);
  EXPECT_EQ(value("R", "COUNT3"), 1);         // BEHAVIOUR^BREAK: no more ticks, no final behaviour
  EXPECT_NE(text("R", "FINAL3"), "TRUE");
  // Every timer copy has left the scene: 12 declared objects, the two handlers written inline
  // (beh_R_ONINIT, beh_LEFT_ONTICK) and the three inline arguments of RUNONTIMER (temp_...).
  EXPECT_EQ(value("R", "ELEMENTS"), 12 + 2 + 3);
}

TEST_F(PlayerTest, ExitStatuses) {
  EXPECT_EQ(play({"--frames"}).status, 1);
  EXPECT_EQ(play({"--bogus"}).status, 1);
  EXPECT_EQ(play({"--help"}).status, 0);
  PlayerRun missing = game("no_such_folder", 1);
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("no_such_folder"), std::string::npos) << missing.err;
  PlayerRun nodefs = game("nodefs", 1);
  EXPECT_EQ(nodefs.status, 2);
  EXPECT_NE(nodefs.err.find("application.def"), std::string::npos) << nodefs.err;
  PlayerRun badstart = game("badstart", 1);
  EXPECT_EQ(badstart.status, 2);
  EXPECT_NE(badstart.err.find("NOWHERE"), std::string::npos) << badstart.err;
  PlayerRun precompile = game("no_such_folder", 3, {"-2bin"});
  EXPECT_EQ(precompile.status, 2);
  EXPECT_EQ(game("order", 3).status, 0);
}

TEST_F(PlayerTest, TerminationSignalEndsTheRunCleanly) {
  pid_t pid = start({"--headless", "--frames", "1000000000", "--settings", settings().string(), "-path", "order"});
  for (int i = 0; i < 500 && !fs::exists(settings()); ++i) usleep(10000);
  usleep(100000);
  kill(pid, SIGTERM);
  PlayerRun run = finish(pid);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("frames, scene S2"), std::string::npos) << run.out;
  EXPECT_EQ(value("S2", "ENTERED"), 1);
}

TEST_F(PlayerTest, CountingGamePlaysToItsEndAndKeepsValues) {
  PlayerRun run = game("counting", 2000);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("scene FINALE"), std::string::npos) << run.out;
  EXPECT_EQ(value("INTRO", "PLAYS"), 1);
  EXPECT_EQ(value("COUNTING", "TOTAL"), 10);  // the counting scene ran twice
  EXPECT_EQ(text("FINALE", "LAST"), "FINALE");
  ASSERT_EQ(game("counting", 2000).status, 0);
  EXPECT_EQ(value("INTRO", "PLAYS"), 2);
  EXPECT_EQ(value("COUNTING", "TOTAL"), 20);
}

TEST_F(PlayerTest, CanvasObserverSeesEachScenesInitialUpdateAndComposedFrames) {
  PlayerRun run = game("canvas", 40);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(value("S1", "BEFORE"), 1);
  EXPECT_EQ(value("S1", "AFTER"), 1);
  // The initial update's frame, the full frame after it, and the frame after REFRESH.
  EXPECT_EQ(value("S1", "COMPOSED"), 3);
  EXPECT_EQ(value("S2", "BEFORE"), 1);
  EXPECT_EQ(text("S2", "GREY"), "TRUE");
  EXPECT_NE(run.out.find("scene S2"), std::string::npos) << run.out;
}

TEST_F(PlayerTest, ArraysAndGroupsFromScripts) {
  PlayerRun run = game("arrays", 5);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(value("A", "SIZE"), 4);
  EXPECT_EQ(text("A", "SECOND"), "3");
  EXPECT_EQ(text("A", "OUT"), "NULL");
  EXPECT_EQ(text("A", "ARR"), "6,4,10,x1");
  EXPECT_EQ(text("A", "NEXTVAL"), "10");
  EXPECT_EQ(value("A", "EMPTYPOS"), -1);
  EXPECT_EQ(text("A", "SORTED"), "TRUE,2,3,a,b");
  EXPECT_EQ(value("A", "FOUND"), 3);
  EXPECT_EQ(value("A", "PSIZE"), 5);
  EXPECT_EQ(value("A", "GSIZE"), 2);
  EXPECT_EQ(value("A", "N1"), 2);
  EXPECT_EQ(value("A", "N2"), 3);
  EXPECT_EQ(value("A", "VCOUNT"), 4);
  EXPECT_EQ(value("A", "VCOUNT2"), 5);
  EXPECT_EQ(value("A", "EMPTYSIZE"), 1);
  EXPECT_EQ(value("A", "ACOUNT"), 1);  // the application's GETOBJECTS refilled the group with RANDOM
}

TEST_F(PlayerTest, ArraySavedInOneRunIsReadBackInTheNext) {
  fs::path copy = dir_ / "arraysave";
  fs::copy(fs::path(TARNVIK_TEST_GAMES) / "arraysave", copy, fs::copy_options::recursive);
  PlayerRun first = game(copy.string(), 20);
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(value("S", "RUNS"), 1);
  EXPECT_EQ(text("S", "ARR"), "7,seven,FALSE,2");
  const std::string expected("\x04\0\0\0"
                             "\x01\0\0\0\x07\0\0\0"
                             "\x02\0\0\0\x05\0\0\0seven"
                             "\x03\0\0\0\x00"
                             "\x01\0\0\0\x02\0\0\0",
                             38);
  EXPECT_EQ(slurp(copy / "Dane" / "S" / "saved.arr"), expected);
  PlayerRun second = game(copy.string(), 5);
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(value("S", "RUNS"), 2);
  EXPECT_EQ(value("S", "LSIZE"), 4);
  EXPECT_EQ(value("S", "L0"), 7);
  EXPECT_EQ(text("S", "L1"), "seven");
  EXPECT_EQ(text("S", "L2"), "FALSE");
  EXPECT_EQ(value("S", "LSIZE2"), 8);
  EXPECT_EQ(text("S", "L5"), "seven");
}

TEST_F(PlayerTest, ClassesAndRunTimeLoading) {
  PlayerRun run = game("classes", 5);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(value("C", "MADE"), 1);
  EXPECT_EQ(value("C", "GOT"), 8);
  EXPECT_EQ(text("C", "SHOWN"), "child");
  EXPECT_EQ(text("C", "SUPERSHOWN"), "base");
  EXPECT_EQ(value("C", "DESTR"), 1);
  EXPECT_EQ(value("C", "ALIVE"), 1) << "the runaway constructor stopped and the game went on";
  EXPECT_EQ(text("C", "LOG"), "cdi1i2o1o2");
  EXPECT_EQ(value("C", "LOADED"), 7);  // E1, E2, EB and the behaviours of the four inline handlers
  EXPECT_EQ(value("C", "SUMV"), 5);
  EXPECT_EQ(value("C", "HIT"), 1);
  EXPECT_EQ(text("C", "GONE"), "FALSE");
}

TEST_F(PlayerTest, VariableNamedLikeItsSceneLeavesTheHandlersToTheScene) {
  PlayerRun run = game("scenetwin", 5);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(value("S1", "RAN"), 1);
  EXPECT_EQ(text("S1", "SEEN"), "hello");
}

TEST_F(SceneGameTest, AnObjectRemovedByAnEarlierOnesInitIsNotInitialised) {
  // A's ONINIT removes B before B's turn; C still follows. ONINIT runs as each object is initialised.
  scene(integers({"INITS"}) +
        "OBJECT=A\nA:TYPE=INTEGER\nA:ONINIT={S^REMOVE(\"B\");INITS^ADD(1);}\n"
        "OBJECT=B\nB:TYPE=INTEGER\nB:ONINIT={INITS^ADD(10);}\n"
        "OBJECT=C\nC:TYPE=INTEGER\nC:ONINIT={INITS^ADD(100);}\n");
  ASSERT_EQ(play(2), 0) << err();
  EXPECT_EQ(value("INITS"), 101);
}

}  // namespace
