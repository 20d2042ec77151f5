// WAV reading (good and bad files), in-memory sounds with the manager's end-of-playback poll,
// and streams refilled through their circular buffer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "files/bytereader.h"
#include "sound/codec.h"
#include "sound/mixer.h"
#include "sound/sound4.h"
#include "sound/stream.h"
#include "sound/sound_fixture.h"

using sound_test::SoundTest;

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ramp16(int frames, int channels = 1, int start = 1) {
  std::vector<uint8_t> out;
  for (int i = 0; i < frames * channels; ++i) {
    int16_t v = static_cast<int16_t>((start + i) % 30000);
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return out;
}

int16_t at(const std::vector<uint8_t>& pcm, size_t sample) {
  int16_t v;
  std::memcpy(&v, pcm.data() + sample * 2, 2);
  return v;
}

bool decodes(const std::vector<uint8_t>& file, PcmFormat& f, std::vector<uint8_t>& pcm) {
  std::string why;
  return CSoundCodec::decodeFile(file, f, pcm, why);
}

TEST(WavReader, ReadsPcmOfBothDepthsAndWhatTheLibraryReads) {
  PcmFormat f;
  std::vector<uint8_t> pcm;
  ASSERT_TRUE(decodes(writeWavFile(PcmFormat::pcm16(2, 22050), ramp16(10, 2)), f, pcm));
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.samplesPerSec, 22050u);
  EXPECT_EQ(pcm, ramp16(10, 2));

  PcmFormat f8 = PcmFormat::pcm16(1, 11025);
  f8.bitsPerSample = 8;
  f8.blockAlign = 1;
  ASSERT_TRUE(decodes(writeWavFile(f8, std::vector<uint8_t>{0x80, 0xFF, 0x00}), f, pcm));
  EXPECT_EQ(f.bitsPerSample, 8);
  EXPECT_EQ(f.avgBytesPerSec, 11025u) << "derived fields are recomputed";
  EXPECT_EQ(pcm.size(), 3u);

  // 32-bit float (tag 3) goes through libsndfile and comes back as 16-bit PCM.
  PcmFormat fl = PcmFormat::pcm16(1, 8000);
  fl.formatTag = 3;
  fl.bitsPerSample = 32;
  fl.blockAlign = 4;
  fl.avgBytesPerSec = 32000;
  float samples[2] = {0.5f, -0.5f};
  std::vector<uint8_t> bytes(8);
  std::memcpy(bytes.data(), samples, 8);
  ASSERT_TRUE(decodes(writeWavFile(fl, bytes), f, pcm));
  EXPECT_EQ(f.bitsPerSample, 16);
  ASSERT_EQ(pcm.size(), 4u);
  EXPECT_NEAR(at(pcm, 0), 16384, 2) << "scaled from the library's float";
  EXPECT_NEAR(at(pcm, 1), -16384, 2);

  // What libsndfile writes in memory (the capture of --audio-out) reads back sample for sample.
  std::vector<int16_t> stereo{0, 1, -2, 32767, -32768, 7};
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(encodeWav16(stereo, 2, 44100, file, error)) << error;
  ASSERT_TRUE(decodes(file, f, pcm));
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.samplesPerSec, 44100u);
  ASSERT_EQ(pcm.size(), stereo.size() * 2);
  EXPECT_EQ(std::memcmp(pcm.data(), stereo.data(), pcm.size()), 0);
}

TEST(WavReader, BadFilesFailCleanlyAndShortDataPlaysWhatIsThere) {
  std::vector<uint8_t> good = writeWavFile(PcmFormat::pcm16(1, 22050), ramp16(8));
  PcmFormat f;
  std::vector<uint8_t> pcm;

  std::vector<uint8_t> wrongRiff = good;
  wrongRiff[4] = 0xFF;  // the RIFF size is not trusted
  EXPECT_TRUE(decodes(wrongRiff, f, pcm));

  std::vector<uint8_t> truncated(good.begin(), good.end() - 5);  // 16 bytes declared, 11 there
  ASSERT_TRUE(decodes(truncated, f, pcm));
  EXPECT_EQ(pcm.size(), 10u) << "what is there, in whole blocks";

  std::vector<uint8_t> hugeFmt = good;
  hugeFmt[16] = 0xFF, hugeFmt[17] = 0xFF, hugeFmt[18] = 0xFF, hugeFmt[19] = 0x7F;
  EXPECT_FALSE(decodes(hugeFmt, f, pcm));
  std::vector<uint8_t> negativeChunk = good;
  std::memcpy(negativeChunk.data() + 12, "LIST\xff\xff\xff\xff", 8);
  EXPECT_FALSE(decodes(negativeChunk, f, pcm));

  PcmFormat zero = PcmFormat::pcm16(1, 22050);
  zero.channels = 0;
  EXPECT_FALSE(decodes(writeWavFile(zero, ramp16(8)), f, pcm));
  EXPECT_FALSE(decodes(writeWavFile(PcmFormat::pcm16(1, 0), ramp16(8)), f, pcm));
  PcmFormat unknown = PcmFormat::pcm16(1, 22050);
  unknown.formatTag = 0x1234;
  EXPECT_FALSE(decodes(writeWavFile(unknown, ramp16(8)), f, pcm));
  unknown.formatTag = 0;
  EXPECT_FALSE(decodes(writeWavFile(unknown, ramp16(8)), f, pcm));

  std::vector<uint8_t> odd = writeWavFile(PcmFormat::pcm16(1, 22050), std::vector<uint8_t>{1, 2, 3});
  ASSERT_TRUE(decodes(odd, f, pcm));
  EXPECT_EQ(pcm.size(), 2u);

  std::vector<uint8_t> noData(good.begin(), good.begin() + 36);
  EXPECT_FALSE(decodes(noData, f, pcm));
  std::vector<uint8_t> noFmt = good;
  std::memcpy(noFmt.data() + 12, "junk", 4);
  EXPECT_FALSE(decodes(noFmt, f, pcm));
  EXPECT_FALSE(decodes({}, f, pcm));
  EXPECT_FALSE(decodes(std::vector<uint8_t>(good.begin(), good.begin() + 10), f, pcm));
}

TEST_F(SoundTest, PauseResumeAndTheEndNoticedByThePoll) {
  CSound4 sound(nullptr, file("a.wav", ramp16(3000)), false, false);
  Events events;
  sound.addNotifier(&events);
  sound.play();
  EXPECT_EQ(events.started, 1);
  auto out = render(1000);
  EXPECT_EQ(out[2 * 999], 1000);
  sound.pause();
  EXPECT_EQ(sound.getSavedPosition(), 2000u);
  EXPECT_TRUE(sound.isPaused());
  manager.domodal();
  EXPECT_EQ(events.finished, 0) << "a paused sound has not finished";
  out = render(10);
  EXPECT_EQ(out[0], 0);
  sound.resume();
  EXPECT_EQ(events.resumed, 1);
  EXPECT_EQ(events.started, 1);
  out = render(10);
  EXPECT_EQ(out[0], 1001) << "continues where it was paused";
  manager.domodal();
  EXPECT_EQ(events.finished, 0);
  render(2000);
  EXPECT_FALSE(sound.IsPlaying());
  manager.domodal();
  EXPECT_EQ(events.finished, 1);
  manager.domodal();
  EXPECT_EQ(events.finished, 1) << "told once";

  // stop(false) ends without the notification; the next playback notifies again.
  sound.play();
  sound.stop(false);
  manager.domodal();
  EXPECT_EQ(events.finished, 1);
  sound.play();
  render(3000);
  manager.domodal();
  EXPECT_EQ(events.finished, 2);
  sound.removeNotifier(&events);
}

TEST_F(SoundTest, SettingsBeforeTheBufferAndReleaseAfterPlay) {
  CSound4 sound(nullptr, file("b.wav", std::vector<uint8_t>(200, 0x10)), true, false);
  sound.setVolume(-10000);
  sound.setPanning(10000);
  sound.setVolume(100);  // refused: stays silent
  EXPECT_FALSE(sound.isLoaded());
  sound.play();
  EXPECT_TRUE(sound.isLoaded());
  auto out = render(10);
  EXPECT_EQ(out[0], 0) << "the volume set before loading applies";
  render(200);
  manager.domodal();
  EXPECT_FALSE(sound.isLoaded()) << "released when playback ended";
  sound.setVolume(0);
  sound.play();
  out = render(1);
  EXPECT_EQ(out[0], 0) << "pan full right silences the left";
  EXPECT_EQ(out[1], 0x1010);
}

TEST_F(SoundTest, MissingAndRefusedFilesLeaveNoBuffer) {
  CSound4 missing(nullptr, CXString((dir_ / "none.wav").string()), false, true);
  EXPECT_FALSE(missing.isLoaded());
  Events events;
  missing.addNotifier(&events);
  missing.play();
  EXPECT_EQ(events.started, 0);
  EXPECT_FALSE(missing.isPlaying());
  CXString spx = file("c.SPX", ramp16(10));
  CSound4 speex(nullptr, spx, false, true);
  EXPECT_FALSE(speex.isLoaded());
  missing.removeNotifier(&events);
  // Without a device nothing loads.
  CSoundMixer::setCurrent(nullptr);
  CSound4 noDevice(nullptr, file("d.wav", ramp16(10)), false, true);
  EXPECT_FALSE(noDevice.isLoaded());
}

// Streams: 44100 Hz mono, so output frame k is data frame k.
class StreamTest : public SoundTest {
 protected:
  std::unique_ptr<CStreamedWAV> reader(int frames) {
    auto r = std::make_unique<CStreamedWAV>();
    r->Open(PcmFormat::pcm16(1, 44100), ramp16(frames));
    return r;
  }
  std::vector<int16_t> left(int frames, int chunk = 4410) {
    std::vector<int16_t> all;
    for (int done = 0; done < frames; done += chunk) {
      auto out = render(chunk);
      for (int k = 0; k < chunk; ++k) all.push_back(out[2 * static_cast<size_t>(k)]);
    }
    return all;
  }
};

TEST_F(StreamTest, RefillCarriesTheDataAcrossTheBuffersWrap) {
  CSndStream stream(nullptr);
  ASSERT_TRUE(stream.Open(reader(100000)));
  EXPECT_EQ(stream.GetBufferSize(), 105840u);
  stream.Play(false);
  auto heard = left(110250);
  for (int k = 0; k < 100000; ++k) ASSERT_EQ(heard[static_cast<size_t>(k)], (1 + k) % 30000) << k;
  for (int k = 100000; k < 110250; ++k) ASSERT_EQ(heard[static_cast<size_t>(k)], 0) << k;
  EXPECT_TRUE(stream.FoundEnd());
  EXPECT_FALSE(stream.IsPlaying()) << "all queued audio heard";
  EXPECT_EQ(stream.takeLoopsStarted(), 0);
}

TEST_F(StreamTest, ShortFilesPlayOnceOrLoopWithoutAGap) {
  CSndStream once(nullptr);
  ASSERT_TRUE(once.Open(reader(1000)));
  once.Play(false);
  auto heard = left(4410);
  EXPECT_EQ(heard[999], 1000);
  EXPECT_EQ(heard[1000], 0) << "no repeat of a short file";
  EXPECT_FALSE(once.IsPlaying());
  once.Close();

  CSndStream looped(nullptr);
  ASSERT_TRUE(looped.Open(reader(30000)));
  looped.Play(true);
  heard = left(132300, 2205);
  for (int k = 0; k < 132300; ++k) ASSERT_EQ(heard[static_cast<size_t>(k)], (1 + k % 30000) % 30000) << k;
  EXPECT_TRUE(looped.IsPlaying());
  EXPECT_EQ(looped.takeLoopsStarted(), 4) << "restarts at 30000, 60000, 90000 and 120000 frames";
  looped.Stop();
  EXPECT_FALSE(looped.IsPlaying());
  EXPECT_EQ(render(10)[0], 0);
}

TEST_F(StreamTest, EmptyDataEndsInsteadOfSpinning) {
  CSndStream stream(nullptr);
  ASSERT_TRUE(stream.Open(reader(0)));
  stream.Play(true);
  left(4410);
  EXPECT_FALSE(stream.IsPlaying());
}

TEST_F(StreamTest, MusicChannelKeepsTheSameFilePlaying) {
  CMusicChannel channel(nullptr);
  CXString name = file("m.wav", ramp16(50000));
  channel.setVolume(-600);
  channel.play(name, true);
  ASSERT_TRUE(channel.isPlaying());
  auto out = render(100);
  EXPECT_NEAR(out[2 * 99], 50, 1);
  CXString upper(name.str().substr(0, name.length() - 5) + "M.WAV");
  channel.play(upper, true);
  out = render(1);
  EXPECT_NEAR(out[0], 50, 1) << "not restarted";
  EXPECT_EQ(channel.getVolume(), -600);
  channel.stop();
  EXPECT_FALSE(channel.isPlaying());
  EXPECT_EQ(channel.getVolume(), 0);
  channel.play(CXString((dir_ / "missing.wav").string()), true);
  EXPECT_FALSE(channel.isPlaying());
}

}  // namespace
