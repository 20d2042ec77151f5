// The SDL2 audio device: pulls mixed frames from the source in SDL's callback.
#include <SDL.h>

#include "platform/audio.h"

namespace tarnvik {
namespace {

class SdlAudioOutput final : public AudioOutput {
 public:
  ~SdlAudioOutput() override { close(); }

  bool open(AudioSource* source) override {
    close();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      error_ = std::string("SDL cannot start its audio part: ") + SDL_GetError();
      return false;
    }
    started_ = true;
    source_ = source;
    SDL_AudioSpec want{}, have{};
    want.freq = kAudioRate;
    want.format = AUDIO_S16SYS;
    want.channels = kAudioChannels;
    want.samples = kAudioDeviceFrames;
    want.callback = &SdlAudioOutput::callback;
    want.userdata = this;
    // No changes allowed: SDL converts if the hardware differs, so the mixer always sees 44100 Hz stereo.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      error_ = std::string("no audio device: ") + SDL_GetError();
      close();
      return false;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    driver_ = driver ? driver : "?";
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  void close() override {
    if (device_ != 0) {
      SDL_CloseAudioDevice(device_);
      device_ = 0;
    }
    if (started_) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      started_ = false;
    }
    source_ = nullptr;
  }

  std::string describe() const override { return "SDL audio (" + driver_ + "), 44100 Hz stereo, 1024 frames"; }
  const std::string& lastError() const override { return error_; }

 private:
  static void callback(void* user, Uint8* stream, int len) {
    auto* self = static_cast<SdlAudioOutput*>(user);
    int frames = len / static_cast<int>(sizeof(int16_t) * kAudioChannels);
    if (self->source_)
      self->source_->render(reinterpret_cast<int16_t*>(stream), frames);
    else
      SDL_memset(stream, 0, static_cast<size_t>(len));
  }

  AudioSource* source_ = nullptr;
  SDL_AudioDeviceID device_ = 0;
  bool started_ = false;
  std::string driver_ = "none", error_;
};

}  // namespace

std::unique_ptr<AudioOutput> createSdlAudio() { return std::make_unique<SdlAudioOutput>(); }

}  // namespace tarnvik
