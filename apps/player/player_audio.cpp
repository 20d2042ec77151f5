// The player's sound output and capture.
#include "player_audio.h"

#include <algorithm>
#include <cstdio>

#include "foundation/atomic_file.h"
#include "foundation/log.h"
#include "settings/commandline.h"
#include "sound/codec.h"

namespace tarnvik {

namespace {
// On the real clock without a device, a long stall is not made up (at most this many frames at once).
constexpr uint64_t kMaxCatchUpFrames = kAudioRate / 2;
}  // namespace

PlayerAudio::PlayerAudio(CWindow* window, CCommandLine6* commandLine, bool headless, int volume, bool muteUnfocused,
                         bool capture)
    : capture_(capture), muteUnfocused_(muteUnfocused) {
  bool soundOn = !commandLine || commandLine->isSoundEnabled();
  bool musicOn = !commandLine || commandLine->isMusicEnabled();
  mixer_.setMasterVolume(volume);
  system_ = std::make_unique<CSoundSystem>(window, &mixer_, soundOn, musicOn);
  if (!headless && (soundOn || musicOn)) {
    device_ = createSdlAudio();
    if (device_->open(&mixer_)) {
      TLOG_INFO("audio: " << device_->describe());
    } else {
      // Common on machines without a sound card; the game runs the same, only unheard. One line of
      // our own says so; the detail is for the log.
      std::fprintf(stderr, "tarnvik: no sound device; the game plays without sound\n");
      TLOG_INFO("audio: " << device_->lastError() << "; sound is mixed but not heard");
      device_.reset();
    }
  }
}

PlayerAudio::~PlayerAudio() {
  if (device_) device_->close();
  system_.reset();
}

void PlayerAudio::pump(uint32_t nowMs) {
  if (device_) return;
  uint64_t target = static_cast<uint64_t>(nowMs) * kAudioRate / 1000;
  if (target <= pulled_) return;
  uint64_t frames = target - pulled_;
  if (!capture_ && frames > kMaxCatchUpFrames) {
    pulled_ = target - kMaxCatchUpFrames;
    frames = kMaxCatchUpFrames;
  }
  size_t samples = static_cast<size_t>(frames) * kAudioChannels;
  int16_t* out;
  if (capture_) {
    captured_.resize(captured_.size() + samples);
    out = captured_.data() + captured_.size() - samples;
  } else {
    scratch_.resize(samples);
    out = scratch_.data();
  }
  mixer_.render(out, static_cast<int>(frames));
  pulled_ = target;
}

void PlayerAudio::toggleMute() {
  userMuted_ = !userMuted_;
  TLOG_INFO("sound " << (userMuted_ ? "muted" : "unmuted"));
  applyMute();
}

void PlayerAudio::setMuted(bool muted) {
  userMuted_ = muted;
  applyMute();
}

void PlayerAudio::setVolumes(int master, int music) {
  mixer_.setMasterVolume(master);
  mixer_.setMusicVolume(music);
}

void PlayerAudio::focus(bool focused) {
  unfocused_ = !focused;
  applyMute();
}

void PlayerAudio::applyMute() { mixer_.setMuted(userMuted_ || (unfocused_ && muteUnfocused_)); }

bool PlayerAudio::writeCapture(const std::string& file, std::string& error) const {
  std::vector<uint8_t> bytes;
  if (!encodeWav16(captured_, kAudioChannels, kAudioRate, bytes, error)) {
    error = "cannot make the sound of " + file + ": " + error;
    return false;
  }
  return replaceFileAtomically(file, bytes.data(), bytes.size(), 0644, false, error);
}

}  // namespace tarnvik
