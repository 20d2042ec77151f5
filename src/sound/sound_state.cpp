// CSound4's playing state for saves of the running game.
#include "files/state_fields.h"
#include "sound/mixer.h"
#include "sound/sound4.h"

bool CSound4::serializePlayState(CXArchive* archive) {
  int32_t state = state_, volume = getVolume(), pan = getPanning(), freq = getFrequency();
  bool loop = loop_, notify = notifyOnFinish_, volumeSet = volumeSet_, panSet = panSet_, freqSet = freqSet_;
  bool voice = buffer_ != nullptr;
  bool polled = getManager() && getManager()->isMarkedPlaying(this);
  uint32_t paused = savedPosition_;
  if (!saved::fields(archive, state, volume, pan, freq, loop, notify, volumeSet, panSet, freqSet, paused, voice, polled))
    return false;
  if (archive->isStoring()) return !voice || buffer_->serializeVoice(archive, false);
  if (voice && !buffer_) load();
  // The voice's own state is read whole before anything else changes.
  if (voice && (!buffer_ || !buffer_->serializeVoice(archive, false))) return false;
  state_ = state;
  loop_ = loop;
  notifyOnFinish_ = notify;
  savedPosition_ = paused;
  CPlayable::setVolume(volume);
  CPlayable::setPanning(pan);
  CPlayable::setFrequency(freq);
  volumeSet_ = volumeSet;
  panSet_ = panSet;
  freqSet_ = freqSet;
  if (polled && getManager()) getManager()->play(this);
  return true;
}
