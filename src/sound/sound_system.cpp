// The application's sound side: switches, music, frame sounds and the per-frame poll.
#include "sound/sound_system.h"

#include "files/file.h"
#include "files/file_search.h"
#include "files/path.h"
#include "files/state_fields.h"
#include "foundation/log.h"
#include "graphics/animation.h"
#include "graphics/window.h"
#include "sound/mixer.h"

namespace {

CSoundSystem* g_system = nullptr;

void frameSoundHook(CAnimo* animo, const CAnimoEntry& entry) {
  if (g_system && animo) g_system->playFrameSound(entry.sound, *animo);
}

bool frameSoundQuery(CAnimo*, const CAnimoEntry& entry) {
  return g_system && g_system->isFrameSoundPlaying(entry.sound);
}

}  // namespace

CSoundSystem::CSoundSystem(CWindow* window, CSoundMixer* mixer, bool soundOn, bool musicOn)
    : window_(window), mixer_(mixer), music_(window), soundOn_(soundOn), musicOn_(musicOn) {
  g_system = this;
  CSoundMixer::setCurrent(mixer);
  CSound4::setManager(&manager_);
  if (mixer_) mixer_->setEffectsOn(soundOn_);
  if (window_) window_->addParticipant(CFrameParticipant::kSound, this);
  CAnimo::setSoundHook(&frameSoundHook);
  CAnimo::setSoundQuery(&frameSoundQuery);
}

CSoundSystem::~CSoundSystem() {
  if (window_) window_->removeParticipant(this);
  CAnimo::setSoundHook(nullptr);
  CAnimo::setSoundQuery(nullptr);
  frameSounds_.clear();
  music_.stop();
  manager_.Flush();
  if (CSound4::getManager() == &manager_) CSound4::setManager(nullptr);
  if (g_system == this) g_system = nullptr;
}

CSoundSystem* CSoundSystem::current() { return g_system; }

void CSoundSystem::StartMusic(const CXString& name, bool loop) {
  if (!soundOn_ || !musicOn_ || name.isEmpty()) return;
  CXString root = window_ ? CXString(window_->getDataRoot()) : CPath::getDataRoot();
  music_.play(root.isEmpty() ? name : CPath::join(root, name), loop);
}

void CSoundSystem::StopMusic() { music_.stop(); }

void CSoundSystem::SoundOn(bool on) {
  soundOn_ = on;
  if (mixer_) mixer_->setEffectsOn(on);
  if (!on) music_.stop();
}

void CSoundSystem::MusicOn(bool on) {
  musicOn_ = on;
  if (!on) music_.stop();
}

std::string CSoundSystem::searchedPlaces(CWindow* window, const CXString& file) {
  // A sound effect is looked for as named, then under "Wavs" and "Wavs/Sfx".
  std::vector<CXString> names{file};
  if (window && !window->getWavPath().empty()) {
    CXString wavs(window->getWavPath());
    names.push_back(CPath::join(wavs, file));
    names.push_back(CPath::join(CPath::join(wavs, "Sfx"), file));
  }
  std::string places;
  for (const CXString& name : names) places += (places.empty() ? "" : ", ") + tarnvik::files::searchedPlaces(window, name);
  return places;
}

CXString CSoundSystem::resolveSoundFX(CWindow* window, const CXString& name) {
  if (name.isEmpty() || CFile::canRead(window, name)) return name;
  if (window && !window->getWavPath().empty()) {
    CXString wavs(window->getWavPath());
    for (const CXString& candidate : {CPath::join(wavs, name), CPath::join(CPath::join(wavs, "Sfx"), name)})
      if (CFile::canRead(window, candidate)) return candidate;
  }
  return name;
}

void CSoundSystem::playFrameSound(const CXString& name, const CPlayable& settings) {
  if (name.isEmpty()) return;
  std::string key = name.str();
  auto it = frameSounds_.find(key);
  if (it == frameSounds_.end()) {
    auto sound = std::make_unique<CSound4>(window_, resolveSoundFX(window_, name), false, true);
    it = frameSounds_.emplace(key, std::move(sound)).first;
  }
  // One file may sound for several animations: each play takes the settings of the one playing it.
  CSound4& sound = *it->second;
  sound.setVolume(settings.getVolume());
  sound.setPanning(settings.getPanning());
  sound.setFrequency(settings.getFrequency());
  sound.Play(false);
}

bool CSoundSystem::isFrameSoundPlaying(const CXString& name) const {
  auto it = frameSounds_.find(name.str());
  return it != frameSounds_.end() && it->second->IsPlaying();
}

bool CSoundSystem::serializeState(CXArchive* archive) {
  if (!music_.serializeState(archive)) return false;
  int32_t count = 0;
  if (archive->isStoring()) {
    for (const auto& [name, sound] : frameSounds_) count += sound->IsPlaying() ? 1 : 0;
    *archive << count;
    for (const auto& [name, sound] : frameSounds_) {
      if (!sound->IsPlaying()) continue;
      CXString key(name);
      if (!saved::fields(archive, key) || !sound->serializePlayState(archive)) return false;
    }
    return archive->isOk();
  }
  if (!saved::fields(archive, count) || count < 0 || count > 4096) return false;
  for (const auto& [name, sound] : frameSounds_) sound->Stop();
  for (int32_t i = 0; i < count; ++i) {
    CXString name;
    if (!saved::fields(archive, name) || name.isEmpty()) return false;
    auto it = frameSounds_.find(name.str());
    if (it == frameSounds_.end())
      it = frameSounds_.emplace(name.str(), std::make_unique<CSound4>(window_, resolveSoundFX(window_, name), false, true)).first;
    if (!it->second->serializePlayState(archive)) return false;
  }
  return true;
}

void CSoundSystem::frameTick() {
  manager_.domodal();
  if (CSndStream* stream = music_.stream()) {
    int loops = stream->takeLoopsStarted();
    for (int i = 0; i < loops && onMusicLoop_; ++i) onMusicLoop_();
  }
}
