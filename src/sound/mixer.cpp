// The software mixer: 32-bit accumulation of every playing voice, linear resampling to the device
// rate, saturation to 16 bits at the end.
#include "sound/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "files/state_fields.h"

namespace {

constexpr uint32_t kUnitStep = 1u << 16;
CSoundMixer* g_current = nullptr;

using Lock = std::lock_guard<std::recursive_mutex>;

}  // namespace

bool PcmFormat::playable() const {
  if (channels < 1 || channels > 2) return false;
  if (bitsPerSample != 8 && bitsPerSample != 16) return false;
  if (samplesPerSec < static_cast<uint32_t>(CSoundBuffer::kFreqMin) ||
      samplesPerSec > static_cast<uint32_t>(CSoundBuffer::kFreqMax))
    return false;
  return blockAlign == channels * (bitsPerSample / 8);
}

PcmFormat PcmFormat::pcm16(int channels, int rate) {
  PcmFormat f;
  f.formatTag = 1;
  f.channels = static_cast<uint16_t>(channels);
  f.samplesPerSec = static_cast<uint32_t>(rate);
  f.bitsPerSample = 16;
  f.blockAlign = static_cast<uint16_t>(channels * 2);
  f.avgBytesPerSec = f.samplesPerSec * f.blockAlign;
  return f;
}

int32_t soundGainQ14(int hundredthsDb) {
  if (hundredthsDb <= CSoundBuffer::kVolumeMin) return 0;
  if (hundredthsDb >= 0) return 1 << 14;
  return static_cast<int32_t>(std::lround(16384.0 * std::pow(10.0, hundredthsDb / 2000.0)));
}

// Buffers.

CSoundBuffer::CSoundBuffer(CSoundMixer* mixer, const PcmFormat& format, uint32_t bytes)
    : mixer_(mixer), format_(format), data_(bytes, format.bitsPerSample == 8 ? 0x80 : 0) {
  frameCount_ = bytes / format.blockAlign;
  updateStep();
}

CSoundBuffer::~CSoundBuffer() { mixer_->detach(this); }

// Runs fn(bufferOffset, sourceOffset, count) over the one or two pieces of a span that wraps.
template <class Fn>
void CSoundBuffer::forSpan(uint32_t offset, uint32_t n, Fn fn) {
  Lock lock(mixer_->mutex_);
  if (data_.empty()) return;
  uint32_t size = this->size();
  offset %= size;
  n = std::min(n, size);
  uint32_t first = std::min(n, size - offset);
  fn(offset, 0u, first);
  if (n > first) fn(0u, first, n - first);
}

void CSoundBuffer::write(uint32_t offset, const uint8_t* bytes, uint32_t n) {
  forSpan(offset, n, [&](uint32_t at, uint32_t from, uint32_t count) { std::memcpy(data_.data() + at, bytes + from, count); });
}

void CSoundBuffer::silence(uint32_t offset, uint32_t n) {
  forSpan(offset, n, [&](uint32_t at, uint32_t, uint32_t count) { std::memset(data_.data() + at, silenceByte(), count); });
}

void CSoundBuffer::play(bool loop) {
  Lock lock(mixer_->mutex_);
  loop_ = loop;
  playing_ = frameCount_ > 0;
}

void CSoundBuffer::stop() {
  Lock lock(mixer_->mutex_);
  playing_ = false;
}

bool CSoundBuffer::isPlaying() const {
  Lock lock(mixer_->mutex_);
  return playing_;
}

bool CSoundBuffer::isLooping() const {
  Lock lock(mixer_->mutex_);
  return loop_;
}

uint32_t CSoundBuffer::getCurrentPosition() const {
  Lock lock(mixer_->mutex_);
  uint64_t frame = std::min<uint64_t>(pos_ >> 16, frameCount_);
  return static_cast<uint32_t>(frame) * format_.blockAlign;
}

void CSoundBuffer::setCurrentPosition(uint32_t bytes) {
  Lock lock(mixer_->mutex_);
  uint32_t frame = std::min(bytes / format_.blockAlign, frameCount_);
  pos_ = static_cast<uint64_t>(frame) << 16;
}

bool CSoundBuffer::setVolume(int v) {
  if (v < kVolumeMin || v > kVolumeMax) return false;
  Lock lock(mixer_->mutex_);
  volume_ = v;
  updateGains();
  return true;
}

bool CSoundBuffer::setPan(int p) {
  if (p < kPanLeft || p > kPanRight) return false;
  Lock lock(mixer_->mutex_);
  pan_ = p;
  updateGains();
  return true;
}

bool CSoundBuffer::setFrequency(int f) {
  if (f != 0 && (f < kFreqMin || f > kFreqMax)) return false;
  Lock lock(mixer_->mutex_);
  freq_ = f;
  updateStep();
  return true;
}

int CSoundBuffer::getVolume() const {
  Lock lock(mixer_->mutex_);
  return volume_;
}

int CSoundBuffer::getPan() const {
  Lock lock(mixer_->mutex_);
  return pan_;
}

int CSoundBuffer::getFrequency() const {
  Lock lock(mixer_->mutex_);
  return freq_;
}

void CSoundBuffer::setMusic(bool music) {
  Lock lock(mixer_->mutex_);
  music_ = music;
}

void CSoundBuffer::setRefill(std::function<void(CSoundBuffer&)> refill) {
  Lock lock(mixer_->mutex_);
  refill_ = std::move(refill);
}

// Pan attenuates the other side only: a pan to the left lowers the right channel, and the reverse.
void CSoundBuffer::updateGains() {
  gainL_ = soundGainQ14(volume_ + std::min(0, -pan_));
  gainR_ = soundGainQ14(volume_ + std::min(0, pan_));
  if (volume_ <= kVolumeMin) gainL_ = gainR_ = 0;
}

void CSoundBuffer::updateStep() {
  uint64_t rate = freq_ > 0 ? static_cast<uint64_t>(freq_) : format_.samplesPerSec;
  step_ = static_cast<uint32_t>((rate << 16) / tarnvik::kAudioRate);
  if (step_ == 0) step_ = 1;
}

namespace {

template <int Bits>
inline int32_t sampleAt(const uint8_t* data, uint64_t index) {
  if constexpr (Bits == 8) {
    return (static_cast<int32_t>(data[index]) - 128) << 8;
  } else {
    int16_t s;
    std::memcpy(&s, data + index * 2, 2);
    return s;
  }
}

}  // namespace

template <int Channels, int Bits, bool Resample>
void CSoundBuffer::mixSpan(int32_t* acc, int frames) {
  const uint8_t* data = data_.data();
  const bool audible = music_ || mixer_->effectsOn_;
  // Music under the player's music volume (linear, like the master volume).
  const int32_t scale = music_ ? mixer_->musicVolume_ : 100;
  const int32_t gl = audible ? gainL_ * scale / 100 : 0, gr = audible ? gainR_ * scale / 100 : 0;
  int done = 0;
  while (done < frames) {
    uint64_t idx = pos_ >> 16;
    if (idx >= frameCount_) {
      if (loop_) {
        pos_ -= static_cast<uint64_t>(frameCount_) << 16;
        continue;
      }
      playing_ = false;
      pos_ = 0;
      return;
    }
    int32_t* out = acc + 2 * done;
    int left = frames - done;
    if constexpr (!Resample) {
      int n = static_cast<int>(std::min<uint64_t>(left, frameCount_ - idx));
      const uint8_t* p = data + idx * Channels * (Bits / 8);
      for (int k = 0; k < n; ++k) {
        int32_t l = sampleAt<Bits>(p, static_cast<uint64_t>(k) * Channels);
        int32_t r = Channels == 2 ? sampleAt<Bits>(p, static_cast<uint64_t>(k) * Channels + 1) : l;
        out[2 * k] += (l * gl) >> 14;
        out[2 * k + 1] += (r * gr) >> 14;
      }
      pos_ += static_cast<uint64_t>(n) << 16;
      done += n;
    } else {
      // Frames whose right-hand neighbour is still inside the data run without checks.
      uint64_t limit = static_cast<uint64_t>(frameCount_ - 1) << 16;
      int n = 0;
      if (pos_ < limit) n = static_cast<int>(std::min<uint64_t>(left, (limit - pos_ + step_ - 1) / step_));
      uint64_t p = pos_;
      for (int k = 0; k < n; ++k, p += step_) {
        uint64_t i = (p >> 16) * Channels;
        int32_t frac = static_cast<int32_t>((p & 0xFFFF) >> 1);
        int32_t l0 = sampleAt<Bits>(data, i), l1 = sampleAt<Bits>(data, i + Channels);
        int32_t l = l0 + (((l1 - l0) * frac) >> 15);
        int32_t r = l;
        if constexpr (Channels == 2) {
          int32_t r0 = sampleAt<Bits>(data, i + 1), r1 = sampleAt<Bits>(data, i + 3);
          r = r0 + (((r1 - r0) * frac) >> 15);
        }
        out[2 * k] += (l * gl) >> 14;
        out[2 * k + 1] += (r * gr) >> 14;
      }
      pos_ = p;
      done += n;
      if (n == 0) {
        // The last frame: its neighbour is the first frame when looping, else itself.
        uint64_t i = idx * Channels;
        uint64_t j = loop_ ? 0 : i;
        int32_t frac = static_cast<int32_t>((pos_ & 0xFFFF) >> 1);
        int32_t l0 = sampleAt<Bits>(data, i), l1 = sampleAt<Bits>(data, j);
        int32_t l = l0 + (((l1 - l0) * frac) >> 15);
        int32_t r = l;
        if constexpr (Channels == 2) {
          int32_t r0 = sampleAt<Bits>(data, i + 1), r1 = sampleAt<Bits>(data, j + 1);
          r = r0 + (((r1 - r0) * frac) >> 15);
        }
        out[0] += (l * gl) >> 14;
        out[1] += (r * gr) >> 14;
        pos_ += step_;
        ++done;
      }
    }
  }
  // A voice that reached its end stops now, not at the next mix.
  if (!loop_ && (pos_ >> 16) >= frameCount_) {
    playing_ = false;
    pos_ = 0;
  }
}

void CSoundBuffer::mixInto(int32_t* acc, int frames) {
  bool resample = step_ != kUnitStep || (pos_ & 0xFFFF) != 0;
  int kind = (format_.channels == 2 ? 1 : 0) | (format_.bitsPerSample == 16 ? 2 : 0) | (resample ? 4 : 0);
  switch (kind) {
    case 0: mixSpan<1, 8, false>(acc, frames); break;
    case 1: mixSpan<2, 8, false>(acc, frames); break;
    case 2: mixSpan<1, 16, false>(acc, frames); break;
    case 3: mixSpan<2, 16, false>(acc, frames); break;
    case 4: mixSpan<1, 8, true>(acc, frames); break;
    case 5: mixSpan<2, 8, true>(acc, frames); break;
    case 6: mixSpan<1, 16, true>(acc, frames); break;
    default: mixSpan<2, 16, true>(acc, frames); break;
  }
}

// The mixer.

CSoundMixer::~CSoundMixer() {
  if (g_current == this) g_current = nullptr;
  Lock lock(mutex_);
  // Buffers that outlive the mixer would call back into it: they are the owners' fault, but keep
  // the process alive by leaving them detached.
  voices_.clear();
}

CSoundMixer* CSoundMixer::current() { return g_current; }
void CSoundMixer::setCurrent(CSoundMixer* mixer) { g_current = mixer; }

std::unique_ptr<CSoundBuffer> CSoundMixer::createBuffer(const PcmFormat& format, uint32_t bytes) {
  if (!format.playable() || bytes < format.blockAlign || bytes > kMaxBufferBytes) return nullptr;
  std::unique_ptr<CSoundBuffer> buffer(new CSoundBuffer(this, format, bytes));
  Lock lock(mutex_);
  voices_.push_back(buffer.get());
  return buffer;
}

void CSoundMixer::detach(CSoundBuffer* buffer) {
  Lock lock(mutex_);
  voices_.erase(std::remove(voices_.begin(), voices_.end(), buffer), voices_.end());
}

void CSoundMixer::render(int16_t* out, int frames) {
  if (frames <= 0) return;
  Lock lock(mutex_);
  size_t samples = static_cast<size_t>(frames) * 2;
  if (paused_) {
    // Held: silence, and every voice keeps its place (no refill, no cursor moves).
    std::fill(out, out + samples, int16_t{0});
    rendered_ += static_cast<uint64_t>(frames);
    return;
  }
  if (acc_.size() < samples) acc_.resize(samples);
  std::fill(acc_.begin(), acc_.begin() + static_cast<ptrdiff_t>(samples), 0);
  for (size_t i = 0; i < voices_.size(); ++i) {
    CSoundBuffer* voice = voices_[i];
    if (!voice->playing_) continue;
    if (voice->refill_) voice->refill_(*voice);
    if (voice->playing_) voice->mixInto(acc_.data(), frames);
  }
  int32_t master = muted_ ? 0 : master_ * 16384 / 100;
  for (size_t i = 0; i < samples; ++i) {
    int32_t v = acc_[i];
    if (master != 16384) v = static_cast<int32_t>((static_cast<int64_t>(v) * master) >> 14);
    out[i] = static_cast<int16_t>(std::clamp(v, -32768, 32767));
  }
  rendered_ += static_cast<uint64_t>(frames);
}

void CSoundMixer::setMasterVolume(int percent) {
  Lock lock(mutex_);
  master_ = std::clamp(percent, 0, 100);
}

int CSoundMixer::getMasterVolume() const {
  Lock lock(mutex_);
  return master_;
}

void CSoundMixer::setMuted(bool muted) {
  Lock lock(mutex_);
  muted_ = muted;
}

void CSoundMixer::setPaused(bool paused) {
  Lock lock(mutex_);
  paused_ = paused;
}

bool CSoundMixer::isPaused() const {
  Lock lock(mutex_);
  return paused_;
}

void CSoundMixer::setMusicVolume(int percent) {
  Lock lock(mutex_);
  musicVolume_ = std::clamp(percent, 0, 100);
}

bool CSoundMixer::isMuted() const {
  Lock lock(mutex_);
  return muted_;
}

void CSoundMixer::setEffectsOn(bool on) {
  Lock lock(mutex_);
  effectsOn_ = on;
}

uint64_t CSoundMixer::framesRendered() const {
  Lock lock(mutex_);
  return rendered_;
}

size_t CSoundMixer::voiceCount() const {
  Lock lock(mutex_);
  return voices_.size();
}

bool CSoundBuffer::serializeVoice(CXArchive* archive, bool withData) {
  Lock lock(mixer_->mutex_);
  uint64_t pos = pos_;
  bool playing = playing_, loop = loop_;
  int32_t volume = volume_, pan = pan_, freq = freq_;
  CXString data;
  if (withData && archive->isStoring()) data = CXString(std::string(data_.begin(), data_.end()));
  if (!saved::fields(archive, pos, playing, loop, volume, pan, freq)) return false;
  if (withData && !saved::fields(archive, data)) return false;
  if (archive->isStoring()) return true;
  if (pos > (static_cast<uint64_t>(frameCount_) << 16) || (withData && data.length() != static_cast<int>(data_.size())))
    return false;
  pos_ = pos;
  playing_ = playing && frameCount_ > 0;
  loop_ = loop;
  if (!setVolume(volume) || !setPan(pan) || !setFrequency(freq)) return false;
  if (withData) {
    const std::string& bytes = data.str();
    std::copy(bytes.begin(), bytes.end(), data_.begin());
  }
  return true;
}
