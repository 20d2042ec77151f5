// Audio output: a device that pulls interleaved 16-bit stereo frames from a source. The SDL2 back end
// pulls from its callback thread; headless runs have no device and the host pulls once per frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tarnvik {

// Every device runs at this rate and layout; the mixer resamples each voice to it.
constexpr int kAudioRate = 44100;
constexpr int kAudioChannels = 2;
constexpr int kAudioDeviceFrames = 1024;

class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Writes `frames` stereo frames (2 × frames samples) into out. Called on the device's thread.
  virtual void render(int16_t* out, int frames) = 0;
};

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Starts pulling from the source (which must outlive the open device); false when no device.
  virtual bool open(AudioSource* source) = 0;
  // Stops pulling; after it returns the source is no longer called.
  virtual void close() = 0;
  virtual std::string describe() const = 0;
  virtual const std::string& lastError() const = 0;
};

// The SDL2 device (44100 Hz stereo, 1024-frame buffers); the driver is SDL's choice (SDL_AUDIODRIVER).
std::unique_ptr<AudioOutput> createSdlAudio();

}  // namespace tarnvik
