// The music's state for saves of the running game: the channel, its stream and the stream's voice.
#include <string>
#include <vector>

#include "files/state_fields.h"
#include "sound/stream.h"

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;
}  // namespace

bool CSndStream::serializeState(CXArchive* archive) {
  std::recursive_mutex* m = lock();
  if (!m || !buffer_ || !reader_) return false;
  Lock guard(*m);
  int64_t readAt = reader_->getPosition();
  bool playing = playing_, fresh = fresh_, foundEnd = foundEnd_, donePlaying = donePlaying_, looped = looped_;
  uint32_t progress = progress_, bufferSize = bufferSize_, remaining = bytesRemaining_, nextWrite = nextWrite_;
  uint64_t written = written_, heard = heard_;
  int32_t volume = volume_, pan = pan_, freq = freq_;
  int32_t loops = static_cast<int32_t>(loopStarts_.size());
  if (!saved::fields(archive, readAt, playing, fresh, foundEnd, donePlaying, looped, progress, bufferSize, remaining,
                     nextWrite, written, heard, volume, pan, freq, loops))
    return false;
  if (archive->isLoading() && (bufferSize != bufferSize_ || loops < 0 || loops > 4096 || readAt < 0 ||
                               static_cast<uint64_t>(readAt) > reader_->length()))
    return false;
  std::vector<uint64_t> starts = loopStarts_;
  starts.resize(static_cast<size_t>(loops));
  for (uint64_t& at : starts)
    if (!saved::fields(archive, at)) return false;
  if (archive->isStoring()) return buffer_->serializeVoice(archive, true);
  if (!buffer_->serializeVoice(archive, true)) return false;
  reader_->setPosition(static_cast<long>(readAt));
  playing_ = playing;
  fresh_ = fresh;
  foundEnd_ = foundEnd;
  donePlaying_ = donePlaying;
  looped_ = looped;
  progress_ = progress;
  bytesRemaining_ = remaining;
  nextWrite_ = nextWrite;
  written_ = written;
  heard_ = heard;
  volume_ = volume;
  pan_ = pan;
  freq_ = freq;
  loopStarts_ = std::move(starts);
  return true;
}

bool CMusicChannel::serializeState(CXArchive* archive) {
  CXString file = fileName_;
  int32_t volume = volume_, pan = pan_, freq = freq_;
  bool volumeSet = volumeSet_, panSet = panSet_, freqSet = freqSet_, has = stream_ != nullptr;
  bool looped = has && stream_->IsLooped();
  if (!saved::fields(archive, file, volume, pan, freq, volumeSet, panSet, freqSet, has, looped)) return false;
  if (archive->isStoring()) return !has || stream_->serializeState(archive);
  volume_ = volume;
  pan_ = pan;
  freq_ = freq;
  volumeSet_ = volumeSet;
  panSet_ = panSet;
  freqSet_ = freqSet;
  if (!has) {
    stop();
    return true;
  }
  if (!stream_ || !fileName_.equalsIgnoreCase(file)) {
    stop();
    play(file, looped);
  }
  // A file that cannot be played here leaves the channel silent.
  return stream_ && stream_->serializeState(archive);
}
