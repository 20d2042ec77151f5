// The fixture of the sound tests: a mixer and a sound manager of their own, WAV files in a temp
// folder, and mixing by hand.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sound/codec.h"
#include "sound/mixer.h"
#include "sound/sound4.h"

namespace sound_test {

namespace fs = std::filesystem;

// Sounds from files in a temp folder, mixed by hand.
class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnvik-sound-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    CSoundMixer::setCurrent(&mixer);
    CSound4::setManager(&manager);
  }
  void TearDown() override {
    CSound4::setManager(nullptr);
    CSoundMixer::setCurrent(nullptr);
    fs::remove_all(dir_);
  }
  CXString file(const char* name, const std::vector<uint8_t>& pcm, int rate = 44100) {
    std::vector<uint8_t> bytes = writeWavFile(PcmFormat::pcm16(1, rate), pcm);
    fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return CXString(p.string());
  }
  std::vector<int16_t> render(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    mixer.render(out.data(), frames);
    return out;
  }

  struct Events : CPlayableObserver {
    int started = 0, finished = 0, resumed = 0;
    bool onPlayableStarted(CPlayable*) override { return ++started, true; }
    bool onPlayableFinished(CPlayable*) override { return ++finished, true; }
    bool onPlayableEvent4(CPlayable*) override { return ++resumed, true; }
  };

  fs::path dir_;
  CSoundMixer mixer;
  CSoundManager manager;
};


}  // namespace sound_test
