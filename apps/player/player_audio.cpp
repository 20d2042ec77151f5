// The player's sound output and capture.
#include "player_audio.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/atomic_file.h"
#include "foundation/log.h"
#include "settings/commandline.h"

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
      // Common on machines without a sound card; the game runs the same, only unheard.
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

void PlayerAudio::focus(bool focused) {
  unfocused_ = !focused;
  applyMute();
}

void PlayerAudio::applyMute() { mixer_.setMuted(userMuted_ || (unfocused_ && muteUnfocused_)); }

namespace {

// A WAV file built in memory by libsndfile, then written in one piece.
struct MemorySink {
  std::vector<uint8_t> bytes;
  sf_count_t pos = 0;
};

sf_count_t sinkLength(void* user) { return static_cast<sf_count_t>(static_cast<MemorySink*>(user)->bytes.size()); }

sf_count_t sinkSeek(sf_count_t offset, int whence, void* user) {
  auto* m = static_cast<MemorySink*>(user);
  sf_count_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? static_cast<sf_count_t>(m->bytes.size()) : 0;
  if (base + offset < 0) return -1;
  m->pos = base + offset;
  return m->pos;
}

sf_count_t sinkRead(void* out, sf_count_t count, void* user) {
  auto* m = static_cast<MemorySink*>(user);
  sf_count_t size = static_cast<sf_count_t>(m->bytes.size());
  if (count <= 0 || m->pos >= size) return 0;
  sf_count_t n = std::min(count, size - m->pos);
  std::memcpy(out, m->bytes.data() + m->pos, static_cast<size_t>(n));
  m->pos += n;
  return n;
}

sf_count_t sinkWrite(const void* data, sf_count_t count, void* user) {
  auto* m = static_cast<MemorySink*>(user);
  if (count <= 0) return 0;
  size_t end = static_cast<size_t>(m->pos + count);
  if (end > m->bytes.size()) m->bytes.resize(end);
  std::memcpy(m->bytes.data() + m->pos, data, static_cast<size_t>(count));
  m->pos += count;
  return count;
}

sf_count_t sinkTell(void* user) { return static_cast<MemorySink*>(user)->pos; }

}  // namespace

bool PlayerAudio::writeCapture(const std::string& file, std::string& error) const {
  MemorySink sink;
  SF_VIRTUAL_IO io{sinkLength, sinkSeek, sinkRead, sinkWrite, sinkTell};
  SF_INFO info{};
  info.samplerate = kAudioRate;
  info.channels = kAudioChannels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* sf = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
  if (!sf) {
    error = std::string("cannot make the sound of ") + file + ": " + sf_strerror(nullptr);
    return false;
  }
  sf_count_t frames = static_cast<sf_count_t>(captured_.size() / kAudioChannels);
  sf_count_t written = frames ? sf_writef_short(sf, captured_.data(), frames) : 0;
  sf_close(sf);
  if (written != frames) {
    error = "cannot write all of " + file;
    return false;
  }
  return replaceFileAtomically(file, sink.bytes.data(), sink.bytes.size(), 0644, false, error);
}

}  // namespace tarnvik
