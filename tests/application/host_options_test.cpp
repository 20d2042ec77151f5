// The player's host options: values, errors, engine words kept in order.
#include <gtest/gtest.h>

#include <cstdlib>

#include "application/host_options.h"

using tarnvik::HostOptions;
using tarnvik::parseHostOptions;

TEST(HostOptions, SplitsHostOptionsFromEngineWords) {
  HostOptions o;
  std::string err;
  ASSERT_TRUE(parseHostOptions({"--headless", "-path", "games/x", "--frames", "30", "-window", "--seed", "42",
                                "--frame-ms", "20", "--log", "trace", "-res", "640", "480"},
                               o, err))
      << err;
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.frames, 30);
  EXPECT_EQ(o.frameMs, 20);
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
  EXPECT_FALSE(parseHostOptions({"--fullscreen"}, o, err));
  EXPECT_NE(err.find("--fullscreen"), std::string::npos);
  EXPECT_EQ(err.find("one dash"), std::string::npos);
  // An engine option written with two dashes is named with its one.
  EXPECT_FALSE(parseHostOptions({"--path", "game"}, o, err));
  EXPECT_EQ(err, "unknown option --path (engine options take one dash: -path)");
  EXPECT_TRUE(parseHostOptions({"--seed", "4294967295", "--settings", "a.ini"}, o, err));
  EXPECT_EQ(o.settingsFile, "a.ini");
}

TEST(HostOptions, DefaultSettingsFileFollowsXdgDataHome) {
  const char* old = std::getenv("XDG_DATA_HOME");
  std::string saved = old ? old : "";
  const char* oldHome = std::getenv("HOME");
  std::string savedHome = oldHome ? oldHome : "";
  setenv("XDG_DATA_HOME", "/tmp/xdg-test", 1);
  EXPECT_EQ(tarnvik::defaultSettingsFile("games/demo/"), "/tmp/xdg-test/tarnvik/demo.ini");
  EXPECT_EQ(tarnvik::defaultDataFolder("/abs/My Game"), "/tmp/xdg-test/tarnvik/My Game");
  setenv("XDG_DATA_HOME", "relative/path", 1);  // not absolute: ignored
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(tarnvik::defaultSettingsFile("g"), "/home/someone/.local/share/tarnvik/g.ini");
  if (old) setenv("XDG_DATA_HOME", saved.c_str(), 1); else unsetenv("XDG_DATA_HOME");
  if (oldHome) setenv("HOME", savedHome.c_str(), 1); else unsetenv("HOME");
}
