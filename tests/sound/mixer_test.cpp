// The mixer: gains of volume and pan, saturation, looping, resampling, end of playback.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "files/file.h"
#include "files/memory_sink.h"
#include "files/xarchive.h"
#include "sound/mixer.h"

namespace {

std::vector<uint8_t> pcm16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

class MixerTest : public ::testing::Test {
 protected:
  std::unique_ptr<CSoundBuffer> voice(const std::vector<int16_t>& samples, int channels = 1, int rate = 44100) {
    auto b = mixer.createBuffer(PcmFormat::pcm16(channels, rate), static_cast<uint32_t>(samples.size() * 2));
    EXPECT_TRUE(b);
    std::vector<uint8_t> bytes = pcm16(samples);
    b->write(0, bytes.data(), static_cast<uint32_t>(bytes.size()));
    return b;
  }
  std::vector<int16_t> render(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    mixer.render(out.data(), frames);
    return out;
  }
  CSoundMixer mixer;
};

TEST(SoundGain, AttenuationEdges) {
  EXPECT_EQ(soundGainQ14(0), 16384);
  EXPECT_EQ(soundGainQ14(-10000), 0);
  EXPECT_EQ(soundGainQ14(-20000), 0);
  EXPECT_NEAR(soundGainQ14(-600), 8211, 2) << "6 dB is half the amplitude";
  EXPECT_NEAR(soundGainQ14(-2000), 1638, 1) << "20 dB is a tenth";
  EXPECT_GT(soundGainQ14(-8000), 0);
}

TEST_F(MixerTest, VolumeAndPanGiveTheirGainsPerSide) {
  auto b = voice(std::vector<int16_t>(1000, 10000));
  b->play(true);
  auto out = render(10);
  EXPECT_EQ(out[0], 10000);
  EXPECT_EQ(out[1], 10000);

  ASSERT_TRUE(b->setVolume(-600));
  out = render(10);
  EXPECT_NEAR(out[0], 5012, 2);
  EXPECT_EQ(out[0], out[1]);

  ASSERT_TRUE(b->setVolume(0));
  ASSERT_TRUE(b->setPan(10000));  // full right: the left side is silent
  out = render(10);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 10000);
  ASSERT_TRUE(b->setPan(-800));  // left of centre: the right side loses 8 dB
  out = render(10);
  EXPECT_EQ(out[0], 10000);
  EXPECT_NEAR(out[1], 3981, 2);

  // Values outside the device's range are refused and change nothing.
  EXPECT_FALSE(b->setVolume(100));
  EXPECT_FALSE(b->setVolume(-10001));
  EXPECT_FALSE(b->setPan(10001));
  EXPECT_FALSE(b->setFrequency(50));
  EXPECT_EQ(b->getVolume(), 0);
  EXPECT_EQ(b->getPan(), -800);
  ASSERT_TRUE(b->setVolume(-10000));
  out = render(4);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0);
}

TEST_F(MixerTest, SumsSaturateAtSixteenBits) {
  auto a = voice(std::vector<int16_t>(100, 30000));
  auto b = voice(std::vector<int16_t>(100, 30000));
  auto c = voice(std::vector<int16_t>(100, -30000), 1);
  a->play(false);
  b->play(false);
  auto out = render(10);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], 32767);
  // Three voices: the 32-bit sum (30000) is exact before the final clamp.
  c->play(false);
  out = render(10);
  EXPECT_EQ(out[0], 30000);
  a->stop();
  b->stop();
  auto d = voice(std::vector<int16_t>(100, -30000));
  d->play(false);
  out = render(10);
  EXPECT_EQ(out[0], -32768);
}

TEST_F(MixerTest, LoopingAndEndOfPlayback) {
  std::vector<int16_t> ramp(100);
  for (int i = 0; i < 100; ++i) ramp[static_cast<size_t>(i)] = static_cast<int16_t>(i + 1);
  auto looped = voice(ramp);
  looped->play(true);
  auto out = render(250);
  for (int k = 0; k < 250; ++k) ASSERT_EQ(out[2 * static_cast<size_t>(k)], k % 100 + 1) << k;
  EXPECT_TRUE(looped->isPlaying());
  EXPECT_EQ(looped->getCurrentPosition(), 50u * 2);
  looped->stop();

  auto once = voice(ramp);
  once->play(false);
  out = render(150);
  EXPECT_EQ(out[2 * 99], 100);
  EXPECT_EQ(out[2 * 100], 0);
  EXPECT_FALSE(once->isPlaying());
}

TEST_F(MixerTest, PausedIsSilentAndEveryVoiceGoesOnWhereItStood) {
  std::vector<int16_t> ramp(100);
  for (int i = 0; i < 100; ++i) ramp[static_cast<size_t>(i)] = static_cast<int16_t>(i + 1);
  auto v = voice(ramp);
  v->play(false);
  render(30);
  mixer.setPaused(true);
  auto held = render(50);
  EXPECT_EQ(held, std::vector<int16_t>(100, 0));
  EXPECT_EQ(v->getCurrentPosition(), 30u * 2);
  mixer.setPaused(false);
  EXPECT_EQ(render(1)[0], 31);
}

TEST_F(MixerTest, MusicVolumeScalesOnlyMusic) {
  auto effect = voice(std::vector<int16_t>(10, 1000));
  auto music = voice(std::vector<int16_t>(10, 2000));
  music->setMusic(true);
  effect->play(false);
  music->play(false);
  mixer.setMusicVolume(25);
  EXPECT_EQ(render(1)[0], 1000 + 2000 / 4);
  mixer.setMusicVolume(0);
  EXPECT_EQ(render(1)[0], 1000);
}

TEST_F(MixerTest, LowerRatesAreInterpolatedLinearly) {
  auto b = voice({0, 1000, 2000, 3000}, 1, 22050);
  b->play(false);
  auto out = render(10);
  // Every source frame lasts two output frames; the second lies halfway to the next one.
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2], 500);
  EXPECT_EQ(out[4], 1000);
  EXPECT_EQ(out[6], 1500);
  EXPECT_EQ(out[12], 3000);
  EXPECT_EQ(out[14], 3000) << "the last frame has no successor when not looping";
  EXPECT_EQ(out[16], 0);
  EXPECT_FALSE(b->isPlaying());

  // Stereo keeps its sides; a frequency change takes effect at once.
  auto s = voice({100, -100, 100, -100, 100, -100, 100, -100}, 2, 44100);
  ASSERT_TRUE(s->setFrequency(22050));
  s->play(false);
  out = render(4);
  EXPECT_EQ(out[0], 100);
  EXPECT_EQ(out[1], -100);
  EXPECT_EQ(s->getCurrentPosition(), 2u * 4);
}

TEST_F(MixerTest, MasterVolumeMuteAndEffectsSwitch) {
  auto b = voice(std::vector<int16_t>(1000, 10000));
  b->play(true);
  mixer.setMasterVolume(50);
  EXPECT_EQ(render(1)[0], 5000);
  mixer.setMasterVolume(100);
  mixer.setMuted(true);
  EXPECT_EQ(render(1)[0], 0);
  mixer.setMuted(false);
  mixer.setEffectsOn(false);
  EXPECT_EQ(render(1)[0], 0);
  b->setMusic(true);
  EXPECT_EQ(render(1)[0], 10000) << "music is heard without sound effects";
  EXPECT_EQ(mixer.framesRendered(), 4u);
}

TEST_F(MixerTest, RefusesUnplayableBuffers) {
  PcmFormat f = PcmFormat::pcm16(3, 44100);
  EXPECT_FALSE(mixer.createBuffer(f, 600));
  EXPECT_FALSE(mixer.createBuffer(PcmFormat::pcm16(1, 44100), 0));
  EXPECT_FALSE(mixer.createBuffer(PcmFormat::pcm16(1, 0), 100));
  EXPECT_FALSE(mixer.createBuffer(PcmFormat::pcm16(1, 44100), CSoundMixer::kMaxBufferBytes + 2));
  EXPECT_EQ(mixer.voiceCount(), 0u);
}

}  // namespace

TEST_F(MixerTest, AVoiceSavedMidSampleGoesOnInAnotherVoiceAsInItself) {
  // 11025 Hz: each source frame lasts four output frames, so three output frames in, the cursor
  // sits three quarters into a frame; a looping stream's buffer goes with its samples.
  std::vector<int16_t> ramp;
  for (int i = 0; i < 64; ++i) ramp.push_back(static_cast<int16_t>(i * 300 - 9000));
  auto a = voice(ramp, 1, 11025);
  ASSERT_TRUE(a->setVolume(-600));
  ASSERT_TRUE(a->setPan(300));
  a->play(true);
  render(3);
  std::vector<uint8_t> state;
  {
    CFile_Sink sink;
    CXArchive out(&sink, true);
    ASSERT_TRUE(a->serializeVoice(&out, true));
    state = sink.bytes();
  }
  auto b = voice(std::vector<int16_t>(ramp.size(), 0), 1, 11025);
  CFile_Stream in(state.data(), static_cast<long>(state.size()));
  CXArchive archive(&in, false);
  ASSERT_TRUE(b->serializeVoice(&archive, true));
  EXPECT_EQ(in.Tell(), static_cast<long>(state.size()));
  EXPECT_TRUE(b->isPlaying() && b->isLooping());
  EXPECT_EQ(b->getVolume(), -600);
  EXPECT_EQ(b->getPan(), 300);
  a->stop();
  std::vector<int16_t> fromB = render(300);
  b->stop();
  a->play(true);
  std::vector<int16_t> fromA = render(300);
  EXPECT_EQ(fromA, fromB);
  // A voice of another size does not take the samples, and stays as it was.
  auto small = voice({1, 2, 3}, 1, 11025);
  CFile_Stream again(state.data(), static_cast<long>(state.size()));
  CXArchive other(&again, false);
  EXPECT_FALSE(small->serializeVoice(&other, true));
  EXPECT_FALSE(small->isPlaying());
}
