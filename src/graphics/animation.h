// CAnimo: an animation of frames and named events, read from and written to ANN files, played by
// the animation manager. CAnimo6 is the form the ANIMO script type uses.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/playable.h"
#include "graphics/frame_cache.h"
#include "graphics/pixels/graphics_object.h"

class CFile;
class CXArchive;
class CFileContext;
class CWindow;
class CAnimo;

// One entry of an event: the frame it shows, its optional name, text and sound, its own offset,
// and three values the format carries without a settled meaning (kept and written back).
struct CAnimoEntry {
  int frame = 0;
  bool hasName = false, hasText = false, hasSound = false;
  CXString name, text, sound;
  int16_t x = 0, y = 0;
  int32_t value1 = -1;
  int32_t value2 = 0;
  uint8_t value3 = 255;
  std::array<uint8_t, 5> reserved{};
};

struct CAnimoEvent {
  enum Flags : uint32_t { kBackAndForth = 0x20000, kNoInterrupt = 0x40000, kWaitForSound = 0x100000 };
  CXString name;
  std::vector<CAnimoEntry> entries;
  int loopStart = 0;
  int loopEnd = 0;    // entry index; 0 = no loop
  int loopCount = 0;  // 0 = endless
  int loopCounter = 0;
  int fps = 15;
  uint32_t flags = 0;
  uint8_t opacity = 255;
  std::array<uint8_t, 12> reserved{};
};

// A frame: its own pixels and alpha; its position is its offset from the animation's position.
// A frame read from a file keeps its packed blocks and is unpacked when first due; it may return to
// them (pack) to stay under the budget of unpacked frames, unless it is shown or was handed out.
class CAnimoFrame : public CGraphicsObject {
 public:
  using CGraphicsObject::CGraphicsObject;
  ~CAnimoFrame() override;
  // The compression type it was stored with, and the first three extra header values.
  int compression = 0;
  std::array<uint32_t, 3> extra{};
  // Extra header values past the alpha size (kept from the file, written back).
  std::vector<uint32_t> more;

  // The frame takes its size from the blocks and has no pixels until it is unpacked; `number` names
  // it in the warning when its blocks do not unpack.
  void setPacked(tarnvik::PackedFrame packed, int depth, int number);
  const tarnvik::PackedFrame& packedBlocks() const { return packed_; }
  // Whether it can return to its packed blocks.
  bool isPacked() const { return static_cast<bool>(packed_); }
  bool isUnpacked() const { return pixels() != nullptr; }
  // The pixels, unpacked first when they are not there (waiting for a worker that is at it). Blocks
  // that do not unpack leave the frame empty, with one warning.
  void* GetDataPtr() override;
  bool DeCompress() override { return unpack(); }
  bool unpack() override;
  // Back to the packed blocks, freeing the pixels; false when the frame has none to return to or must stay.
  bool pack() override;
  bool bringBackCompressed() override { return pack(); }
  // Starts unpacking on a worker thread when the frame will soon be due.
  void unpackAhead();
  // Unpacked for good: its pixels may be edited or held by others (they never return to the blocks).
  void keep();
  // An animation shows it (its pixels are borrowed): it stays unpacked.
  void setShown(bool shown) { shown_ = shown; }
  bool isShown() const { return shown_; }
  // Flips apply to the pixels when they are there and again whenever they are unpacked.
  void FlipH() override;
  void FlipV() override;
  // The same blocks and flips as the other frame, unpacked when due.
  void sharePacked(const CAnimoFrame& other);
  // Kept while the frame returns to its blocks and is unpacked again (the blocks do not change).
  CXRect opaqueRect() override;

 private:
  bool install(tarnvik::UnpackedFrame unpacked);

  tarnvik::PackedFrame packed_;
  std::shared_ptr<tarnvik::FrameJob> job_;
  int depth_ = 16, number_ = 0;
  bool shown_ = false, flippedH_ = false, flippedV_ = false;
  bool packedOpaqueKnown_ = false;
  CXRect packedOpaque_;
};

class CAnimo : public CGraphicsObject, public CPlayable {
 public:
  // File layouts.
  enum Layout { kNVP = 0, kNVPlus = 1, kPIK = 2 };
  // Animation flags (bits under 0xFFFF00).
  enum Flags : uint32_t {
    kNoInterrupt = 0x40000,
    kOtherLayout = 0x200000,  // read from a file with an unknown tag
    kNoSounds = 0x400000,     // do not load the entries' sounds
    kContinue = 0x800000,     // at an event's end go on with the next event
  };
  enum Direction { kForward = 0, kBackward = 1 };

  static constexpr const char* kDefaultAuthor = "Tarnvik";

  // Told when an entry with a sound is shown (the sound layer fills this in); the entry keeps the
  // sound's file name.
  using SoundHook = void (*)(CAnimo* animo, const CAnimoEntry& entry);
  static void setSoundHook(SoundHook hook);
  // Asked whether the sound of an entry still plays (for events that wait for their sound).
  using SoundQuery = bool (*)(CAnimo* animo, const CAnimoEntry& entry);
  static void setSoundQuery(SoundQuery query);

  CAnimo();
  ~CAnimo() override;

  // --- files ---
  // Loads by name through the file rules; logs "CAnimo ->" lines. On failure the animation has no
  // frames and false is returned.
  bool Load(CFileContext* context, const CXString& name);
  bool Load(CFile* file);
  // Reads any supported layout from memory (copied: the frames keep their packed blocks). A file that
  // cannot be read whole leaves no frames.
  bool LoadFromMemory(const uint8_t* data, size_t size);
  // Reads from bytes the frames share (a mapped file).
  bool LoadFromBytes(std::shared_ptr<const tarnvik::FileBytes> bytes);
  // Every frame unpacked as the file is read and its blocks dropped (the way before frames were
  // unpacked when due; for comparisons).
  static void setUnpackAtLoad(bool on);
  // Writes the animation ("NVP" unless another layout is asked for); the compression applies to
  // every frame (0 or 4). False when nothing could be written.
  bool Save(const CXString& name, int compression);
  bool Save(CFile* file, int compression);
  bool SaveToMemory(int compression, std::vector<uint8_t>& out, Layout layout = kNVP) const;
  Layout getLayout() const { return layout_; }

  CXString Author, Description;

  // --- frames ---
  int GetNOF() const { return static_cast<int>(frames_.size()); }
  // The frame unpacked for good, for reading or editing its pixels (null when absent).
  CAnimoFrame* GetFrame(int n) const;
  // Takes ownership; returns the frame's number.
  int AddFrame(std::unique_ptr<CAnimoFrame> frame);
  // Entries showing the frame are dropped; later frame numbers move down.
  void RemoveFrame(int n);
  void RemoveAllFrames();
  // The frame of the first entry with this name (any event), or null / -1.
  CAnimoFrame* getFrame(const CXString& name) const;
  int getFrameNo(const CXString& name) const;
  CXPoint GetFramePosition(int n) const;
  int GetMaxWidth() const;
  int GetMaxHeight() const;

  // --- events ---
  int GetNOE() const { return static_cast<int>(events_.size()); }
  CAnimoEvent* GetEventInfo(int n);
  const CAnimoEvent* GetEventInfo(int n) const;
  // Entries naming frames that do not exist are dropped. Returns the event's number.
  int AddEvent(const CAnimoEvent& event);
  void RemoveEvent(int n);
  void RemoveAllEvents() { events_.clear(); currentEvent_ = -1; }
  // Compared ignoring case; -1 when absent.
  int GetEventNo(const CXString& name) const;
  CXString GetEventName(int n) const;
  int GetNOFInEvent(int n) const;
  int GetNOFInEvent(const CXString& name) const { return GetNOFInEvent(GetEventNo(name)); }
  // The loop count; start and end through the references.
  int GetLoop(int event, int& start, int& end) const;
  const CAnimoEntry* GetFrameInfo(int event, int entry) const;
  CAnimoEntry* GetFrameInfo(int event, int entry);

  // --- playback ---
  int GetCurrentEvent() const { return currentEvent_; }
  int GetCurrentFrameInSequence() const { return currentEntry_; }
  CXString getCurrentEventName() const { return GetEventName(currentEvent_); }
  // The shown frame (-1 when none).
  int Current() const { return currentFrame_; }
  // Plays the event from the entry; false when it does not exist, has no entries, or the running
  // event may not be interrupted.
  bool Play(int event, int entry = 0);
  bool Play(const CXString& event, int entry = 0);
  // Plays "<name>_reverse", making it from the named event's entries in reverse order when absent.
  bool playReverse(const CXString& event, int entry = 0);
  // Plays the event from a random entry between the two (inclusive, cut to the event).
  bool playRandom(const CXString& event, int first, int last);
  void Stop() { stopPlaying(true); }
  void StopNoNotify() { stopPlaying(false); }
  void Pause();
  void Resume();
  // Advances one entry as the animation manager does.
  void Next();
  // One entry back within the current event (no notification of an end).
  void Prev();
  // Shows an entry of the current event, or a frame; true when the shown frame changed.
  bool Seek(int entry);
  bool SetFrame(int frame);
  // Shows an entry of an event: plays its sound and makes its frame current.
  bool SetEventFrame(int event, int entry);
  int GetStatus() const { return state_; }
  bool IsPlaying() const { return state_ == kPlaying; }

  // Frame rate: set explicitly (below 1 becomes 1) or, when never set, the current event's rate.
  void SetFPS(int fps);
  void clearFPS() { fpsOverride_ = 0; }
  int GetFPS() const;
  bool hasOwnFPS() const { return fpsOverride_ > 0; }
  void SetAnimoFlags(uint32_t flags) { animoFlags_ = flags; }
  uint32_t GetAnimoFlags() const { return animoFlags_; }
  // Whether the entries' sounds are there to play: the flag kNoSounds leaves them unloaded.
  bool hasEntrySounds() const { return !(animoFlags_ & kNoSounds); }
  int RandomFramesNumber = 0;
  void SetDirection(int direction) { direction_ = direction == kBackward ? kBackward : kForward; }
  int GetDirection() const { return direction_; }

  // The place of the animation (through its anchor); frames are drawn at it plus their offsets.
  void SetPosition(int x, int y) override;
  void Move(int dx, int dy);
  CXPoint GetGlobalPosition() const { return place_; }
  // Top-left of the shown frame on the screen.
  CXPoint getCurrFramePosition() const { return GetPosition(); }

  // Flip every frame (and the shown picture); resetFlips undoes them.
  void FlipH() override;
  void FlipV() override;

  bool isVisible() const override { return CGraphicsObject::isVisible(); }
  void setVisibility(bool visible) override { Visible(visible); }

  // --- CPlayable ---
  void play(const CXString& name) override { Play(name); }
  void play() override { Play(currentEvent_ < 0 ? 0 : currentEvent_); }
  void stop(bool notifyObservers) override { stopPlaying(notifyObservers); }
  void pause() override { Pause(); }
  void resume() override { Resume(); }
  bool isPlaying() const override { return state_ == kPlaying; }
  void next() override { Next(); }
  void previous() override { Prev(); }
  // The next entry's frame starts unpacking on a worker.
  void prepareNext() override { unpackAhead(); }
  int getFPS() const override { return GetFPS(); }

  bool redraw(CGraphicsObject* destination) override;
  // The shown frame's, which keeps it for as long as its pixels last.
  CXRect opaqueRect() override;
  std::shared_ptr<const std::vector<RowSpan>> shownRows() override;

  // Makes the animation's own picture the shown frame's again: pixels, alpha and place (after the
  // frame's pixels were edited).
  void placeFrame();
  // Becomes a copy of the other animation: frames (own pixels), events, flags and place.
  void copyFrom(const CAnimo& other);

  // The playing state a save of the running game keeps: play state, event, entry, frame, loop
  // counters, rate, flags, direction, place, flips and the step timing of `manager` (which it is
  // put back into when it was playing). Reading takes effect once everything has read.
  bool serializePlayState(CXArchive* archive, CAnimationManager* manager);

  // The last warning of loading (empty when it went well).
  const CXString& lastProblem() const { return problem_; }

 protected:
  // Shows the frame at its offset plus the entry's: invalidates the old and the new area when
  // visible; true when something changed.
  bool showFrame(int frame, CXPoint entryOffset);
  CXPoint frameOffset() const;
  void stopPlaying(bool notifyObservers);

 private:
  void restartTiming();
  // The frame as it is (perhaps still packed).
  CAnimoFrame* frameAt(int n) const;
  // The shown frame when the animation's picture is still exactly its (unpacked, alpha not written
  // into since); else null.
  CAnimoFrame* frameShownAsIs() const;
  // Offers the next frames of the playing event to the worker threads.
  void unpackAhead();
  bool entrySoundPlays(const CAnimoEvent& event);
  // The current event has run out: go on with the next one (kContinue) or stop.
  void eventEnded();
  void flipFrames(bool horizontal);
  bool readNVP(const std::shared_ptr<const tarnvik::FileBytes>& file, bool plus);
  bool readOldest(const std::shared_ptr<const tarnvik::FileBytes>& file, int compression);
  void resetContent();

  std::vector<std::unique_ptr<CAnimoFrame>> frames_;
  CAnimoFrame* shownFrame_ = nullptr;  // the frame whose pixels the animation borrows
  uint32_t frameAlpha_ = 0;           // the own alpha's generation when it was copied from the shown frame
  std::vector<CAnimoEvent> events_;
  Layout layout_ = kNVP;
  int currentEvent_ = -1, currentEntry_ = 0, currentFrame_ = -1;
  int fpsOverride_ = 0;
  uint32_t animoFlags_ = 0;
  int direction_ = kForward;
  CXPoint place_;  // the requested place minus the anchor
  CXPoint entryOffset_;  // the shown entry's own offset
  CXString problem_;
  std::array<uint8_t, 12> headerText_{};
  int headerFps_ = 15;
};

// The animation as the ANIMO script type shows it.
class CAnimo6 : public CAnimo {
 public:
  using CAnimo::CAnimo;
  bool getLoadAtStart() const { return loadAtStart_; }
  void setLoadAtStart(bool on) { loadAtStart_ = on; }

 private:
  bool loadAtStart_ = true;
};
