// In-memory sounds: CSound4 decodes a whole file into one mixer buffer; CSoundManager polls the
// playing ones once per frame to notice the end of playback.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/playable.h"
#include "foundation/xstring.h"

class CWindow;
class CSoundBuffer;
class CSoundManager;
class CXArchive;

class CSound4 : public CPlayable {
 public:
  explicit CSound4(CWindow* window);
  // Registers with the sound manager (not owned) and loads at once when asked.
  CSound4(CWindow* window, const CXString& name, bool releaseAfterPlay, bool loadNow);
  ~CSound4() override;
  CSound4(const CSound4&) = delete;
  CSound4& operator=(const CSound4&) = delete;

  void SetFileName(const CXString& name) { fileName_ = name; }
  const CXString& GetFileName() const { return fileName_; }
  // Releases the buffer, stores the name and loads.
  bool Load(const CXString& name);
  // Decodes the file into a new buffer. A file that cannot be read or decoded logs a warning and
  // leaves the sound without a buffer.
  bool load();
  void Flush();
  bool isLoaded() const { return buffer_ != nullptr; }

  void SetPosition(int bytes);
  void seek(int bytes) { SetPosition(bytes); }
  // Plays once from the saved position: started, or resumed after a pause.
  void Play();
  // Plays from the start, looping when asked; notifies started.
  void Play(bool loop);
  void Stop();
  bool IsPlaying() const;
  // The end of playback, noticed by the sound manager.
  void OnWAVFinished();

  void play() override;
  void stop(bool notify) override;
  void pause() override;
  void resume() override;
  bool isPlaying() const override { return IsPlaying(); }
  // Device units; a value the buffer refuses leaves the stored one as it was. Stored values are
  // applied whenever a buffer is made.
  void setVolume(int volume) override;
  void setPanning(int pan) override;
  void setFrequency(int frequency) override;

  void setLoop(bool loop) { loop_ = loop; }
  bool getLoop() const { return loop_; }
  void setReleaseAfterPlay(bool release) { releaseAfterPlay_ = release; }
  uint32_t getSavedPosition() const { return savedPosition_; }
  // Play cursor of the buffer in bytes (0 without a buffer).
  uint32_t getPosition() const;
  // Length of the decoded data in bytes (0 without a buffer).
  uint32_t getByteLength() const;

  // The playing state a save of the running game keeps: play state, loop, paused place, volume,
  // pan and frequency, and the voice (playing, looping, the cursor with its fraction).
  bool serializePlayState(CXArchive* archive);

  // The manager every sound built from a file name registers with (null: none).
  static CSoundManager* getManager();
  static void setManager(CSoundManager* manager);

 private:
  void applyStoredSettings();

  CWindow* window_;
  CXString fileName_;
  std::unique_ptr<CSoundBuffer> buffer_;
  bool loop_ = false;
  bool releaseAfterPlay_ = false;
  bool notifyOnFinish_ = true;
  bool registered_ = false;
  uint32_t savedPosition_ = 0;
  bool volumeSet_ = false, panSet_ = false, freqSet_ = false;
};

class CSoundManager {
 public:
  ~CSoundManager();
  void add(CSound4* sound, bool owned);
  // Marks the sound playing, so its end is noticed.
  void play(CSound4* sound);
  bool isMarkedPlaying(const CSound4* sound) const;
  void remove(CSound4* sound);
  // Once per frame: every sound marked playing, not paused, whose buffer stopped, has finished.
  void domodal();
  void pause();
  void resume();
  // Deletes the owned sounds and forgets all.
  void Flush();
  size_t size() const;

 private:
  struct Entry {
    CSound4* sound = nullptr;
    bool playing = false, owned = false, removed = false;
  };
  std::vector<Entry> entries_;
  int polling_ = 0;
};
