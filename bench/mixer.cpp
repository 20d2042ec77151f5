// Mixing 32 playing voices (22050 and 44100 Hz, mono and stereo, each with its own volume and pan)
// into 44100 Hz stereo for 10 seconds of audio, in the device's 1024-frame blocks: our mixer against
// SDL's SDL_MixAudioFormat mixing the same voices already resampled to the output format, at the same
// volumes. Prints the ratio and the share of one core that real-time playback takes.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "sound/mixer.h"
#include "times_reporter.h"

namespace {

constexpr int kVoices = 32;
constexpr int kSeconds = 10;
constexpr int kBlock = tarnvik::kAudioDeviceFrames;
constexpr int kTotalFrames = tarnvik::kAudioRate * kSeconds;

struct VoiceSetup {
  int rate, channels, volume, pan;
};

VoiceSetup setup(int i) {
  return VoiceSetup{i % 2 ? 22050 : 44100, i % 4 < 2 ? 1 : 2, -(i * 97 % 2000), (i * 613 % 4001) - 2000};
}

// One second of a tone per voice, looping.
std::vector<int16_t> tone(const VoiceSetup& s, int i) {
  std::vector<int16_t> out(static_cast<size_t>(s.rate * s.channels));
  for (size_t k = 0; k < out.size(); ++k)
    out[k] = static_cast<int16_t>(3000 * std::sin(static_cast<double>(k / s.channels) * (0.01 + i * 0.002)));
  return out;
}

void BM_OurMixer(benchmark::State& state) {
  CSoundMixer mixer;
  std::vector<std::unique_ptr<CSoundBuffer>> voices;
  for (int i = 0; i < kVoices; ++i) {
    VoiceSetup s = setup(i);
    std::vector<int16_t> pcm = tone(s, i);
    auto b = mixer.createBuffer(PcmFormat::pcm16(s.channels, s.rate), static_cast<uint32_t>(pcm.size() * 2));
    b->write(0, reinterpret_cast<const uint8_t*>(pcm.data()), static_cast<uint32_t>(pcm.size() * 2));
    b->setVolume(s.volume);
    b->setPan(s.pan);
    b->play(true);
    voices.push_back(std::move(b));
  }
  std::vector<int16_t> out(kBlock * 2);
  for (auto _ : state) {
    for (int done = 0; done < kTotalFrames; done += kBlock) mixer.render(out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_SdlMixAudioFormat(benchmark::State& state) {
  // The same voices resampled to 44100 Hz stereo beforehand; SDL's volume is 0..128.
  std::vector<std::vector<int16_t>> voices;
  std::vector<int> volumes;
  for (int i = 0; i < kVoices; ++i) {
    VoiceSetup s = setup(i);
    std::vector<int16_t> pcm = tone(s, i);
    std::vector<int16_t> ready(static_cast<size_t>(tarnvik::kAudioRate) * 2);
    int step = tarnvik::kAudioRate / s.rate;
    for (size_t k = 0; k < ready.size() / 2; ++k) {
      size_t src = (k / static_cast<size_t>(step)) * static_cast<size_t>(s.channels);
      ready[2 * k] = pcm[src];
      ready[2 * k + 1] = pcm[src + (s.channels - 1)];
    }
    voices.push_back(std::move(ready));
    volumes.push_back(static_cast<int>(std::lround(128 * std::pow(10.0, s.volume / 2000.0))));
  }
  std::vector<int16_t> out(kBlock * 2);
  const Uint32 bytes = kBlock * 4;
  for (auto _ : state) {
    size_t pos = 0;
    for (int done = 0; done < kTotalFrames; done += kBlock) {
      SDL_memset(out.data(), 0, bytes);
      if (pos + kBlock > static_cast<size_t>(tarnvik::kAudioRate)) pos = 0;
      for (int v = 0; v < kVoices; ++v)
        SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), reinterpret_cast<const Uint8*>(voices[v].data() + pos * 2),
                           AUDIO_S16SYS, bytes, volumes[static_cast<size_t>(v)]);
      pos += kBlock;
    }
    benchmark::DoNotOptimize(out.data());
  }
}

BENCHMARK(BM_OurMixer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SdlMixAudioFormat)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double ours = reporter.cpuTimes["BM_OurMixer"], sdl = reporter.cpuTimes["BM_SdlMixAudioFormat"];
  if (ours > 0 && sdl > 0) {
    // Times are in the benchmarks' unit (ms) per 10 seconds of audio.
    std::printf("\n%d voices, %d s of 44100 Hz stereo in %d-frame blocks:\n", kVoices, kSeconds, kBlock);
    std::printf("  our mixer (resampling, volume, pan, saturation) %.2f ms, SDL_MixAudioFormat %.2f ms\n", ours, sdl);
    std::printf("  ratio %.2f x SDL's time (target at most 1.0)\n", ours / sdl);
    std::printf("  real-time playback takes %.3f %% of one core (target under 2 %%)\n", ours / (kSeconds * 1000.0) * 100);
  }
  benchmark::Shutdown();
  return 0;
}
