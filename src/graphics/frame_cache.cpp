// Animation frames unpacked when due: unpacking jobs, the worker threads, the shared budget.
#include "graphics/frame_cache.h"

#include <algorithm>

#include "graphics/animation.h"
#include "graphics/formats/frame_codec.h"
#include "graphics/pixels/canvas.h"

namespace tarnvik {

UnpackedFrame unpackFrame(const PackedFrame& packed) {
  UnpackedFrame out;
  if (!packed.file) return out;
  // Where the blocks are read to when they are not in memory (one buffer per thread, kept for the next frame).
  thread_local std::vector<uint8_t> scratch;
  const size_t size = packed.colorSize + packed.alphaSize;
  const std::span<const uint8_t> blocks = packed.file->part(packed.offset, size, scratch);
  out.ok = blocks.size() == size && framecodec::unpackBytes(packed.compression, blocks.first(packed.colorSize),
                                                            blocks.subspan(packed.colorSize), packed.width,
                                                            packed.height, out.pixels, out.alpha);
  if (out.ok)
    out.opaque = out.alpha.empty() ? CXRect(0, 0, packed.width, packed.height)
                                   : canvas::largestOpaqueRect(out.alpha.data(), packed.width, packed.height);
  return out;
}

// --- jobs ---

void FrameJob::run() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ != State::kQueued) return;
    state_ = State::kRunning;
  }
  UnpackedFrame result = unpackFrame(packed_);
  std::lock_guard<std::mutex> lock(mutex_);
  result_ = std::move(result);
  state_ = State::kDone;
  done_.notify_all();
}

UnpackedFrame FrameJob::take() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (state_ == State::kQueued) {
    // No worker got to it: unpacking here is quicker than waiting for one.
    state_ = State::kTaken;
    lock.unlock();
    return unpackFrame(packed_);
  }
  done_.wait(lock, [this] { return state_ == State::kDone; });
  state_ = State::kTaken;
  return std::move(result_);
}

// --- workers ---

FrameDecoder& FrameDecoder::instance() {
  static FrameDecoder decoder;
  return decoder;
}

FrameDecoder::FrameDecoder() {
#ifndef TARNVIK_NO_THREADS
  // The main thread composes on one core; the others unpack.
  wanted_ = std::max(0, static_cast<int>(std::thread::hardware_concurrency()) - 1);
#endif
}

FrameDecoder::~FrameDecoder() { stop(); }

void FrameDecoder::setWorkers(int count) {
  stop();
#ifndef TARNVIK_NO_THREADS
  wanted_ = std::max(0, count);
#else
  (void)count;
#endif
}

void FrameDecoder::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    jobs_.clear();  // the main thread unpacks these when they are due
  }
  queued_.notify_all();
  for (std::thread& t : threads_) t.join();
  threads_.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = false;
}

bool FrameDecoder::submit(std::shared_ptr<FrameJob> job) {
  if (wanted_ == 0 || !job) return false;
#ifndef TARNVIK_NO_THREADS
  if (threads_.empty())
    for (int i = 0; i < wanted_; ++i) threads_.emplace_back([this] { work(); });
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  queued_.notify_one();
  return true;
#else
  return false;
#endif
}

void FrameDecoder::work() {
  for (;;) {
    std::shared_ptr<FrameJob> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      queued_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job->run();
  }
}

// --- budget ---

CFrameCache& CFrameCache::instance() {
  // Never destroyed: frames held by other statics may still leave it while the process ends.
  static CFrameCache* cache = new CFrameCache;
  return *cache;
}

void CFrameCache::setBudget(size_t bytes) {
  budget_ = bytes;
  trim(nullptr);
}

void CFrameCache::add(CAnimoFrame* frame, size_t bytes) {
  remove(frame);
  order_.push_back(Entry{frame, bytes});
  where_[frame] = std::prev(order_.end());
  used_ += bytes;
  trim(frame);
}

void CFrameCache::touch(CAnimoFrame* frame) {
  auto it = where_.find(frame);
  if (it != where_.end()) order_.splice(order_.end(), order_, it->second);
}

void CFrameCache::remove(CAnimoFrame* frame) {
  auto it = where_.find(frame);
  if (it == where_.end()) return;
  used_ -= it->second->bytes;
  order_.erase(it->second);
  where_.erase(it);
}

void CFrameCache::trim(const CAnimoFrame* keep) {
  for (auto it = order_.begin(); used_ > budget_ && it != order_.end();) {
    CAnimoFrame* frame = it->frame;
    ++it;
    // Packing takes the frame out of the line (remove), so the walk goes on from the next one.
    if (frame != keep && !frame->isShown()) frame->pack();
  }
}

}  // namespace tarnvik
