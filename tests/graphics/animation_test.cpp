// Animations: the ANN layouts read and written, bad files, and the playback state machine with its
// notifications, timing through the animation manager, reverse, loops, random entries and sounds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "foundation/log.h"
#include "foundation/xrandom.h"
#include "graphics/animation.h"
#include "graphics/window.h"
#include "platform/clock.h"
#include "platform/video.h"

namespace {

// A frame of w × h whose pixels and alpha follow the frame's number.
std::unique_ptr<CAnimoFrame> frame(int n, int w, int h, bool alpha, int x = 0, int y = 0) {
  auto f = std::make_unique<CAnimoFrame>();
  EXPECT_TRUE(f->create(w, h, 16, alpha));
  for (int py = 0; py < h; ++py)
    for (int px = 0; px < w; ++px) {
      // Runs along each row so run-length packing has something to find.
      f->pixels16()[py * w + px] = static_cast<uint16_t>(n * 1000 + (px / 5) + py * 7);
      if (alpha) f->GetAlphaPtr()[py * w + px] = static_cast<uint8_t>(px < 2 ? 0 : 40 * n + py);
    }
  f->SetPosition(x, y);
  return f;
}

CAnimoEntry entry(int frame) {
  CAnimoEntry e;
  e.frame = frame;
  return e;
}

CAnimoEvent event(const char* name, std::vector<int> frames, int fps = 15) {
  CAnimoEvent e;
  e.name = name;
  e.fps = fps;
  for (int f : frames) e.entries.push_back(entry(f));
  return e;
}

// An animation of `count` frames (alternately with alpha) and a few events with every field used.
void build(CAnimo& a, int count = 5) {
  for (int i = 0; i < count; ++i) a.AddFrame(frame(i, 6 + i, 4, i % 2 == 0, i - 2, 3 * i));
  a.Author = "someone";
  a.Description = "a test animation";
  a.SetAnimoFlags(CAnimo::kNoSounds);
  a.SetFlags(0x12);
  a.SetOpacity(200);
  a.RandomFramesNumber = 3;
  CAnimoEvent walk = event("walk", {0, 1, 2, 3}, 12);
  walk.loopStart = 1;
  walk.loopEnd = 3;
  walk.loopCount = 2;
  walk.flags = 0x1234;
  walk.opacity = 99;
  walk.reserved[5] = 7;
  walk.entries[1].hasName = true;
  walk.entries[1].name = "step";
  walk.entries[2].hasText = true;
  walk.entries[2].text = "said";
  walk.entries[3].hasSound = true;
  walk.entries[3].sound = "sfx/step.wav";
  walk.entries[3].x = -4;
  walk.entries[3].y = 9;
  walk.entries[0].value1 = 17;
  walk.entries[0].value2 = -3;
  walk.entries[0].value3 = 5;
  walk.entries[0].reserved[4] = 1;
  a.AddEvent(walk);
  a.AddEvent(event("idle", {count - 1}));
  a.AddEvent(event("empty", {}));
}

void expectSameFrames(const CAnimo& a, const CAnimo& b) {
  ASSERT_EQ(a.GetNOF(), b.GetNOF());
  for (int i = 0; i < a.GetNOF(); ++i) {
    const CAnimoFrame& x = *a.GetFrame(i);
    const CAnimoFrame& y = *b.GetFrame(i);
    ASSERT_EQ(x.Width(), y.Width()) << i;
    ASSERT_EQ(x.Height(), y.Height()) << i;
    EXPECT_EQ(x.GetPosition(), y.GetPosition()) << i;
    EXPECT_EQ(x.hasAlpha(), y.hasAlpha()) << i;
    EXPECT_EQ(0, std::memcmp(x.pixels(), y.pixels(), static_cast<size_t>(x.Width()) * x.Height() * 2)) << i;
    if (x.hasAlpha() && y.hasAlpha()) {
      EXPECT_EQ(0, std::memcmp(x.GetAlphaPtr(), y.GetAlphaPtr(), static_cast<size_t>(x.Width()) * x.Height())) << i;
    }
  }
}

void expectSameEvents(const CAnimo& a, const CAnimo& b) {
  ASSERT_EQ(a.GetNOE(), b.GetNOE());
  for (int i = 0; i < a.GetNOE(); ++i) {
    const CAnimoEvent& x = *a.GetEventInfo(i);
    const CAnimoEvent& y = *b.GetEventInfo(i);
    EXPECT_EQ(x.name.str(), y.name.str());
    EXPECT_EQ(x.loopStart, y.loopStart);
    EXPECT_EQ(x.loopEnd, y.loopEnd);
    EXPECT_EQ(x.loopCount, y.loopCount);
    EXPECT_EQ(x.fps, y.fps);
    EXPECT_EQ(x.flags, y.flags);
    EXPECT_EQ(x.opacity, y.opacity);
    EXPECT_EQ(x.reserved, y.reserved);
    ASSERT_EQ(x.entries.size(), y.entries.size());
    for (size_t k = 0; k < x.entries.size(); ++k) {
      const CAnimoEntry& p = x.entries[k];
      const CAnimoEntry& q = y.entries[k];
      EXPECT_EQ(p.frame, q.frame);
      EXPECT_EQ(p.hasName, q.hasName);
      EXPECT_EQ(p.name.str(), q.name.str());
      EXPECT_EQ(p.hasText, q.hasText);
      EXPECT_EQ(p.text.str(), q.text.str());
      EXPECT_EQ(p.hasSound, q.hasSound);
      EXPECT_EQ(p.sound.str(), q.sound.str());
      EXPECT_EQ(p.x, q.x);
      EXPECT_EQ(p.y, q.y);
      EXPECT_EQ(p.value1, q.value1);
      EXPECT_EQ(p.value2, q.value2);
      EXPECT_EQ(p.value3, q.value3);
      EXPECT_EQ(p.reserved, q.reserved);
    }
  }
}

TEST(AnimationFileTest, NvpAndNvPlusRoundTripFramesEventsAndHeaderFields) {
  CAnimo original;
  build(original);
  for (CAnimo::Layout layout : {CAnimo::kNVP, CAnimo::kNVPlus})
    for (int compression : {0, 4}) {
      SCOPED_TRACE(std::to_string(layout) + "/" + std::to_string(compression));
      std::vector<uint8_t> bytes;
      ASSERT_TRUE(original.SaveToMemory(compression, bytes, layout));
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 3), layout == CAnimo::kNVP ? "NVP" : "NV+");
      CAnimo read;
      ASSERT_TRUE(read.LoadFromMemory(bytes.data(), bytes.size())) << read.lastProblem().view();
      EXPECT_EQ(read.getLayout(), layout);
      expectSameFrames(original, read);
      // The event without entries is kept; entries and their strings come back.
      expectSameEvents(original, read);
      EXPECT_EQ(read.Author.str(), "someone");
      EXPECT_EQ(read.Description.str(), "a test animation");
      EXPECT_EQ(read.GetAnimoFlags(), CAnimo::kNoSounds);
      EXPECT_EQ(read.GetFlags(), 0x12);
      EXPECT_EQ(read.GetOpacity(), 200);
      EXPECT_EQ(read.RandomFramesNumber, 3);
      // What was read writes the same bytes again.
      std::vector<uint8_t> again;
      ASSERT_TRUE(read.SaveToMemory(compression, again, layout));
      EXPECT_EQ(again, bytes);
    }
}

TEST(AnimationFileTest, RunLengthFramesAreSmallerAndFrameHeadersKeepTheirExtraValues) {
  CAnimo original;
  build(original);
  original.GetFrame(1)->extra = {5, 6, 7};
  original.GetFrame(2)->more = {42};
  std::vector<uint8_t> plain, packed;
  ASSERT_TRUE(original.SaveToMemory(0, plain));
  ASSERT_TRUE(original.SaveToMemory(4, packed));
  EXPECT_LT(packed.size(), plain.size());
  CAnimo read;
  ASSERT_TRUE(read.LoadFromMemory(packed.data(), packed.size()));
  EXPECT_EQ(read.GetFrame(1)->extra, (std::array<uint32_t, 3>{5, 6, 7}));
  EXPECT_EQ(read.GetFrame(2)->more, std::vector<uint32_t>{42});
  // LZO and LZO over run-length read back the same frames; JPEG (lossy) is written unpacked.
  for (int compression : {2, 3}) {
    std::vector<uint8_t> lzo;
    ASSERT_TRUE(original.SaveToMemory(compression, lzo));
    CAnimo back;
    ASSERT_TRUE(back.LoadFromMemory(lzo.data(), lzo.size())) << compression;
    expectSameFrames(original, back);
  }
  std::vector<uint8_t> asked;
  ASSERT_TRUE(original.SaveToMemory(5, asked));
  EXPECT_EQ(asked, plain);
}

TEST(AnimationFileTest, OldestLayoutGetsThreeStandardEventsTheThirdReversed) {
  CAnimo original;
  build(original, 4);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(original.SaveToMemory(4, bytes, CAnimo::kPIK));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 3), "PIK");
  CAnimo read;
  ASSERT_TRUE(read.LoadFromMemory(bytes.data(), bytes.size())) << read.lastProblem().view();
  EXPECT_EQ(read.getLayout(), CAnimo::kPIK);
  expectSameFrames(original, read);
  ASSERT_EQ(read.GetNOE(), 3);
  for (int e = 0; e < 3; ++e) {
    const CAnimoEvent& ev = *read.GetEventInfo(e);
    EXPECT_EQ(ev.name.str(), "standard");
    EXPECT_EQ(ev.fps, 15);
    EXPECT_EQ(ev.opacity, 255);
    ASSERT_EQ(ev.entries.size(), 4u);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(ev.entries[static_cast<size_t>(k)].frame, e == 2 ? 3 - k : k);
  }
  // A chunk of the oldest layout that is not read here refuses the file instead of misreading it.
  std::vector<uint8_t> chunked(bytes.begin(), bytes.begin() + 12);
  chunked.insert(chunked.end(), {'E', 'X', 'T'});
  chunked.insert(chunked.end(), bytes.begin() + 12, bytes.end());
  EXPECT_FALSE(read.LoadFromMemory(chunked.data(), chunked.size()));
  EXPECT_EQ(read.GetNOF(), 0);
}

TEST(AnimationFileTest, AnUnknownTagReadsAsNvpAndIsMarked) {
  CAnimo original;
  build(original);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(original.SaveToMemory(0, bytes));
  std::memcpy(bytes.data(), "XYZ", 3);
  CAnimo read;
  ASSERT_TRUE(read.LoadFromMemory(bytes.data(), bytes.size()));
  EXPECT_EQ(read.GetAnimoFlags(), CAnimo::kNoSounds | CAnimo::kOtherLayout);
  expectSameFrames(original, read);
  std::memcpy(bytes.data(), "PAK", 3);
  EXPECT_FALSE(read.LoadFromMemory(bytes.data(), bytes.size()));
}

TEST(AnimationFileTest, TruncatedAndCorruptFilesGiveAnEmptyAnimation) {
  CAnimo original;
  build(original);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(original.SaveToMemory(4, bytes));
  CAnimo read;
  // Every cut reads nothing half: either all of it (never, it is shorter) or no frames at all.
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    EXPECT_FALSE(read.LoadFromMemory(bytes.data(), cut)) << cut;
    EXPECT_EQ(read.GetNOF(), 0);
    EXPECT_EQ(read.GetNOE(), 0);
  }
  // Counts that cannot fit in what remains are refused before anything is allocated.
  std::vector<uint8_t> huge = bytes;
  huge[4] = huge[5] = 0xFF;  // 65535 frames
  EXPECT_FALSE(read.LoadFromMemory(huge.data(), huge.size()));
  huge = bytes;
  huge[8] = huge[9] = 0xFF;  // 65535 events
  EXPECT_FALSE(read.LoadFromMemory(huge.data(), huge.size()));
  // An author length past the end.
  huge = bytes;
  huge[44] = huge[45] = huge[46] = 0xFF;
  huge[47] = 0x7F;
  EXPECT_FALSE(read.LoadFromMemory(huge.data(), huge.size()));
}

TEST(AnimationFileTest, EntriesNamingMissingFramesAreSkippedAndBrokenFramesLeftEmpty) {
  CAnimo original;
  build(original);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(original.SaveToMemory(4, bytes));
  // The first event's frame list follows its 67-byte record after the header and the two texts.
  size_t list = 44 + 4 + original.Author.str().size() + 4 + original.Description.str().size() + 67;
  bytes[list + 2] = 0x40;  // entry 1 now names frame 64
  CAnimo read;
  ASSERT_TRUE(read.LoadFromMemory(bytes.data(), bytes.size()));
  ASSERT_EQ(read.GetNOFInEvent(0), 3);
  EXPECT_EQ(read.GetFrameInfo(0, 1)->frame, 2);
  EXPECT_TRUE(read.Play("walk"));

  // Run-length data that end early leave that frame empty; the others are fine.
  std::vector<uint8_t> packed;
  ASSERT_TRUE(original.SaveToMemory(4, packed));
  CAnimo once;
  ASSERT_TRUE(once.LoadFromMemory(packed.data(), packed.size()));
  std::vector<uint8_t> broken = packed;
  // The last frame's alpha block is the file's end: its control bytes asking for long literal runs.
  for (size_t i = broken.size() - 4; i < broken.size(); ++i) broken[i] = 127;
  ASSERT_TRUE(read.LoadFromMemory(broken.data(), broken.size()));
  EXPECT_EQ(read.GetNOF(), 5);
  EXPECT_EQ(read.GetFrame(4)->Width(), 0);
  EXPECT_EQ(read.GetFrame(3)->Width(), once.GetFrame(3)->Width());
}

// --- playback ---

struct Recorder : CPlayableObserver {
  std::string log;
  CAnimo* animo = nullptr;
  bool onPlayableStarted(CPlayable*) override {
    log += "S" + std::string(animo->getCurrentEventName().view()) + " ";
    return true;
  }
  bool onPlayableTick(CPlayable*) override {
    log += std::to_string(animo->GetCurrentFrameInSequence()) + " ";
    return true;
  }
  bool onPlayableFinished(CPlayable*) override {
    log += "F ";
    return true;
  }
};

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tarnvik::setEngineClock(&clock_);
    window_ = std::make_unique<CWindow>(nullptr, nullptr, &video_);
    for (int i = 0; i < 6; ++i) animo_.AddFrame(frame(i, 4, 4, true, i, 0));
    recorder_.animo = &animo_;
    animo_.addNotifier(&recorder_);
  }
  void TearDown() override {
    animo_.removeNotifier(&recorder_);
    tarnvik::setEngineClock(nullptr);
  }
  // Steps `n` times as the manager would.
  void steps(int n) {
    for (int i = 0; i < n; ++i) animo_.Next();
  }
  tarnvik::VirtualClock clock_;
  tarnvik::HeadlessVideo video_;
  std::unique_ptr<CWindow> window_;
  CAnimo animo_;
  Recorder recorder_;
};

TEST_F(PlaybackTest, LoopWithCountShowsTheLoopedEntriesThenFinishes) {
  CAnimoEvent e = event("walk", {0, 1, 2, 3, 4});
  e.loopStart = 1;
  e.loopEnd = 3;
  e.loopCount = 2;
  animo_.AddEvent(e);
  ASSERT_TRUE(animo_.Play("WALK"));
  steps(7);
  EXPECT_EQ(recorder_.log, "Swalk 1 2 3 1 2 3 F ");
  EXPECT_FALSE(animo_.IsPlaying());
  EXPECT_EQ(animo_.GetCurrentFrameInSequence(), 3);
  // Played again, the counter starts over.
  recorder_.log.clear();
  animo_.Play("walk");
  steps(7);
  EXPECT_EQ(recorder_.log, "Swalk 1 2 3 1 2 3 F ");
}

TEST_F(PlaybackTest, EndlessLoopBackAndForthAndTheEndOfAnEvent) {
  CAnimoEvent endless = event("endless", {0, 1, 2, 3});
  endless.loopStart = 1;
  endless.loopEnd = 3;
  animo_.AddEvent(endless);
  CAnimoEvent swing = event("swing", {0, 1, 2, 3});
  swing.loopEnd = 3;
  swing.flags = CAnimoEvent::kBackAndForth;
  animo_.AddEvent(swing);
  animo_.AddEvent(event("once", {5, 4}));
  // A loop end past the last entry loops at the last entry instead of showing it for ever.
  CAnimoEvent past = event("past", {0, 1});
  past.loopEnd = 9;
  past.loopCount = 1;
  animo_.AddEvent(past);

  animo_.Play("endless");
  steps(9);
  EXPECT_EQ(recorder_.log, "Sendless 1 2 3 1 2 3 1 2 3 ");
  EXPECT_TRUE(animo_.IsPlaying());

  recorder_.log.clear();
  animo_.Play("swing");
  steps(8);
  EXPECT_EQ(recorder_.log, "Sswing 1 2 3 2 1 0 1 2 ");

  recorder_.log.clear();
  animo_.SetDirection(CAnimo::kForward);
  animo_.Play("once");
  steps(3);
  EXPECT_EQ(recorder_.log, "Sonce 1 F ");
  EXPECT_EQ(animo_.Current(), 4) << "the last entry stays shown";

  recorder_.log.clear();
  animo_.Play("past");
  steps(3);
  EXPECT_EQ(recorder_.log, "Spast 1 F ");
}

TEST_F(PlaybackTest, ReverseEventsAreMadeFromTheNamedEventOnce) {
  CAnimoEvent e = event("walk", {0, 1, 2, 3});
  e.loopStart = 1;
  e.loopEnd = 2;
  e.loopCount = 1;
  animo_.AddEvent(e);
  ASSERT_TRUE(animo_.playReverse("walk"));
  EXPECT_EQ(animo_.getCurrentEventName().str(), "walk_reverse");
  EXPECT_EQ(animo_.Current(), 3);
  steps(3);
  EXPECT_EQ(recorder_.log, "Swalk_reverse 1 2 F ");
  ASSERT_TRUE(animo_.playReverse("walk"));
  EXPECT_EQ(animo_.GetNOE(), 2) << "made once";
  EXPECT_FALSE(animo_.playReverse("nothing"));
}

TEST_F(PlaybackTest, PauseResumeStopAndTheFlags) {
  animo_.AddEvent(event("a", {0, 1, 2}));
  animo_.AddEvent(event("b", {3, 4}));
  animo_.Play("a");
  animo_.Pause();
  EXPECT_FALSE(animo_.IsPlaying());
  EXPECT_TRUE(animo_.isPaused());
  animo_.Resume();
  EXPECT_TRUE(animo_.IsPlaying());
  animo_.StopNoNotify();
  EXPECT_EQ(recorder_.log, "Sa ");
  animo_.Play("a");
  animo_.Stop();
  animo_.Stop();
  EXPECT_EQ(recorder_.log, "Sa Sa F ") << "a stop is reported once";

  // With the continue flag the next event follows at its first entry.
  recorder_.log.clear();
  animo_.SetAnimoFlags(CAnimo::kContinue);
  animo_.Play("a");
  steps(5);
  EXPECT_EQ(recorder_.log, "Sa 1 2 0 Sb 1 F ");

  // An event that may not be interrupted keeps playing.
  recorder_.log.clear();
  animo_.SetAnimoFlags(0);
  animo_.GetEventInfo(0)->flags = CAnimoEvent::kNoInterrupt;
  animo_.Play("a");
  EXPECT_FALSE(animo_.Play("b"));
  EXPECT_EQ(animo_.getCurrentEventName().str(), "a");
  EXPECT_FALSE(animo_.Play("missing"));
  EXPECT_FALSE(animo_.Play(7));
}

TEST_F(PlaybackTest, FramesChangeAtExactTimesForEachRateWithoutCatchingUp) {
  animo_.AddEvent(event("e", {0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5}));
  CAnimationManager* manager = window_->getAnimationManager();
  for (int fps : {10, 12, 30}) {
    SCOPED_TRACE(fps);
    animo_.SetFPS(fps);
    animo_.Play("e");
    std::vector<uint32_t> changes;
    int last = animo_.GetCurrentFrameInSequence();
    uint32_t start = clock_.now();
    for (int ms = 1; ms <= 400; ++ms) {
      clock_.advance(1);
      manager->domodal();
      if (animo_.GetCurrentFrameInSequence() != last) {
        changes.push_back(clock_.now() - start);
        last = animo_.GetCurrentFrameInSequence();
      }
    }
    const uint32_t period = static_cast<uint32_t>(1000 / fps);
    ASSERT_FALSE(changes.empty());
    for (size_t i = 0; i < changes.size() && i < 3; ++i) EXPECT_EQ(changes[i], period * (i + 1));
    animo_.StopNoNotify();
  }
  // A late tick moves one frame, not the ones it missed.
  animo_.SetFPS(10);
  animo_.Play("e");
  clock_.advance(1000);
  manager->domodal();
  EXPECT_EQ(animo_.GetCurrentFrameInSequence(), 1);
  // Paused animations are not stepped.
  animo_.Pause();
  clock_.advance(200);
  manager->domodal();
  EXPECT_EQ(animo_.GetCurrentFrameInSequence(), 1);
  // Without a rate of its own the event's rate counts; SetFPS(0) gives 1.
  animo_.clearFPS();
  EXPECT_EQ(animo_.GetFPS(), 15);
  animo_.SetFPS(0);
  EXPECT_EQ(animo_.GetFPS(), 1);
}

TEST_F(PlaybackTest, RandomEntriesStayWithinTheChosenRange) {
  animo_.AddEvent(event("e", {0, 1, 2, 3, 4, 5}));
  CXRandom::seed(7);
  std::vector<int> seen(6, 0);
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(animo_.playRandom("e", 2, 4));
    ++seen[static_cast<size_t>(animo_.GetCurrentFrameInSequence())];
  }
  EXPECT_EQ(seen[0] + seen[1] + seen[5], 0);
  EXPECT_GT(seen[2], 0);
  EXPECT_GT(seen[3], 0);
  EXPECT_GT(seen[4], 0);
  // Reversed bounds and bounds past the event are cut to it.
  ASSERT_TRUE(animo_.playRandom("e", 50, 5));
  EXPECT_EQ(animo_.GetCurrentFrameInSequence(), 5);
}

std::vector<std::string> g_sounds;

TEST_F(PlaybackTest, EntrySoundsGoThroughTheHookAndWaitingEventsLoopWhileTheyPlay) {
  CAnimoEvent e = event("talk", {0, 1, 2});
  e.entries[1].hasSound = true;
  e.entries[1].sound = "talk.wav";
  e.loopEnd = 2;
  e.loopStart = 1;
  e.flags = CAnimoEvent::kWaitForSound;
  animo_.AddEvent(e);
  g_sounds.clear();
  CAnimo::setSoundHook([](CAnimo*, const CAnimoEntry& entry) { g_sounds.push_back(entry.sound.str()); });
  static int playing = 0;
  playing = 2;
  CAnimo::setSoundQuery([](CAnimo*, const CAnimoEntry&) { return playing-- > 0; });
  animo_.Play("talk");
  steps(8);
  EXPECT_EQ(recorder_.log, "Stalk 1 2 1 2 1 2 F ");
  EXPECT_EQ(g_sounds, (std::vector<std::string>{"talk.wav", "talk.wav", "talk.wav"}));
  CAnimo::setSoundHook(nullptr);
  CAnimo::setSoundQuery(nullptr);
}

TEST_F(PlaybackTest, TheShownFramePlacesItselfAtThePositionPlusItsOffsets) {
  CAnimoEvent e = event("e", {2, 3});
  e.entries[1].x = 10;
  e.entries[1].y = -5;
  animo_.AddEvent(e);
  animo_.SetPosition(100, 50);
  animo_.Play("e");
  EXPECT_EQ(animo_.GetBoundingBox(), CXRect(102, 50, 106, 54));
  EXPECT_EQ(animo_.GetPixel(0, 0), animo_.GetFrame(2)->GetPixel(0, 0));
  EXPECT_FALSE(animo_.testHit(102, 50)) << "alpha 0 in the first columns";
  EXPECT_TRUE(animo_.testHit(104, 50));
  animo_.Next();
  EXPECT_EQ(animo_.GetBoundingBox(), CXRect(113, 45, 117, 49));
  animo_.Move(-3, 0);
  EXPECT_EQ(animo_.GetGlobalPosition(), CXPoint(97, 50));
  EXPECT_EQ(animo_.GetBoundingBox().left, 110);
  // Flips apply to every frame and undo together.
  uint16_t before = animo_.GetFrame(2)->GetPixel(0, 0);
  animo_.FlipV();
  EXPECT_EQ(animo_.GetFrame(2)->GetPixel(3, 0), before);
  animo_.resetFlips();
  EXPECT_EQ(animo_.GetFrame(2)->GetPixel(0, 0), before);
  // Removing a frame drops the entries that showed it.
  animo_.RemoveFrame(2);
  EXPECT_EQ(animo_.GetNOFInEvent(0), 1);
  EXPECT_EQ(animo_.GetFrameInfo(0, 0)->frame, 2);
}

// --- frames unpacked when due ---

std::vector<std::string> g_warnings;
void captureWarnings(tarnvik::log::Level level, std::string_view text) {
  if (level == tarnvik::log::Level::warn) g_warnings.emplace_back(text);
}

// Frames of 64 x 48 (alpha on every other one) and one endless event through all of them, as a file.
std::vector<uint8_t> framesFile(int compression, int count = 8) {
  CAnimo made;
  for (int i = 0; i < count; ++i) made.AddFrame(frame(i, 64, 48, i % 2 == 0));
  CAnimoEvent all = event("all", {});
  for (int i = 0; i < count; ++i) all.entries.push_back(entry(i));
  all.loopEnd = count - 1;
  made.AddEvent(all);
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(made.SaveToMemory(compression, bytes));
  return bytes;
}

// The shown picture: pixels and alpha.
std::vector<int> shown(const CAnimo& a) {
  std::vector<int> out{a.Width(), a.Height()};
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      out.push_back(a.GetPixel(x, y));
      out.push_back(a.GetAlpha(x, y));
    }
  return out;
}

// Budget, workers and the way of reading are put back after each test; warnings are captured.
class FramesWhenDueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_warnings.clear();
    tarnvik::log::setSink(captureWarnings);
    tarnvik::log::setLevel(tarnvik::log::Level::warn);
  }
  void TearDown() override {
    tarnvik::CFrameCache::instance().setBudget(tarnvik::CFrameCache::kDefaultBudgetMB << 20);
    tarnvik::FrameDecoder::instance().setWorkers(static_cast<int>(std::thread::hardware_concurrency()) - 1);
    CAnimo::setUnpackAtLoad(false);
    tarnvik::log::setSink(nullptr);
    tarnvik::log::setLevel(tarnvik::log::Level::off);
  }
  // The file read with every frame unpacked at once: what every step must show.
  static void readAllAtOnce(CAnimo& a, const std::vector<uint8_t>& bytes) {
    CAnimo::setUnpackAtLoad(true);
    ASSERT_TRUE(a.LoadFromMemory(bytes.data(), bytes.size()));
    CAnimo::setUnpackAtLoad(false);
  }
};

TEST_F(FramesWhenDueTest, FramesUnpackedOnWorkerThreadsShowThePixelsOfFramesUnpackedInPlace) {
  for (int compression : {0, 2, 3, 4}) {
    SCOPED_TRACE("compression " + std::to_string(compression));
    const std::vector<uint8_t> bytes = framesFile(compression);
    CAnimo reference, ahead;
    readAllAtOnce(reference, bytes);
    tarnvik::FrameDecoder::instance().setWorkers(2);
    ASSERT_TRUE(ahead.LoadFromMemory(bytes.data(), bytes.size()));
    ASSERT_TRUE(reference.Play("all"));
    ASSERT_TRUE(ahead.Play("all"));
    // Twice round the loop: each step's frame was offered to the workers two steps earlier.
    for (int step = 0; step < 16; ++step) {
      ASSERT_EQ(shown(ahead), shown(reference)) << "step " << step;
      reference.Next();
      ahead.Next();
    }
  }
  EXPECT_TRUE(g_warnings.empty());
}

TEST_F(FramesWhenDueTest, UnderABudgetOfNothingOnlyTheShownFrameStaysUnpackedAndEveryStepLooksTheSame) {
  const std::vector<uint8_t> bytes = framesFile(4);
  CAnimo reference, tight;
  readAllAtOnce(reference, bytes);
  tarnvik::CFrameCache::instance().setBudget(0);
  ASSERT_TRUE(tight.LoadFromMemory(bytes.data(), bytes.size()));
  ASSERT_TRUE(reference.Play("all"));
  ASSERT_TRUE(tight.Play("all"));
  for (int step = 0; step < 24; ++step) {
    // Flips made while frames are packed apply when they are unpacked again.
    if (step == 5) {
      reference.FlipH();
      tight.FlipH();
    }
    if (step == 13) {
      reference.FlipV();
      tight.FlipV();
    }
    ASSERT_EQ(shown(tight), shown(reference)) << "step " << step;
    const size_t frameBytes = static_cast<size_t>(tight.Width()) * tight.Height() * (step % 2 == 0 ? 3 : 2);
    EXPECT_EQ(tarnvik::CFrameCache::instance().used(), frameBytes) << "step " << step << ": only the shown frame";
    reference.Next();
    tight.Next();
  }
  // A copy shares the packed frames and shows the same.
  CAnimo copy;
  copy.copyFrom(tight);
  EXPECT_EQ(shown(copy), shown(tight));
  EXPECT_TRUE(g_warnings.empty());
}

TEST_F(FramesWhenDueTest, ADamagedFrameFoundWhenFirstShownStaysEmptyWithOneWarning) {
  std::vector<uint8_t> bytes = framesFile(4, 5);
  // The last frame's block (frame 4 has alpha: its alpha block ends the file) asks for long literal runs.
  for (size_t i = bytes.size() - 4; i < bytes.size(); ++i) bytes[i] = 127;
  CAnimo late;
  ASSERT_TRUE(late.LoadFromMemory(bytes.data(), bytes.size()));
  EXPECT_TRUE(g_warnings.empty()) << "nothing is unpacked while reading";
  ASSERT_TRUE(late.Play("all"));
  for (int step = 0; step < 12; ++step) {
    const bool damaged = late.Current() == 4;
    EXPECT_EQ(late.Width() == 0, damaged) << "step " << step;
    late.Next();
  }
  ASSERT_EQ(g_warnings.size(), 1u);
  EXPECT_NE(g_warnings[0].find("frame 4 cannot be unpacked"), std::string::npos) << g_warnings[0];
  EXPECT_EQ(late.GetFrame(4)->Width(), 0);
  EXPECT_EQ(late.GetFrame(3)->Width(), 64);
}

TEST_F(FramesWhenDueTest, FramesOfASmallFileAreReadFromItWhenDueAsParsedOrLeftEmptyWhenItWasCutShort) {
  tarnvik::FrameDecoder::instance().setWorkers(0);
  const std::vector<uint8_t> bytes = framesFile(4, 5);
  ASSERT_LT(bytes.size(), tarnvik::FileBytes::kReadBelow);
  CAnimo reference;
  readAllAtOnce(reference, bytes);
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("tarnvik-frames-" + std::to_string(::getpid()) + ".ann");
  auto writeFile = [](const std::filesystem::path& to, const std::vector<uint8_t>& content) {
    std::ofstream(to, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
  };
  for (bool cutShort : {false, true}) {
    SCOPED_TRACE(cutShort ? "cut short" : "replaced");
    g_warnings.clear();
    writeFile(file, bytes);
    CAnimo late;
    ASSERT_TRUE(late.LoadFromBytes(tarnvik::FileBytes::map(file.string())));
    if (cutShort) {
      std::filesystem::resize_file(file, 200);
    } else {
      writeFile(file.string() + ".new", std::vector<uint8_t>(bytes.size(), 0x55));
      std::filesystem::rename(file.string() + ".new", file);
    }
    ASSERT_TRUE(reference.Play("all"));
    ASSERT_TRUE(late.Play("all"));
    for (int step = 0; step < 10; ++step) {
      // Nothing was unpacked while reading: a file cut short has no frame left.
      if (cutShort)
        EXPECT_EQ(late.Width(), 0) << "step " << step;
      else
        EXPECT_EQ(shown(late), shown(reference)) << "step " << step;
      reference.Next();
      late.Next();
    }
    EXPECT_EQ(g_warnings.size(), cutShort ? 5u : 0u) << "one warning for each frame that could not be read";
  }
  std::filesystem::remove(file);
}

}  // namespace
