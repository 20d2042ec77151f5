// Game folders run end to end through the headless player; the settings files they write are checked.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/config.h"

namespace fs = std::filesystem;

namespace {

struct PlayerRun {
  int status = -1;
  std::string out, err;
};

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnvik-e2e-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Starts build/tarnvik with the arguments in the test games folder; returns its process id.
  pid_t start(const std::vector<std::string>& args) {
    fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(TARNVIK_TEST_GAMES) != 0) _exit(120);
      int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(o, 1);
      dup2(e, 2);
      setenv("XDG_DATA_HOME", (dir_ / "xdg").c_str(), 1);
      std::string program = std::string(TARNVIK_BUILD_DIR) + "/tarnvik";
      std::vector<char*> argv{program.data()};
      std::vector<std::string> copy = args;
      for (auto& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(121);
    }
    return pid;
  }
  PlayerRun finish(pid_t pid) {
    PlayerRun run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = slurp(dir_ / "stdout");
    run.err = slurp(dir_ / "stderr");
    return run;
  }

  // Runs build/tarnvik with the arguments in the test games folder, XDG_DATA_HOME inside the temp folder.
  PlayerRun play(const std::vector<std::string>& args) { return finish(start(args)); }

  // Plays a game headless with its own settings file; returns the run.
  PlayerRun game(const std::string& folder, int frames, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args{"--headless", "--frames", std::to_string(frames), "--settings", settings().string()};
    args.insert(args.end(), more.begin(), more.end());
    args.insert(args.end(), {"-path", folder});
    return play(args);
  }

  fs::path settings() const { return dir_ / "settings.ini"; }
  int value(const char* section, const char* key) const { return CConfig(settings().string()).GetInt(section, key, -999); }
  std::string text(const char* section, const char* key) const {
    return CConfig(settings().string()).GetString(section, key, "<absent>").str();
  }

  fs::path dir_;
};

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

TEST_F(PlayerTest, DemoPlaysToItsEndAndKeepsValues) {
  PlayerRun run = play({"--headless", "--frames", "2000", "--settings", settings().string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("scene FINALE"), std::string::npos) << run.out;
  EXPECT_EQ(value("INTRO", "PLAYS"), 1);
  EXPECT_EQ(value("COUNTING", "TOTAL"), 10);  // the counting scene ran twice
  EXPECT_EQ(text("FINALE", "LAST"), "FINALE");
  ASSERT_EQ(play({"--headless", "--frames", "2000", "--settings", settings().string()}).status, 0);
  EXPECT_EQ(value("INTRO", "PLAYS"), 2);
  EXPECT_EQ(value("COUNTING", "TOTAL"), 20);
}

}  // namespace
