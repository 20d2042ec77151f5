// The player's sound: the mixer, the audio device (or pulling by the clock when there is none),
// the capture for --audio-out, master and music volumes, Ctrl+M mute, muting while unfocused, and
// holding everything while the player's menu is open.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "sound/mixer.h"
#include "sound/sound_system.h"

class CCommandLine6;

namespace tarnvik {

class PlayerAudio {
 public:
  // Headless: no device; the mixer is pulled by the virtual clock and may be captured.
  PlayerAudio(CWindow* window, CCommandLine6* commandLine, bool headless, int volume, bool muteUnfocused,
              bool capture);
  ~PlayerAudio();

  // Mixes everything up to the engine time `nowMs` when no device pulls (headless, or no device).
  void pump(uint32_t nowMs);
  // A loaded save's time: the mix goes on from there (the capture keeps what it holds).
  void restartAt(uint32_t nowMs) { pulled_ = static_cast<uint64_t>(nowMs) * kAudioRate / 1000; }
  void toggleMute();
  void setMuted(bool muted);
  bool isMuted() const { return userMuted_; }
  // The master and music volumes, 0..100 each.
  void setVolumes(int master, int music);
  // Held: silent, every sound keeps its place until let go (the player's menu is open).
  void hold(bool held) { mixer_.setPaused(held); }
  void focus(bool focused);
  // Writes the capture as a 16-bit stereo 44100 Hz WAV (atomically); false with a message.
  bool writeCapture(const std::string& file, std::string& error) const;

 private:
  void applyMute();

  CSoundMixer mixer_;
  std::unique_ptr<AudioOutput> device_;
  std::unique_ptr<CSoundSystem> system_;
  bool capture_;
  bool userMuted_ = false, unfocused_ = false, muteUnfocused_;
  uint64_t pulled_ = 0;
  std::vector<int16_t> captured_, scratch_;
};

}  // namespace tarnvik
