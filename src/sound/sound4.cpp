// CSound4 and CSoundManager: decoding into a buffer, playback state, end-of-playback polling.
#include "sound/sound4.h"

#include <algorithm>

#include "files/file.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "sound/codec.h"
#include "sound/mixer.h"

namespace {
CSoundManager* g_manager = nullptr;
}

CSoundManager* CSound4::getManager() { return g_manager; }
void CSound4::setManager(CSoundManager* manager) { g_manager = manager; }

CSound4::CSound4(CWindow* window) : window_(window) {}

CSound4::CSound4(CWindow* window, const CXString& name, bool releaseAfterPlay, bool loadNow)
    : window_(window), fileName_(name), releaseAfterPlay_(releaseAfterPlay) {
  if (g_manager) {
    g_manager->add(this, false);
    registered_ = true;
  }
  if (loadNow) load();
}

CSound4::~CSound4() {
  if (registered_ && g_manager) g_manager->remove(this);
  buffer_.reset();
}

bool CSound4::Load(const CXString& name) {
  Flush();
  fileName_ = name;
  return load();
}

bool CSound4::load() {
  CSoundMixer* mixer = CSoundMixer::current();
  if (!mixer) {
    TLOG_DEBUG("sound " << fileName_.view() << ": no sound device");
    return false;
  }
  // Names ending in ".SPX" (as stored) had no decoder and never load.
  if (fileName_.length() >= 4 && fileName_.str().compare(fileName_.length() - 4, 4, ".SPX") == 0) {
    TLOG_WARN("sound " << fileName_.view() << ": no decoder for .SPX files");
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!CFile::readAll(window_, fileName_, bytes)) {
    TLOG_WARN("sound " << fileName_.view() << ": file not found");
    return false;
  }
  PcmFormat format;
  std::vector<uint8_t> pcm;
  std::string why;
  if (!CSoundCodec::decodeFile(bytes, format, pcm, why)) {
    TLOG_WARN("sound " << fileName_.view() << ": " << why);
    return false;
  }
  std::unique_ptr<CSoundBuffer> buffer = mixer->createBuffer(format, static_cast<uint32_t>(pcm.size()));
  if (!buffer) {
    TLOG_WARN("sound " << fileName_.view() << ": no sound data");
    return false;
  }
  buffer->write(0, pcm.data(), static_cast<uint32_t>(pcm.size()));
  buffer_ = std::move(buffer);
  applyStoredSettings();
  return true;
}

void CSound4::applyStoredSettings() {
  if (!buffer_) return;
  if (volumeSet_) buffer_->setVolume(getVolume());
  if (panSet_) buffer_->setPan(getPanning());
  if (freqSet_) buffer_->setFrequency(getFrequency());
}

void CSound4::Flush() { buffer_.reset(); }

void CSound4::SetPosition(int bytes) {
  if (buffer_) buffer_->setCurrentPosition(static_cast<uint32_t>(std::max(bytes, 0)));
}

void CSound4::Play() {
  if (!buffer_ && !load()) return;
  buffer_->setCurrentPosition(savedPosition_);
  if (g_manager) g_manager->play(this);
  buffer_->play(false);
  savedPosition_ = 0;
  notifyOnFinish_ = true;
  int previous = state_;
  state_ = kPlaying;
  notify(previous == kPaused ? kFourth : kStarted);
}

void CSound4::Play(bool loop) {
  if (!buffer_ && !load()) return;
  buffer_->setCurrentPosition(0);
  // Unlike the single-shot form of old, this form is polled too: a sequence plays its sounds
  // through it and must hear when they end.
  if (g_manager && !loop) g_manager->play(this);
  buffer_->play(loop);
  savedPosition_ = 0;
  notifyOnFinish_ = true;
  state_ = kPlaying;
  notify(kStarted);
}

void CSound4::Stop() {
  if (buffer_) buffer_->stop();
  state_ = kStopped;
}

bool CSound4::IsPlaying() const { return buffer_ && buffer_->isPlaying(); }

void CSound4::OnWAVFinished() {
  state_ = kStopped;
  bool tell = notifyOnFinish_;
  notifyOnFinish_ = true;
  if (releaseAfterPlay_) Flush();
  if (tell) notify(kFinished);
}

void CSound4::play() {
  savedPosition_ = 0;
  Play();
}

void CSound4::stop(bool notify) {
  notifyOnFinish_ = notify;
  Stop();
}

void CSound4::pause() {
  if (state_ != kPlaying) return;
  savedPosition_ = buffer_ ? buffer_->getCurrentPosition() : 0;
  Stop();
  state_ = kPaused;
}

void CSound4::resume() {
  if (state_ == kPaused) Play();
}

void CSound4::setVolume(int volume) {
  if (buffer_ && !buffer_->setVolume(volume)) return;
  if (!buffer_ && (volume < CSoundBuffer::kVolumeMin || volume > CSoundBuffer::kVolumeMax)) return;
  CPlayable::setVolume(volume);
  volumeSet_ = true;
}

void CSound4::setPanning(int pan) {
  if (buffer_ && !buffer_->setPan(pan)) return;
  if (!buffer_ && (pan < CSoundBuffer::kPanLeft || pan > CSoundBuffer::kPanRight)) return;
  CPlayable::setPanning(pan);
  panSet_ = true;
}

void CSound4::setFrequency(int frequency) {
  if (buffer_ && !buffer_->setFrequency(frequency)) return;
  if (!buffer_ && frequency != 0 && (frequency < CSoundBuffer::kFreqMin || frequency > CSoundBuffer::kFreqMax)) return;
  CPlayable::setFrequency(frequency);
  freqSet_ = true;
}

uint32_t CSound4::getPosition() const { return buffer_ ? buffer_->getCurrentPosition() : 0; }
uint32_t CSound4::getByteLength() const { return buffer_ ? buffer_->size() : 0; }

// The manager.

CSoundManager::~CSoundManager() { Flush(); }

void CSoundManager::add(CSound4* sound, bool owned) {
  for (Entry& e : entries_)
    if (e.sound == sound && !e.removed) return;
  entries_.push_back(Entry{sound, false, owned, false});
}

void CSoundManager::play(CSound4* sound) {
  for (Entry& e : entries_)
    if (e.sound == sound && !e.removed) e.playing = true;
}

bool CSoundManager::isMarkedPlaying(const CSound4* sound) const {
  for (const Entry& e : entries_)
    if (e.sound == sound && !e.removed && e.playing) return true;
  return false;
}

void CSoundManager::remove(CSound4* sound) {
  for (Entry& e : entries_)
    if (e.sound == sound) {
      e.sound = nullptr;
      e.removed = true;
    }
  if (polling_ == 0)
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.removed; }),
                   entries_.end());
}

void CSoundManager::domodal() {
  ++polling_;
  // Handlers run from OnWAVFinished may add and remove sounds: index, and re-read each entry.
  for (size_t i = 0; i < entries_.size(); ++i) {
    Entry& e = entries_[i];
    if (e.removed || !e.playing || !e.sound || e.sound->isPaused() || e.sound->IsPlaying()) continue;
    e.playing = false;
    CSound4* sound = e.sound;
    sound->OnWAVFinished();
  }
  --polling_;
  if (polling_ == 0)
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.removed; }),
                   entries_.end());
}

void CSoundManager::pause() {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (!entries_[i].removed && entries_[i].sound && entries_[i].sound->isPlaying()) entries_[i].sound->pause();
}

void CSoundManager::resume() {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (!entries_[i].removed && entries_[i].sound && entries_[i].sound->isPaused()) entries_[i].sound->resume();
}

void CSoundManager::Flush() {
  std::vector<Entry> entries;
  entries.swap(entries_);
  for (Entry& e : entries)
    if (e.owned && !e.removed && e.sound) {
      CSound4* s = e.sound;
      delete s;
    }
}

size_t CSoundManager::size() const {
  return static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.removed; }));
}
