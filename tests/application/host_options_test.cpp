// The player's host options: values, errors, engine words kept in order, the game named by a plain word.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "application/host_options.h"

using tarnvik::HostOptions;
using tarnvik::parseHostOptions;

TEST(HostOptions, SplitsHostOptionsFromEngineWords) {
  HostOptions o;
  std::string err;
  ASSERT_TRUE(parseHostOptions({"--headless", "-path", "games/x", "--frames", "30", "-window", "--seed", "42",
                                "--frame-ms", "20", "--log", "trace", "--frame-cache", "0", "-res", "640", "480"},
                               o, err))
      << err;
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.frames, 30);
  EXPECT_EQ(o.frameMs, 20);
  EXPECT_EQ(o.frameCacheMB, 0);
  EXPECT_EQ(o.seed, 42u);
  EXPECT_EQ(o.logLevel, tarnvik::log::Level::trace);
  EXPECT_EQ(HostOptions().logLevel, tarnvik::log::Level::warn);
  EXPECT_EQ(tarnvik::joinEngineWords(o.engineWords), "-path games/x -window -res 640 480");
}

TEST(HostOptions, RejectsBadValuesAndUnknownOptions) {
  HostOptions o;
  std::string err;
  EXPECT_FALSE(parseHostOptions({"--frames"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--frames", "-3"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--frames", "12x"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--frame-ms", "0"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--seed", "4294967296"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--log", "loud"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--scale", "big"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--save-at", "10"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--save-at", "x", "a.sav"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--load-slot", "-1"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--autosave-minutes", "soon"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--load", "a.sav", "--load-slot", "1"}, o, err));
  EXPECT_EQ(err, "--load and --load-slot name two saves");
  EXPECT_FALSE(parseHostOptions({"--frame-cache", "-1"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--frame-cache", "65537"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--fullscreen"}, o, err));
  EXPECT_NE(err.find("--fullscreen"), std::string::npos);
  EXPECT_EQ(err.find("one dash"), std::string::npos);
  // An engine option written with two dashes is named with its one.
  EXPECT_FALSE(parseHostOptions({"--path", "game"}, o, err));
  EXPECT_EQ(err, "unknown option --path (engine options take one dash: -path)");
  EXPECT_TRUE(parseHostOptions({"--seed", "4294967295", "--settings", "a.ini", "--scale", "fit"}, o, err));
  EXPECT_EQ(o.settingsFile, "a.ini");
  EXPECT_EQ(o.scale, tarnvik::ScaleMode::fit);
  ASSERT_TRUE(parseHostOptions({"--save-at", "5", "a.sav", "--save-at", "9", "b.sav", "--load-slot", "0",
                                "--autosave-minutes", "0", "--list-saves"},
                               o, err));
  EXPECT_EQ(o.saveAt, (std::vector<std::pair<int, std::string>>{{5, "a.sav"}, {9, "b.sav"}}));
  EXPECT_EQ(o.loadSlot, 0);
  EXPECT_EQ(o.autosaveMinutes, 0);
  EXPECT_TRUE(o.listSaves);
}

TEST(HostOptions, DefaultSettingsFileFollowsXdgDataHome) {
  const char* old = std::getenv("XDG_DATA_HOME");
  std::string saved = old ? old : "";
  const char* oldHome = std::getenv("HOME");
  std::string savedHome = oldHome ? oldHome : "";
  setenv("XDG_DATA_HOME", "/tmp/xdg-test", 1);
  EXPECT_EQ(tarnvik::defaultSettingsFile("games/demo/"), "/tmp/xdg-test/tarnvik/demo.ini");
  EXPECT_EQ(tarnvik::defaultDataFolder("/abs/My Game"), "/tmp/xdg-test/tarnvik/My Game");
  EXPECT_EQ(tarnvik::defaultSavesFolder("games/demo/"), "/tmp/xdg-test/tarnvik/saves/demo");
  setenv("XDG_DATA_HOME", "relative/path", 1);  // not absolute: ignored
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(tarnvik::defaultSettingsFile("g"), "/home/someone/.local/share/tarnvik/g.ini");
  if (old) setenv("XDG_DATA_HOME", saved.c_str(), 1); else unsetenv("XDG_DATA_HOME");
  if (oldHome) setenv("HOME", savedHome.c_str(), 1); else unsetenv("HOME");
}

// A plain word names the game only when it is an existing folder or archive and the engine does not
// read it as an option or an option's value.
TEST(HostOptions, PlainWordNamingAFolderOrArchiveIsTheGame) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tarnvik-host-game-" + std::to_string(getpid()));
  fs::create_directories(dir / "My Game");
  fs::create_directories(dir / "other");
  std::ofstream(dir / "g.PIK") << "x";
  const std::string folder = (dir / "My Game").string(), other = (dir / "other").string();
  const std::string archive = (dir / "g.PIK").string();
  struct Case {
    std::vector<std::string> args;
    std::string gameFolder, archiveFile, engineLine;
  };
  const Case cases[] = {
      {{folder}, folder, "", ""},
      {{archive, "/window"}, "", archive, "/window"},
      {{"-window", folder, "--headless"}, folder, "", "-window"},
      {{"/path", folder}, "", "", "/path " + folder},                  // the value of /path
      {{"-player", folder, "-nosound"}, "", "", "-player " + folder + " -nosound"},
      {{"-res", "640", "480", other}, other, "", "-res 640 480"},
      {{"-server", "host.example", other}, other, "", "-server host.example"},  // the server's address
      {{"-server", other}, other, "", "-server"},                      // a word with "/" first is no address
      {{"-server", "-window", other}, other, "", "-server -window"},   // "-window" is no address
      {{"/tmp-no-such-option", other}, other, "", "/tmp-no-such-option"},
      {{"--archive", archive, other}, other, archive, ""},             // a folder with an archive
  };
  for (const Case& c : cases) {
    HostOptions o;
    std::string err;
    ASSERT_TRUE(parseHostOptions(c.args, o, err)) << c.args[0] << ": " << err;
    EXPECT_EQ(o.gameFolder, c.gameFolder) << c.args[0];
    EXPECT_EQ(o.archiveFile, c.archiveFile) << c.args[0];
    EXPECT_EQ(tarnvik::joinEngineWords(o.engineWords), c.engineLine) << c.args[0];
  }
  const std::vector<std::string> refused[] = {
      {folder, other},                     // two games
      {"-path", other, folder},            // named twice
      {"--archive", archive, archive},     // the archive twice
      {(dir / "missing.pik").string()},    // no such archive
  };
  for (const auto& args : refused) {
    HostOptions o;
    std::string err;
    EXPECT_FALSE(parseHostOptions(args, o, err)) << args.back();
    EXPECT_FALSE(err.empty());
  }
  fs::remove_all(dir);
}
