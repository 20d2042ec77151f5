// WAV decoding: the bounds-checked chunk walk and the two codecs.
#include "sound/codec.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "files/bytereader.h"

using tarnvik::ByteReader;

namespace {

// Finds a chunk from the reader's position on; leaves the reader at the chunk's body. A chunk
// running past the end ends the walk (as a failure unless `lastMayBeShort`).
bool findChunk(ByteReader& r, const char* id, uint32_t& size, bool lastMayBeShort) {
  while (r.has(8)) {
    std::span<const uint8_t> tag = r.view(4);
    size = r.u32();
    if (std::memcmp(tag.data(), id, 4) == 0) return lastMayBeShort || r.has(size);
    if (!r.skip(size)) return false;
  }
  return false;
}

}  // namespace

bool readWavLayout(std::span<const uint8_t> file, WavLayout& out, std::string& why) {
  ByteReader r(file);
  std::string riff = r.fixedString(4);
  r.u32();  // the RIFF size is not trusted: the chunks are checked against the real length
  std::string wave = r.fixedString(4);
  if (!r.ok() || riff != "RIFF" || wave != "WAVE") {
    why = "not a RIFF/WAVE file";
    return false;
  }
  const size_t chunks = r.position();
  uint32_t size = 0;
  if (!findChunk(r, "fmt ", size, false) || size < 16) {
    why = "no complete \"fmt \" chunk";
    return false;
  }
  // Only the fields we use are read; whatever else the chunk holds is skipped.
  PcmFormat f;
  f.formatTag = r.u16();
  f.channels = r.u16();
  f.samplesPerSec = r.u32();
  f.avgBytesPerSec = r.u32();
  f.blockAlign = r.u16();
  f.bitsPerSample = r.u16();
  if (f.channels == 0 || f.samplesPerSec == 0 || f.blockAlign == 0) {
    why = "0 channels, a rate of 0 or an empty block";
    return false;
  }
  r.seek(chunks);
  if (!findChunk(r, "data", size, true)) {
    why = "no \"data\" chunk";
    return false;
  }
  out.format = f;
  out.dataOffset = r.position();
  // A data chunk longer than the file plays what is there; a partial block is dropped.
  size_t have = std::min<size_t>(size, r.remaining());
  out.dataSize = have - have % f.blockAlign;
  return true;
}

bool CSoundCodec_PCM::decode(std::span<const uint8_t> file, std::string& why) {
  releaseData();
  WavLayout layout;
  if (!readWavLayout(file, layout, why)) return false;
  PcmFormat f = layout.format;
  if (f.formatTag != 1 || (f.bitsPerSample != 8 && f.bitsPerSample != 16) || f.channels > 2) {
    why = "not 8- or 16-bit PCM in one or two channels";
    return false;
  }
  f.blockAlign = static_cast<uint16_t>(f.channels * f.bitsPerSample / 8);
  f.avgBytesPerSec = f.samplesPerSec * f.blockAlign;
  if (!f.playable()) {
    why = "a sample rate out of range";
    return false;
  }
  size_t bytes = layout.dataSize - layout.dataSize % f.blockAlign;
  if (bytes > CSoundMixer::kMaxBufferBytes) {
    why = "too long to hold in memory";
    return false;
  }
  format_ = f;
  data_.assign(file.begin() + static_cast<ptrdiff_t>(layout.dataOffset),
               file.begin() + static_cast<ptrdiff_t>(layout.dataOffset + bytes));
  return true;
}

namespace {

// A file in memory for libsndfile: reads see `bytes`; when `out` is given, writes grow it (and
// `bytes` follows it).
struct MemoryFile {
  std::span<const uint8_t> bytes;
  sf_count_t pos = 0;
  std::vector<uint8_t>* out = nullptr;
};

sf_count_t memLength(void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size()); }

sf_count_t memSeek(sf_count_t offset, int whence, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  sf_count_t size = static_cast<sf_count_t>(m->bytes.size());
  sf_count_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? size : 0;
  sf_count_t to = base + offset;
  // A file being written may be sought past its end (the gap fills when written); one being read not.
  if (to < 0 || (to > size && !m->out)) return -1;
  m->pos = to;
  return to;
}

sf_count_t memRead(void* out, sf_count_t count, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  sf_count_t size = static_cast<sf_count_t>(m->bytes.size());
  if (count <= 0 || m->pos >= size) return 0;
  sf_count_t n = std::min(count, size - m->pos);
  std::memcpy(out, m->bytes.data() + m->pos, static_cast<size_t>(n));
  m->pos += n;
  return n;
}

sf_count_t memWrite(const void* data, sf_count_t count, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  if (!m->out || count <= 0) return 0;
  size_t end = static_cast<size_t>(m->pos + count);
  if (end > m->out->size()) m->out->resize(end);
  std::memcpy(m->out->data() + m->pos, data, static_cast<size_t>(count));
  m->bytes = *m->out;
  m->pos += count;
  return count;
}

sf_count_t memTell(void* user) { return static_cast<MemoryFile*>(user)->pos; }

}  // namespace

bool CSoundCodec_ADPCM::decode(std::span<const uint8_t> file, std::string& why) {
  releaseData();
  MemoryFile memory{file};
  SF_VIRTUAL_IO io{memLength, memSeek, memRead, memWrite, memTell};
  SF_INFO info{};
  SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &memory);
  if (!sf) {
    why = std::string("the sound-file library cannot read it: ") + sf_strerror(nullptr);
    return false;
  }
  bool ok = false;
  if (info.channels < 1 || info.channels > 2) {
    why = "more than two channels";
  } else if (info.samplerate < CSoundBuffer::kFreqMin || info.samplerate > CSoundBuffer::kFreqMax) {
    why = "a sample rate out of range";
  } else if (info.frames < 0 ||
             static_cast<uint64_t>(info.frames) * static_cast<uint64_t>(info.channels) * 2 > CSoundMixer::kMaxBufferBytes) {
    why = "too long to hold in memory";
  } else {
    // Read as normalised floats: every format the library knows comes back on one scale.
    std::vector<float> floats(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    sf_count_t got = floats.empty() ? 0 : sf_readf_float(sf, floats.data(), info.frames);
    if (got < 0) got = 0;
    floats.resize(static_cast<size_t>(got) * static_cast<size_t>(info.channels));
    std::vector<int16_t> samples(floats.size());
    for (size_t i = 0; i < floats.size(); ++i) {
      float v = std::isfinite(floats[i]) ? std::clamp(floats[i], -1.0f, 1.0f) : 0.0f;
      samples[i] = static_cast<int16_t>(std::lround(v * 32767.0f));
    }
    format_ = PcmFormat::pcm16(info.channels, info.samplerate);
    data_.resize(samples.size() * 2);
    if (!samples.empty()) std::memcpy(data_.data(), samples.data(), data_.size());
    ok = true;
  }
  sf_close(sf);
  return ok;
}

CSoundCodec* CSoundCodec::getCodec(int formatTag) {
  static CSoundCodec_PCM pcm;
  static CSoundCodec_ADPCM library;
  if (formatTag == 1) return &pcm;
  if (formatTag == 0) return nullptr;
  return &library;
}

bool CSoundCodec::decodeFile(std::span<const uint8_t> file, PcmFormat& format, std::vector<uint8_t>& pcm,
                             std::string& why) {
  WavLayout layout;
  if (!readWavLayout(file, layout, why)) return false;
  if (layout.format.formatTag == 0) {
    why = "format tag 0";
    return false;
  }
  // Fresh codecs per call: decoding keeps no state between files.
  CSoundCodec_PCM direct;
  CSoundCodec_ADPCM library;
  CSoundCodec* used = &library;
  if (layout.format.formatTag == 1 && direct.decode(file, why)) used = &direct;
  // Plain PCM of another depth (24 or 32 bits) goes to the library too.
  else if (!library.decode(file, why)) return false;
  format = used->getDesc();
  pcm = used->takeData();
  return true;
}

std::vector<uint8_t> writeWavFile(const PcmFormat& f, std::span<const uint8_t> pcm) {
  tarnvik::ByteWriter w;
  w.bytes("RIFF", 4);
  w.u32(static_cast<uint32_t>(4 + 8 + 16 + 8 + pcm.size()));
  w.bytes("WAVE", 4);
  w.bytes("fmt ", 4);
  w.u32(16);
  w.u16(f.formatTag);
  w.u16(f.channels);
  w.u32(f.samplesPerSec);
  w.u32(f.avgBytesPerSec);
  w.u16(f.blockAlign);
  w.u16(f.bitsPerSample);
  w.bytes("data", 4);
  w.u32(static_cast<uint32_t>(pcm.size()));
  w.bytes(pcm);
  return w.data();
}

bool encodeWav16(std::span<const int16_t> samples, int channels, int rate, std::vector<uint8_t>& out,
                 std::string& error) {
  out.clear();
  MemoryFile memory{{}, 0, &out};
  SF_VIRTUAL_IO io{memLength, memSeek, memRead, memWrite, memTell};
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* sf = channels > 0 ? sf_open_virtual(&io, SFM_WRITE, &info, &memory) : nullptr;
  if (!sf) {
    error = std::string("the sound-file library cannot write it: ") + sf_strerror(nullptr);
    return false;
  }
  sf_count_t frames = static_cast<sf_count_t>(samples.size() / static_cast<size_t>(channels));
  sf_count_t written = frames ? sf_writef_short(sf, samples.data(), frames) : 0;
  sf_close(sf);
  if (written != frames) {
    error = "the sound-file library wrote " + std::to_string(written) + " of " + std::to_string(frames) + " frames";
    return false;
  }
  return true;
}
