// The player's sound options: the capture needs the virtual clock (headless or --virtual-clock), the master volume its range.
#include <gtest/gtest.h>

#include "application/host_options.h"

using tarnvik::HostOptions;
using tarnvik::parseHostOptions;

TEST(AudioOptions, CaptureVolumeAndUnfocusedMute) {
  HostOptions o;
  std::string err;
  ASSERT_TRUE(parseHostOptions({"--headless", "--audio-out", "run.wav", "--volume", "0", "-nosound"}, o, err)) << err;
  EXPECT_EQ(o.audioOutFile, "run.wav");
  EXPECT_EQ(o.volume, 0);
  EXPECT_FALSE(o.muteUnfocused);
  EXPECT_EQ(o.engineWords, std::vector<std::string>{"-nosound"});
  ASSERT_TRUE(parseHostOptions({"--mute-unfocused", "--volume", "100"}, o, err)) << err;
  EXPECT_TRUE(o.muteUnfocused);
  EXPECT_EQ(o.volume, 100);
  EXPECT_TRUE(o.audioOutFile.empty());

  EXPECT_FALSE(parseHostOptions({"--audio-out", "run.wav"}, o, err)) << "a capture needs the virtual clock";
  EXPECT_NE(err.find("--headless"), std::string::npos);
  ASSERT_TRUE(parseHostOptions({"--virtual-clock", "--audio-out", "run.wav"}, o, err)) << err;
  EXPECT_TRUE(o.onVirtualClock() && !o.headless) << "a window on the virtual clock captures its sound too";
  EXPECT_FALSE(parseHostOptions({"--headless", "--audio-out"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--volume", "101"}, o, err));
  EXPECT_FALSE(HostOptions().volume) << "without --volume the player's kept volume plays";
  EXPECT_FALSE(parseHostOptions({"--volume", "-1"}, o, err));
  EXPECT_FALSE(parseHostOptions({"--volume", "loud"}, o, err));
}
