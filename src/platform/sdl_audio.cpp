// The SDL2 audio device: pulls mixed frames from the source in SDL's callback.
#include <SDL.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/audio.h"

namespace tarnvik {
namespace {

// Whether ALSA can have a device to open: a sound card, or a configuration of its own that may route
// its default device elsewhere. Without either, asking ALSA only makes the library print its
// internal errors on stderr before it fails.
bool alsaCanOpen() {
  std::ifstream cards("/proc/asound/cards");
  std::string first;
  if (cards && std::getline(cards, first) && !first.empty() && first.find("no soundcards") == std::string::npos)
    return true;
  const char* home = std::getenv("HOME");
  return ::access("/etc/asound.conf", R_OK) == 0 || (home && ::access((std::string(home) + "/.asoundrc").c_str(), R_OK) == 0);
}

// SDL's audio drivers in its own order, less those that cannot work here: the ones that open their
// device through ALSA ("alsa", and "sndio" over it) when ALSA has nothing to open, and the ones SDL
// only uses on request ("disk", "dummy"). Empty when none is left.
std::string usableDrivers() {
  bool alsa = alsaCanOpen();
  std::string list;
  for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) {
    std::string name = SDL_GetAudioDriver(i);
    if (name == "disk" || name == "dummy") continue;
    if (!alsa && (name == "alsa" || name == "sndio")) continue;
    list += (list.empty() ? "" : ",") + name;
  }
  return list;
}

class SdlAudioOutput final : public AudioOutput {
 public:
  ~SdlAudioOutput() override { close(); }

  bool open(AudioSource* source) override {
    close();
    // A driver the person chose (SDL_AUDIODRIVER) is used as it is; otherwise only those that can work.
    const char* chosen = std::getenv("SDL_AUDIODRIVER");
    if (!chosen || !*chosen) {
      std::string drivers = usableDrivers();
      if (drivers.empty()) {
        error_ = "no sound driver can reach a device (no sound card, no sound server)";
        return false;
      }
      SDL_SetHint(SDL_HINT_AUDIODRIVER, drivers.c_str());
    }
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
