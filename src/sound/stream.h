// Streamed sounds: CSndStream plays a file through a 1.2-second circular buffer that is refilled as
// it plays; CStreamedWAV reads the file's samples; CMusicChannel is the one music stream.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/xobject.h"
#include "foundation/xstring.h"
#include "sound/mixer.h"

class CWindow;
class CXArchive;

// Reads a sound file's samples in order. The file is decoded once when opened (any format the
// in-memory path reads), so reads never touch the disk on the mixing thread.
class CStreamedWAV : public CXObject {
 public:
  static constexpr int kErrorNotFound = 2000;
  static constexpr int kErrorBadFile = 2002;

  bool Open(CWindow* window, const CXString& name);
  // Samples from memory (tests and tools).
  void Open(const PcmFormat& format, std::vector<uint8_t> pcm);
  void Close();
  void StartRead() { pos_ = 0; }
  void setPosition(long bytes);
  long getPosition() const { return static_cast<long>(pos_); }
  // Copies up to size bytes; the count copied (0 at the end).
  int Read(int size, uint8_t* dst);
  const PcmFormat& format() const { return format_; }
  size_t length() const { return pcm_.size(); }

 private:
  PcmFormat format_;
  std::vector<uint8_t> pcm_;
  size_t pos_ = 0;
};

class CSndStream : public CXObject {
 public:
  explicit CSndStream(CWindow* window);
  CSndStream(CWindow* window, const CXString& name);
  ~CSndStream() override;
  CSndStream(const CSndStream&) = delete;
  CSndStream& operator=(const CSndStream&) = delete;

  bool Open(const CXString& name);
  // Opens over a reader already filled (tests).
  bool Open(std::unique_ptr<CStreamedWAV> reader);
  void Play(bool loop);
  void Stop();
  void Resume();
  void Close();
  // Playing and the queued audio not yet all heard.
  bool IsPlaying();
  bool isOpened() const { return opened_; }

  void setVolume(int volume);
  void setPan(int pan);
  void setFreq(int freq);
  int getVolume() const;

  uint32_t GetNextWriteOffset() const;
  uint32_t GetBytesRemaining() const;
  uint32_t GetBufferSize() const { return bufferSize_; }
  int GetBitsPerSample() const { return format_.bitsPerSample; }
  bool DonePlaying() const;
  bool IsLooped() const { return looped_; }
  bool FoundEnd() const;
  uint32_t GetProgress() const;
  const PcmFormat& format() const { return format_; }
  CSoundBuffer* buffer() const { return buffer_.get(); }

  // Loop restarts heard since the last call (the refill notes where they fall; the main thread
  // raises the events once the mix has reached them).
  int takeLoopsStarted();
  // The stream for saves of the running game: where it reads, the refill's bookkeeping and the
  // circular buffer's voice with its samples. Reading takes effect once everything has read.
  bool serializeState(CXArchive* archive);
  // The refill: writes fresh data over what was played since the last one. The mixer runs it
  // before each mix of the buffer; tests may call it directly.
  void TimeFunc();

 private:
  void initialFill();
  // Reads into [offset, offset + n) of the circular buffer, looping or ending as the stream says.
  void fillSpan(uint32_t offset, uint32_t n, uint32_t playCursor);
  std::recursive_mutex* lock() const;

  CWindow* window_;
  std::unique_ptr<CStreamedWAV> reader_;
  std::unique_ptr<CSoundBuffer> buffer_;
  PcmFormat format_;
  std::vector<uint8_t> scratch_;
  bool opened_ = false, playing_ = false, fresh_ = false;
  bool foundEnd_ = false, donePlaying_ = false, looped_ = false;
  uint32_t progress_ = 0, bufferSize_ = 0, bytesRemaining_ = 0, nextWrite_ = 0;
  // Bytes written into and heard from the buffer since the first fill; loop starts by written offset.
  uint64_t written_ = 0, heard_ = 0;
  std::vector<uint64_t> loopStarts_;
  int volume_ = 0, pan_ = 0, freq_ = 0;
};

class CMusicChannel : public CXObject {
 public:
  explicit CMusicChannel(CWindow* window) : window_(window) {}
  // Starts a file (a full path); the file already playing (same name, any case) goes on.
  void play(const CXString& fullName, bool loop);
  void stop();
  bool isPlaying();
  const CXString& getFileName() const { return fileName_; }
  void setVolume(int volume);
  int getVolume() const;
  void setPan(int pan);
  void setFreq(int freq);
  CSndStream* stream() const { return stream_.get(); }
  // The channel for saves of the running game: the file and its settings, then the stream's state;
  // reading starts the file when another (or none) plays.
  bool serializeState(CXArchive* archive);

 private:
  CWindow* window_;
  std::unique_ptr<CSndStream> stream_;
  CXString fileName_;
  int volume_ = 0, pan_ = 0, freq_ = 0;
  bool volumeSet_ = false, panSet_ = false, freqSet_ = false;
};
