// The software mixer: secondary sound buffers (voices) with play cursors, looping, volume in
// hundredths of a decibel, pan and frequency, mixed into 16-bit stereo at the device rate.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio.h"

// The format of a buffer's PCM data (the fields of a WAVE format record).
struct PcmFormat {
  uint16_t formatTag = 1;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  // Channels 1 or 2, 8 or 16 bits, a rate the mixer can resample, a block of channels × bytes.
  bool playable() const;
  // A 16-bit PCM record with the derived fields filled in.
  static PcmFormat pcm16(int channels, int rate);
};

class CSoundMixer;
class CXArchive;

// One voice. Every operation takes the mixer's lock, so the main thread and the device thread may
// both use a buffer; the refill function runs on the device thread under that lock.
class CSoundBuffer {
 public:
  // Volume and pan limits in hundredths of a decibel, frequency limits in samples per second.
  static constexpr int kVolumeMin = -10000, kVolumeMax = 0;
  static constexpr int kPanLeft = -10000, kPanRight = 10000;
  static constexpr int kFreqMin = 100, kFreqMax = 200000;

  ~CSoundBuffer();
  CSoundBuffer(const CSoundBuffer&) = delete;
  CSoundBuffer& operator=(const CSoundBuffer&) = delete;

  const PcmFormat& format() const { return format_; }
  uint32_t size() const { return static_cast<uint32_t>(data_.size()); }

  // Copies bytes into the buffer at a byte offset, wrapping around its end.
  void write(uint32_t offset, const uint8_t* bytes, uint32_t n);
  // Fills n bytes from offset (wrapping) with the format's silence.
  void silence(uint32_t offset, uint32_t n);
  uint8_t silenceByte() const { return format_.bitsPerSample == 8 ? 0x80 : 0; }

  void play(bool loop);
  void stop();
  bool isPlaying() const;
  bool isLooping() const;
  // Play cursor in bytes (a whole block).
  uint32_t getCurrentPosition() const;
  void setCurrentPosition(uint32_t bytes);
  // The voice for saves of the running game: the cursor with its fraction, playing, looping,
  // volume, pan and frequency, and with `withData` the samples too (a stream's circular buffer).
  // Reading takes effect once everything has read; the data must be of this voice's size.
  bool serializeVoice(CXArchive* archive, bool withData);

  // Each setter refuses a value outside its range (false, nothing changes).
  bool setVolume(int hundredthsDb);
  bool setPan(int hundredthsDb);
  // 0 restores the data's own rate.
  bool setFrequency(int samplesPerSec);
  int getVolume() const;
  int getPan() const;
  int getFrequency() const;

  // Music buffers keep sounding when sound effects are switched off.
  void setMusic(bool music);
  // Runs on the mixing thread, under the mixer's lock, before each mix of this voice while it plays.
  // It may use this buffer's operations (the lock is recursive).
  void setRefill(std::function<void(CSoundBuffer&)> refill);

 private:
  friend class CSoundMixer;
  CSoundBuffer(CSoundMixer* mixer, const PcmFormat& format, uint32_t bytes);
  template <class Fn>
  void forSpan(uint32_t offset, uint32_t n, Fn fn);
  void updateGains();
  void updateStep();
  // Adds this voice's next `frames` output frames to acc (stereo int32).
  void mixInto(int32_t* acc, int frames);
  template <int Channels, int Bits, bool Resample>
  void mixSpan(int32_t* acc, int frames);

  CSoundMixer* mixer_;
  PcmFormat format_;
  std::vector<uint8_t> data_;
  uint32_t frameCount_ = 0;
  uint64_t pos_ = 0;    // 48.16 fixed point, in source frames
  uint32_t step_ = 0;   // 16.16 source frames per output frame
  bool playing_ = false, loop_ = false, music_ = false;
  int volume_ = 0, pan_ = 0, freq_ = 0;
  int32_t gainL_ = 1 << 14, gainR_ = 1 << 14;  // Q14
  std::function<void(CSoundBuffer&)> refill_;
};

class CSoundMixer : public tarnvik::AudioSource {
 public:
  // Buffers larger than this are refused (about 6 minutes of 44100 Hz 16-bit stereo).
  static constexpr uint32_t kMaxBufferBytes = 64u << 20;

  CSoundMixer() = default;
  ~CSoundMixer() override;
  CSoundMixer(const CSoundMixer&) = delete;
  CSoundMixer& operator=(const CSoundMixer&) = delete;

  // The mixer the engine's sounds use; null means there is no sound device (loads fail).
  static CSoundMixer* current();
  static void setCurrent(CSoundMixer* mixer);

  // A stopped buffer of `bytes` bytes of silence; null when the format or the size is refused.
  std::unique_ptr<CSoundBuffer> createBuffer(const PcmFormat& format, uint32_t bytes);

  void render(int16_t* out, int frames) override;

  // Master volume 0..100 (linear), mute, and the sound-effect switch (off: only music is heard).
  void setMasterVolume(int percent);
  int getMasterVolume() const;
  void setMuted(bool muted);
  bool isMuted() const;
  void setEffectsOn(bool on);
  // The volume of music voices 0..100 (linear), on top of the master volume.
  void setMusicVolume(int percent);
  // Paused: the output is silent and no voice moves on (the player's menu holds the sound so).
  void setPaused(bool paused);
  bool isPaused() const;
  // Output frames rendered so far.
  uint64_t framesRendered() const;
  size_t voiceCount() const;

  std::recursive_mutex& lock() { return mutex_; }

 private:
  friend class CSoundBuffer;
  void detach(CSoundBuffer* buffer);

  mutable std::recursive_mutex mutex_;
  std::vector<CSoundBuffer*> voices_;
  std::vector<int32_t> acc_;
  int master_ = 100;
  bool muted_ = false, effectsOn_ = true, paused_ = false;
  int musicVolume_ = 100;
  uint64_t rendered_ = 0;
};

// Gain of an attenuation in hundredths of a decibel, Q14 (16384 = unity); -10000 or lower is 0.
int32_t soundGainQ14(int hundredthsDb);
