// Fuzz target: WAV files through the chunk walk, the direct PCM reader, the sound-file library
// path, and a short mix of whatever decoded (play cursor, loop, resampling).
// With TARNVIK_WRITE_SEEDS=<folder> set, the first run writes the seed corpus with our own writer.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "sound/codec.h"
#include "sound/mixer.h"
#include "sound/stream.h"

namespace {

void writeSeed(const std::string& folder, const char* name, const PcmFormat& f, const std::vector<uint8_t>& pcm) {
  std::vector<uint8_t> bytes = writeWavFile(f, pcm);
  std::ofstream(folder + "/" + name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeSeeds(const std::string& folder) {
  std::vector<uint8_t> pcm;
  for (int i = 0; i < 64; ++i) {
    int16_t s = static_cast<int16_t>(8000 * std::sin(i / 4.0));
    pcm.push_back(static_cast<uint8_t>(s & 0xFF));
    pcm.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
  }
  writeSeed(folder, "mono16_22050.wav", PcmFormat::pcm16(1, 22050), pcm);
  writeSeed(folder, "stereo16_44100.wav", PcmFormat::pcm16(2, 44100), pcm);
  PcmFormat f8 = PcmFormat::pcm16(1, 11025);
  f8.bitsPerSample = 8;
  f8.blockAlign = 1;
  f8.avgBytesPerSec = 11025;
  writeSeed(folder, "mono8_11025.wav", f8, std::vector<uint8_t>(pcm.begin(), pcm.begin() + 40));
  PcmFormat fl = PcmFormat::pcm16(1, 22050);
  fl.formatTag = 3;  // IEEE float: read by the sound-file library
  fl.bitsPerSample = 32;
  fl.blockAlign = 4;
  fl.avgBytesPerSec = 22050 * 4;
  std::vector<uint8_t> floats;
  for (int i = 0; i < 16; ++i) {
    float v = static_cast<float>(std::sin(i / 3.0) * 0.5);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&v);
    floats.insert(floats.end(), p, p + 4);
  }
  writeSeed(folder, "float32_22050.wav", fl, floats);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* folder = std::getenv("TARNVIK_WRITE_SEEDS")) writeSeeds(folder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CSoundMixer mixer;
  CSoundMixer::setCurrent(&mixer);
  std::span<const uint8_t> bytes(data, size);
  WavLayout layout;
  std::string why;
  readWavLayout(bytes, layout, why);
  CSoundCodec_ADPCM library;
  library.decode(bytes, why);

  PcmFormat format;
  std::vector<uint8_t> pcm;
  if (!CSoundCodec::decodeFile(bytes, format, pcm, why)) return 0;
  // Play what decoded: a looping voice at another rate, then a stream through its circular buffer.
  int16_t out[2 * 512];
  if (auto voice = mixer.createBuffer(format, static_cast<uint32_t>(pcm.size()))) {
    voice->write(0, pcm.data(), static_cast<uint32_t>(pcm.size()));
    voice->setFrequency(static_cast<int>(format.samplesPerSec % 50000) + 100);
    voice->setPan(-700);
    voice->play(true);
    mixer.render(out, 512);
  }
  if (pcm.size() <= (1u << 20)) {
    auto reader = std::make_unique<CStreamedWAV>();
    reader->Open(format, std::move(pcm));
    CSndStream stream(nullptr);
    if (stream.Open(std::move(reader))) {
      stream.Play(size % 2 == 0);
      for (int i = 0; i < 4; ++i) mixer.render(out, 512);
      stream.IsPlaying();
    }
  }
  return 0;
}
