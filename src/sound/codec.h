// Sound decoders: a WAV file's bytes to PCM bytes and their format. Format tag 1 (8- or 16-bit PCM)
// is read here; anything else goes to the external sound-file library (libsndfile), as 16-bit PCM.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sound/mixer.h"

// Where a RIFF/WAVE file keeps its format and its samples (offsets into the file's bytes).
struct WavLayout {
  PcmFormat format;
  size_t dataOffset = 0;
  size_t dataSize = 0;  // cut to what the file holds and to whole blocks
};

// Walks the chunks of a RIFF/WAVE file: "fmt " (read what fits of it) and "data". False, with the
// reason, for a file that is not RIFF/WAVE, lacks either chunk, has a chunk running past the end
// before "data", or declares 0 channels, a rate of 0 or a block of 0 bytes.
bool readWavLayout(std::span<const uint8_t> file, WavLayout& out, std::string& why);

class CSoundCodec {
 public:
  virtual ~CSoundCodec() = default;
  void releaseData() {
    data_.clear();
    data_.shrink_to_fit();
  }
  // Decodes a whole file held in memory; false (with the reason) when it cannot.
  virtual bool decode(std::span<const uint8_t> file, std::string& why) = 0;
  const PcmFormat& getDesc() const { return format_; }
  const std::vector<uint8_t>& data() const { return data_; }
  std::vector<uint8_t> takeData() { return std::move(data_); }

  // The codec for a format tag: 1 the direct reader, anything else but 0 the sound-file library.
  static CSoundCodec* getCodec(int formatTag);
  // Picks the codec by the file's tag and decodes; the common entry of every loader.
  static bool decodeFile(std::span<const uint8_t> file, PcmFormat& format, std::vector<uint8_t>& pcm,
                         std::string& why);

 protected:
  PcmFormat format_;
  std::vector<uint8_t> data_;
};

class CSoundCodec_PCM final : public CSoundCodec {
 public:
  bool decode(std::span<const uint8_t> file, std::string& why) override;
};

// Named after the compressed format it was first needed for; it decodes whatever libsndfile reads.
class CSoundCodec_ADPCM final : public CSoundCodec {
 public:
  bool decode(std::span<const uint8_t> file, std::string& why) override;
};

// A RIFF/WAVE file of the format and samples (format tag, then 16 bytes of "fmt ", then "data").
std::vector<uint8_t> writeWavFile(const PcmFormat& format, std::span<const uint8_t> pcm);
// A 16-bit PCM WAV file of interleaved samples, made by libsndfile in memory.
bool encodeWav16(std::span<const int16_t> samples, int channels, int rate, std::vector<uint8_t>& out,
                 std::string& error);
