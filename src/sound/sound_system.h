// The sound side of one running application: the sound manager, the music channel, the sound and
// music switches, the sounds of animation frames, and the per-frame poll.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "foundation/frame_participant.h"
#include "foundation/xstring.h"
#include "sound/sound4.h"
#include "sound/stream.h"

class CSoundMixer;
class CWindow;

class CSoundSystem : public CFrameParticipant {
 public:
  // The mixer may be null (no sound device: loads fail, nothing plays). Becomes the current system,
  // takes part in the window's frame tick and fills in the animations' sound hooks.
  CSoundSystem(CWindow* window, CSoundMixer* mixer, bool soundOn = true, bool musicOn = true);
  ~CSoundSystem() override;
  CSoundSystem(const CSoundSystem&) = delete;
  CSoundSystem& operator=(const CSoundSystem&) = delete;

  static CSoundSystem* current();

  CWindow* getWindow() const { return window_; }
  CSoundManager& getManager() { return manager_; }
  CMusicChannel& getMusicChannel() { return music_; }

  // Music: the name is relative to the data root. Acts only while sound and music are on.
  void StartMusic(const CXString& name, bool loop);
  void StopMusic();
  bool isMusicPlaying() { return music_.isPlaying(); }
  int getMusicVolume() const { return music_.getVolume(); }
  void setMusicVolume(int volume) { music_.setVolume(volume); }
  void setMusicPan(int pan) { music_.setPan(pan); }
  void setMusicFreq(int freq) { music_.setFreq(freq); }
  // Off stops what plays; sound off silences the effects (they still run, so their events come).
  void SoundOn(bool on);
  void MusicOn(bool on);
  bool IsSoundOn() const { return soundOn_; }
  bool IsMusicOn() const { return musicOn_; }
  // Told on the main thread each time the music starts another loop.
  void setMusicLoopHandler(std::function<void()> handler) { onMusicLoop_ = std::move(handler); }

  // A sound-effect name as a loader can open it: as given (the current folder and the name rules),
  // else under the sound-effects folder, else under its "Sfx" subfolder.
  static CXString resolveSoundFX(CWindow* window, const CXString& name);
  // The places resolveSoundFX looks in, as diagnostics name them ("a, b, c").
  static std::string searchedPlaces(CWindow* window, const CXString& file);

  // Animation frames: plays the named sound (one shared sound per file) and asks whether it plays.
  // Plays an animation entry's sound with the animation's volume, panning and frequency (device units).
  void playFrameSound(const CXString& name, const CPlayable& settings);
  bool isFrameSoundPlaying(const CXString& name) const;

  // Once per frame: ends of in-memory sounds, music loop events.
  void frameTick() override;

  // Saves of the running game: the music, then the animation frames' sounds that are playing, by
  // name, with their voices. Frame sounds not named in a loaded state are stopped.
  bool serializeState(CXArchive* archive);

 private:
  CWindow* window_;
  CSoundMixer* mixer_;
  CSoundManager manager_;
  CMusicChannel music_;
  bool soundOn_, musicOn_;
  std::function<void()> onMusicLoop_;
  std::map<std::string, std::unique_ptr<CSound4>> frameSounds_;
};
