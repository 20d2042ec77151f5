// Streams: the circular buffer, its refill on the mixing thread, and the music channel.
#include "sound/stream.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "files/file.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "sound/codec.h"

using Lock = std::lock_guard<std::recursive_mutex>;

// Reader.

bool CStreamedWAV::Open(CWindow* window, const CXString& name) {
  Close();
  std::vector<uint8_t> bytes;
  if (!CFile::readAll(window, name, bytes)) {
    setErrorCode(kErrorNotFound);
    return false;
  }
  std::string why;
  if (!CSoundCodec::decodeFile(bytes, format_, pcm_, why)) {
    TLOG_WARN("music " << name.view() << ": " << why);
    setErrorCode(kErrorBadFile);
    return false;
  }
  setErrorCode(0);
  return true;
}

void CStreamedWAV::Open(const PcmFormat& format, std::vector<uint8_t> pcm) {
  format_ = format;
  pcm_ = std::move(pcm);
  pcm_.resize(pcm_.size() - pcm_.size() % std::max<size_t>(format.blockAlign, 1));
  pos_ = 0;
  setErrorCode(0);
}

void CStreamedWAV::Close() {
  pcm_.clear();
  pos_ = 0;
}

void CStreamedWAV::setPosition(long bytes) {
  pos_ = static_cast<size_t>(std::clamp<long>(bytes, 0, static_cast<long>(pcm_.size())));
}

int CStreamedWAV::Read(int size, uint8_t* dst) {
  if (size <= 0 || pos_ >= pcm_.size()) return 0;
  size_t n = std::min(static_cast<size_t>(size), pcm_.size() - pos_);
  std::memcpy(dst, pcm_.data() + pos_, n);
  pos_ += n;
  return static_cast<int>(n);
}

// Stream.

CSndStream::CSndStream(CWindow* window) : window_(window) {}

CSndStream::CSndStream(CWindow* window, const CXString& name) : window_(window) { Open(name); }

CSndStream::~CSndStream() { Close(); }

std::recursive_mutex* CSndStream::lock() const {
  CSoundMixer* mixer = CSoundMixer::current();
  return mixer ? &mixer->lock() : nullptr;
}

bool CSndStream::Open(const CXString& name) {
  auto reader = std::make_unique<CStreamedWAV>();
  if (!reader->Open(window_, name)) {
    setErrorCode(reader->getErrorCode());
    if (reader->getErrorCode() == CStreamedWAV::kErrorNotFound) TLOG_WARN("music " << name.view() << ": file not found");
    return false;
  }
  return Open(std::move(reader));
}

bool CSndStream::Open(std::unique_ptr<CStreamedWAV> reader) {
  Close();
  CSoundMixer* mixer = CSoundMixer::current();
  if (!mixer || !reader) return false;
  format_ = reader->format();
  // 1.2 seconds, kept to whole blocks so the cursor arithmetic never splits a sample.
  uint32_t size = format_.avgBytesPerSec * 1200 / 1000;
  size -= size % std::max<uint32_t>(format_.blockAlign, 1);
  buffer_ = mixer->createBuffer(format_, size);
  if (!buffer_) {
    setErrorCode(CStreamedWAV::kErrorBadFile);
    return false;
  }
  Lock guard(mixer->lock());
  reader_ = std::move(reader);
  bufferSize_ = size;
  scratch_.resize(size);
  buffer_->setMusic(true);
  buffer_->setRefill([this](CSoundBuffer&) { TimeFunc(); });
  if (volume_) buffer_->setVolume(volume_);
  if (pan_) buffer_->setPan(pan_);
  if (freq_) buffer_->setFrequency(freq_);
  looped_ = false;
  initialFill();
  opened_ = true;
  fresh_ = true;
  buffer_->setCurrentPosition(0);
  return true;
}

void CSndStream::initialFill() {
  foundEnd_ = donePlaying_ = false;
  bytesRemaining_ = 0;
  buffer_->silence(0, bufferSize_);
  nextWrite_ = 0;
  progress_ = 0;
  written_ = heard_ = 0;
  loopStarts_.clear();
  fillSpan(0, bufferSize_, 0);
  written_ = bufferSize_;
  nextWrite_ = 0;
}

void CSndStream::fillSpan(uint32_t offset, uint32_t n, uint32_t playCursor) {
  uint32_t filled = 0;
  bool readSinceRewind = reader_->length() > 0;
  while (filled < n) {
    if (donePlaying_ || foundEnd_) {
      buffer_->silence(offset + filled, n - filled);
      return;
    }
    int got = reader_->Read(static_cast<int>(n - filled), scratch_.data());
    if (got > 0) {
      buffer_->write(offset + filled, scratch_.data(), static_cast<uint32_t>(got));
      filled += static_cast<uint32_t>(got);
      readSinceRewind = true;
      continue;
    }
    // The data has ended. A looped stream starts it again, unless there is nothing to repeat.
    if (looped_ && readSinceRewind) {
      reader_->StartRead();
      loopStarts_.push_back(written_ + filled);
      readSinceRewind = false;
      continue;
    }
    // Everything queued before this span, and what this span got, is still to be heard.
    uint32_t ahead = offset >= playCursor ? offset - playCursor : bufferSize_ - playCursor + offset;
    if (fresh_ || offset == playCursor) ahead = 0;
    foundEnd_ = true;
    bytesRemaining_ = std::min(bufferSize_, ahead + filled);
    buffer_->silence(offset + filled, n - filled);
    return;
  }
}

void CSndStream::TimeFunc() {
  std::recursive_mutex* m = lock();
  if (!m || !buffer_ || !reader_) return;
  Lock guard(*m);
  if (!playing_) return;
  if (foundEnd_ && bytesRemaining_ == 0) {
    donePlaying_ = true;
    return;
  }
  uint32_t play = buffer_->getCurrentPosition();
  if (play == nextWrite_) return;
  uint32_t played = play >= nextWrite_ ? play - nextWrite_ : bufferSize_ - nextWrite_ + play;
  progress_ += played;
  heard_ += played;
  if (foundEnd_) {
    bytesRemaining_ -= std::min(played, bytesRemaining_);
    buffer_->silence(nextWrite_, played);
    if (bytesRemaining_ == 0) donePlaying_ = true;
  } else {
    fresh_ = false;
    fillSpan(nextWrite_, played, play);
  }
  written_ += played;
  nextWrite_ = (nextWrite_ + played) % bufferSize_;
}

void CSndStream::Play(bool loop) {
  if (!opened_) return;
  Lock guard(*lock());
  // A stream not yet played is filled again for its loop mode: a short file must repeat when looped
  // and be heard once, followed by silence, when not.
  if (fresh_ && loop != looped_) {
    looped_ = loop;
    reader_->StartRead();
    initialFill();
  }
  looped_ = loop;
  buffer_->setCurrentPosition(0);
  buffer_->play(true);
  playing_ = true;
}

void CSndStream::Stop() {
  std::recursive_mutex* m = lock();
  if (!m || !buffer_) return;
  Lock guard(*m);
  donePlaying_ = true;
  if (playing_) {
    playing_ = false;
    buffer_->stop();
  }
}

void CSndStream::Resume() {
  if (!opened_) return;
  Lock guard(*lock());
  long back = reader_->getPosition() - 2L * static_cast<long>(bufferSize_);
  reader_->setPosition(std::max(back, 0L));
  fresh_ = false;
  initialFill();
  buffer_->setCurrentPosition(0);
  buffer_->play(true);
  playing_ = true;
}

void CSndStream::Close() {
  if (!opened_ && !buffer_) return;
  std::recursive_mutex* m = lock();
  if (m) {
    Lock guard(*m);
    donePlaying_ = true;
    playing_ = false;
    if (buffer_) buffer_->stop();
  }
  // Destroying the buffer takes the mixer's lock, so no refill is running when the reader goes.
  buffer_.reset();
  reader_.reset();
  opened_ = false;
}

bool CSndStream::IsPlaying() {
  std::recursive_mutex* m = lock();
  if (!m) return false;
  Lock guard(*m);
  // Accounts for what was mixed since the last refill, so the end is seen as soon as it is heard.
  TimeFunc();
  return playing_ && !donePlaying_;
}

void CSndStream::setVolume(int volume) {
  if (buffer_ && !buffer_->setVolume(volume)) return;
  volume_ = volume;
}

void CSndStream::setPan(int pan) {
  if (buffer_ && !buffer_->setPan(pan)) return;
  pan_ = pan;
}

void CSndStream::setFreq(int freq) {
  if (buffer_ && !buffer_->setFrequency(freq)) return;
  freq_ = freq;
}

int CSndStream::getVolume() const { return buffer_ ? buffer_->getVolume() : volume_; }

uint32_t CSndStream::GetNextWriteOffset() const {
  Lock guard(*lock());
  return nextWrite_;
}

uint32_t CSndStream::GetBytesRemaining() const {
  Lock guard(*lock());
  return bytesRemaining_;
}

bool CSndStream::DonePlaying() const {
  Lock guard(*lock());
  return donePlaying_;
}

bool CSndStream::FoundEnd() const {
  Lock guard(*lock());
  return foundEnd_;
}

uint32_t CSndStream::GetProgress() const {
  Lock guard(*lock());
  return progress_;
}

int CSndStream::takeLoopsStarted() {
  std::recursive_mutex* m = lock();
  if (!m) return 0;
  Lock guard(*m);
  TimeFunc();
  auto heard = std::partition(loopStarts_.begin(), loopStarts_.end(), [this](uint64_t at) { return at <= heard_; });
  int n = static_cast<int>(heard - loopStarts_.begin());
  loopStarts_.erase(loopStarts_.begin(), heard);
  return n;
}

// Music channel.

void CMusicChannel::play(const CXString& fullName, bool loop) {
  if (stream_ && fileName_.equalsIgnoreCase(fullName)) return;
  stop();
  auto stream = std::make_unique<CSndStream>(window_);
  if (!stream->Open(fullName)) return;
  if (volumeSet_) stream->setVolume(volume_);
  if (panSet_) stream->setPan(pan_);
  if (freqSet_) stream->setFreq(freq_);
  stream->Play(loop);
  stream_ = std::move(stream);
  fileName_ = fullName;
}

void CMusicChannel::stop() {
  if (stream_) stream_->Stop();
  stream_.reset();
  fileName_ = CXString();
}

bool CMusicChannel::isPlaying() { return stream_ && stream_->IsPlaying(); }

void CMusicChannel::setVolume(int volume) {
  if (volume < CSoundBuffer::kVolumeMin || volume > CSoundBuffer::kVolumeMax) return;
  volume_ = volume;
  volumeSet_ = true;
  if (stream_) stream_->setVolume(volume);
}

int CMusicChannel::getVolume() const { return stream_ ? stream_->getVolume() : 0; }

void CMusicChannel::setPan(int pan) {
  if (pan < CSoundBuffer::kPanLeft || pan > CSoundBuffer::kPanRight) return;
  pan_ = pan;
  panSet_ = true;
  if (stream_) stream_->setPan(pan);
}

void CMusicChannel::setFreq(int freq) {
  freq_ = freq;
  freqSet_ = true;
  if (stream_) stream_->setFreq(freq);
}
