// Animation frames unpacked when due: their packed blocks, the worker threads that unpack ahead, and
// the memory budget unpacked frames share.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <unordered_map>
#include <vector>

#include "files/file_bytes.h"
#include "foundation/geometry.h"
#include "graphics/pixels/pixel_bytes.h"

class CAnimoFrame;

namespace tarnvik {

// A frame's stored colour and alpha blocks inside its file's bytes (FileBytes::forParts), which it
// keeps alive: the colour block at the offset, the alpha block right after it.
struct PackedFrame {
  std::shared_ptr<const FileBytes> file;
  size_t offset = 0, colorSize = 0, alphaSize = 0;
  int compression = 0;
  int width = 0, height = 0;
  explicit operator bool() const { return file != nullptr; }
};

// What unpacking gave: width × height 16-bit pixels as bytes in memory order and, when the frame has an
// alpha block, alpha bytes; the frame adopts both. The opaque rectangle is found with them, on the
// worker when a worker unpacks.
struct UnpackedFrame {
  PixelBytes pixels;
  PixelBytes alpha;
  CXRect opaque;
  bool ok = false;
};

// Unpacks through the frame codecs; the same pixels on any thread.
UnpackedFrame unpackFrame(const PackedFrame& packed);

// One frame's unpacking offered to the workers. The main thread takes the result when the frame is
// due: it waits when a worker is at it, and unpacks in place when none has started, so a frame is
// never late and never skipped.
class FrameJob {
 public:
  explicit FrameJob(PackedFrame packed) : packed_(std::move(packed)) {}
  // On a worker: unpacks unless the main thread took the job first.
  void run();
  // On the main thread, once.
  UnpackedFrame take();

 private:
  enum class State { kQueued, kRunning, kDone, kTaken };
  const PackedFrame packed_;
  UnpackedFrame result_;
  std::mutex mutex_;
  std::condition_variable done_;
  State state_ = State::kQueued;
};

// The worker threads that unpack the next frames of playing animations: one fewer than the cores,
// none on one core or in a build without threads (TARNVIK_THREADS=OFF). Started on the first job.
class FrameDecoder {
 public:
  static FrameDecoder& instance();
  ~FrameDecoder();
  int workers() const { return wanted_; }
  // Joins the running workers and uses this many from now on (0: every frame unpacks when due).
  void setWorkers(int count);
  // False when there are no workers: the frame then unpacks when it is due.
  bool submit(std::shared_ptr<FrameJob> job);

 private:
  FrameDecoder();
  void stop();
  void work();

  int wanted_ = 0;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<std::shared_ptr<FrameJob>> jobs_;
  std::vector<std::thread> threads_;
  bool stopping_ = false;
};

// The budget unpacked frames share (main thread only). Frames that can return to their packed form
// are kept in the order of their last use; when a frame is unpacked past the budget, the least
// recently used others are packed again. Shown frames stay: an animation shows its current frame.
class CFrameCache {
 public:
  static constexpr size_t kDefaultBudgetMB = 32;
  static CFrameCache& instance();
  void setBudget(size_t bytes);
  size_t budget() const { return budget_; }
  // Bytes of the unpacked frames that may return to their packed form.
  size_t used() const { return used_; }
  // The frame was unpacked (bytes: its pixels and alpha); others may be packed again.
  void add(CAnimoFrame* frame, size_t bytes);
  // The frame is being used: it goes last in the line.
  void touch(CAnimoFrame* frame);
  void remove(CAnimoFrame* frame);

 private:
  struct Entry {
    CAnimoFrame* frame;
    size_t bytes;
  };
  void trim(const CAnimoFrame* keep);

  size_t budget_ = kDefaultBudgetMB << 20;
  size_t used_ = 0;
  std::list<Entry> order_;  // least recently used first
  std::unordered_map<const CAnimoFrame*, std::list<Entry>::iterator> where_;
};

}  // namespace tarnvik
