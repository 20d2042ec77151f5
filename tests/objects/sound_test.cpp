// SOUND objects: the script-unit mappings of volume and pan at their edges, and sharing one sound
// between objects naming the same file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "definitions/melement.h"
#include "objects/sound/sound.h"
#include "sound/codec.h"
#include "sound/mixer.h"
#include "sound/sound4.h"

namespace {

TEST(SoundObject, VolumeAndPanMappingsAtTheirEdges) {
  EXPECT_EQ(CMC_Sound::volumeFromScript(800), 0) << "full volume";
  EXPECT_EQ(CMC_Sound::volumeFromScript(26), -3096);
  EXPECT_EQ(CMC_Sound::volumeFromScript(25), -10000) << "25 and below are silent";
  EXPECT_EQ(CMC_Sound::volumeFromScript(0), -10000);
  EXPECT_EQ(CMC_Sound::volumeFromScript(-5000000), -10000);
  EXPECT_EQ(CMC_Sound::volumeFromScript(900), 400) << "above full: the device refuses it";
  EXPECT_EQ(CMC_Sound::panFromScript(400), 0);
  EXPECT_EQ(CMC_Sound::panFromScript(0), -800) << "not full left";
  EXPECT_EQ(CMC_Sound::panFromScript(-1148), -3096);
  EXPECT_EQ(CMC_Sound::panFromScript(-1150), -10000);
  EXPECT_EQ(CMC_Sound::panFromScript(1948), 3096);
  EXPECT_EQ(CMC_Sound::panFromScript(1950), 10000);
  EXPECT_EQ(CMC_Sound::panFromScript(2000000000), 10000);
}

TEST(SoundObject, ObjectsNamingTheSameFileShareOneSound) {
  CSoundMixer mixer;
  CSoundMixer::setCurrent(&mixer);
  auto dir = std::filesystem::temp_directory_path() / ("tarnvik-soundobj-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::vector<uint8_t> bytes = writeWavFile(PcmFormat::pcm16(1, 22050), std::vector<uint8_t>(100, 7));
  std::ofstream(dir / "s.wav", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 100 + 44);
  auto make = [&](const char* name, const std::string& file) {
    CMElement element{CXString(name)};
    element.addProperty("TYPE", "SOUND");
    element.addProperty("FILENAME", CXString(file));
    element.addProperty("PRELOAD", "TRUE");
    return std::make_unique<CMC_Sound>(nullptr, &element);
  };
  auto one = make("ONE", (dir / "s.wav").string());
  auto two = make("TWO", (dir / "S.WAV").string());  // names compare in any case
  EXPECT_EQ(one->getSound(), two->getSound());
  EXPECT_TRUE(one->getSound()->isLoaded());
  one.reset();
  EXPECT_TRUE(two->getSound()->isLoaded()) << "the other holder keeps it";
  EXPECT_FALSE(two->load(CXString((dir / "none.wav").string())));
  EXPECT_FALSE(two->getSound()->isLoaded());
  two.reset();
  std::filesystem::remove_all(dir);
  CSoundMixer::setCurrent(nullptr);
}

}  // namespace
