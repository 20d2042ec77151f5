// The demo's sounds: short effects, a spoken line of babble for the guide, and two music loops. All
// are sums of sine and square waves with simple envelopes; the noise comes from a fixed-seed dice.
#include <cmath>
#include <string>
#include <vector>

#include "art.h"
#include "raster.h"
#include "writers.h"

namespace demo {

namespace {

namespace fs = std::filesystem;
constexpr double kTau = 6.283185307179586;

using Samples = std::vector<float>;

size_t at(double seconds) { return static_cast<size_t>(seconds * kSampleRate); }

// Adds a tone from `start` for `length` seconds: frequency glides from f0 to f1, the envelope rises
// for 5 ms and decays exponentially by `decay` per second.
void tone(Samples& s, double start, double length, double f0, double f1, double volume, double decay = 3.0,
          bool square = false) {
  size_t first = at(start), n = at(length);
  if (s.size() < first + n) s.resize(first + n, 0.0f);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / kSampleRate;
    double f = f0 + (f1 - f0) * t / length;
    phase += kTau * f / kSampleRate;
    double wave = square ? (std::sin(phase) >= 0 ? 0.6 : -0.6) : std::sin(phase);
    double env = std::min(1.0, t / 0.005) * std::exp(-decay * t) * std::min(1.0, (length - t) / 0.01);
    s[first + i] += static_cast<float>(wave * env * volume);
  }
}

void noise(Samples& s, double start, double length, double volume, uint32_t seed, double decay = 30.0) {
  size_t first = at(start), n = at(length);
  if (s.size() < first + n) s.resize(first + n, 0.0f);
  Dice dice(seed);
  float low = 0;
  for (size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / kSampleRate;
    float white = static_cast<float>(dice.below(2001) - 1000) / 1000.0f;
    low += (white - low) * 0.3f;  // a little darker than white noise
    s[first + i] += static_cast<float>(low * volume * std::exp(-decay * t));
  }
}

double note(int semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

// A looping tune: melody and bass notes in eighths (0 = rest), `beat` seconds per eighth.
Samples tune(const std::vector<int>& melody, const std::vector<int>& bass, double beat, bool square) {
  Samples s(at(beat * static_cast<double>(melody.size())), 0.0f);
  for (size_t i = 0; i < melody.size(); ++i)
    if (melody[i] != 0) tone(s, beat * i, beat * 0.95, note(melody[i]), note(melody[i]), 0.22, 2.5, square);
  for (size_t i = 0; i < bass.size(); ++i)
    if (bass[i] != 0) tone(s, beat * 2 * i, beat * 1.9, note(bass[i] - 24), note(bass[i] - 24), 0.25, 1.0);
  s.resize(at(beat * static_cast<double>(melody.size())));
  return s;
}

}  // namespace

bool makeSounds(const fs::path& game, std::string& error) {
  const fs::path wavs = game / "Wavs";
  std::error_code ec;
  fs::create_directories(wavs, ec);
  auto write = [&](const char* name, const Samples& s) { return writeWav((wavs / name).string(), s, error); };

  Samples hover;
  tone(hover, 0, 0.06, 1200, 1500, 0.35, 20);
  Samples click;
  noise(click, 0, 0.03, 0.5, 3, 80);
  tone(click, 0, 0.08, 700, 400, 0.4, 25);
  Samples pickup;
  for (int i = 0; i < 4; ++i) tone(pickup, i * 0.07, 0.12, note(3 + i * 4), note(3 + i * 4), 0.35, 10);
  Samples clack;
  noise(clack, 0, 0.08, 0.7, 5, 40);
  tone(clack, 0, 0.1, 180, 120, 0.4, 30);
  Samples gate;
  noise(gate, 0, 1.4, 0.35, 9, 1.5);
  tone(gate, 0, 1.4, 70, 55, 0.4, 1.2);
  Samples fanfare;
  const int fan[] = {3, 7, 10, 15};
  for (int i = 0; i < 4; ++i) tone(fanfare, i * 0.15, i == 3 ? 0.9 : 0.2, note(fan[i]), note(fan[i]), 0.3, 2, true);
  // The guide's line: syllables of gliding tones, like a voice in a language nobody speaks.
  Samples hello;
  const double syllables[][2] = {{220, 260}, {260, 210}, {240, 300}, {200, 190}, {280, 240},
                                 {230, 250}, {250, 200}, {300, 260}, {210, 180}};
  for (int i = 0; i < 9; ++i) {
    double start = i * 0.2 + (i >= 5 ? 0.25 : 0.0);
    tone(hello, start, 0.17, syllables[i][0], syllables[i][1], 0.4, 4, true);
    tone(hello, start, 0.17, syllables[i][0] * 2.5, syllables[i][1] * 2.5, 0.1, 8);
  }
  // Music: the title's calm theme and the story's walking tune, both exact loops.
  Samples theme = tune({3, 7, 10, 7, 12, 10, 7, 0, 5, 8, 12, 8, 15, 12, 10, 0,
                        3, 7, 10, 7, 12, 10, 7, 5, 3, 0, 7, 0, 3, 0, 0, 0},
                       {3, 3, 8, 8, 3, 3, 10, 3}, 0.25, false);
  Samples story = tune({10, 12, 14, 17, 14, 12, 10, 0, 9, 10, 12, 14, 12, 10, 9, 0,
                        10, 12, 14, 17, 19, 17, 14, 12, 10, 14, 10, 0, 5, 0, 10, 0},
                       {10, 10, 5, 5, 10, 7, 5, 10}, 0.18, true);
  return write("HOVER.WAV", hover) && write("CLICK.WAV", click) && write("PICKUP.WAV", pickup) &&
         write("CLACK.WAV", clack) && write("GATE.WAV", gate) && write("FANFARE.WAV", fanfare) &&
         write("HELLO.WAV", hello) && write("THEME.WAV", theme) && write("STORY.WAV", story);
}

}  // namespace demo
