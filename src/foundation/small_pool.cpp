// The pool of small allocations: lists of free slots by size class, refilled from 2 MB blocks.
#include "foundation/small_pool.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <thread>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/mman.h>
#define TARNVIK_POOL_BLOCKS 1
#endif

// The sanitizers watch the global allocator: there the pool steps aside.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#undef TARNVIK_POOL_BLOCKS
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#undef TARNVIK_POOL_BLOCKS
#endif
#endif

namespace tarnvik::pool {

namespace {

constexpr std::size_t kGrain = 16;  // every slot is aligned like the global allocator's
constexpr std::size_t kClasses = kLargest / kGrain;
constexpr std::size_t kBlock = std::size_t{2} << 20;  // one huge page

std::size_t classOf(std::size_t size) { return (size + kGrain - 1) / kGrain - 1; }

struct FreeSlot {
  FreeSlot* next;
};

// Plain members only: the state must outlive every static object that frees pooled memory at exit,
// so it has no destructor and is made before any code runs.
struct State {
  std::atomic<bool> busy{false};
  FreeSlot* free[kClasses] = {};
  char* next = nullptr;
  char* end = nullptr;
  std::size_t reserved = 0;
  std::size_t inUse = 0;
  std::size_t served = 0;
};

constinit State g_state;

// Requests are short and rarely contended (the script runs on one thread): a spin lock suffices.
class Hold {
 public:
  Hold() {
    while (g_state.busy.exchange(true, std::memory_order_acquire))
      while (g_state.busy.load(std::memory_order_relaxed)) std::this_thread::yield();
  }
  ~Hold() { g_state.busy.store(false, std::memory_order_release); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
};

#ifdef TARNVIK_POOL_BLOCKS
// A block aligned to its size, so the kernel can map it with one huge page; the unaligned ends of
// the larger mapping are given back at once. Blocks are never given back: they are the next scene's.
void refill() {
  const std::size_t span = 2 * kBlock;
  void* mapped = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  auto start = reinterpret_cast<std::uintptr_t>(mapped);
  std::uintptr_t aligned = (start + kBlock - 1) & ~(kBlock - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  if (std::uintptr_t tail = start + span - (aligned + kBlock)) munmap(reinterpret_cast<void*>(aligned + kBlock), tail);
  madvise(reinterpret_cast<void*>(aligned), kBlock, MADV_HUGEPAGE);  // a hint: 4 KB pages work too
  g_state.next = reinterpret_cast<char*>(aligned);
  g_state.end = g_state.next + kBlock;
  g_state.reserved += kBlock;
}
#endif

}  // namespace

bool active() {
#ifdef TARNVIK_POOL_BLOCKS
  return true;
#else
  return false;
#endif
}

void* allocate(std::size_t size) {
#ifdef TARNVIK_POOL_BLOCKS
  if (size == 0 || size > kLargest) return ::operator new(size);
  const std::size_t c = classOf(size);
  const std::size_t bytes = (c + 1) * kGrain;
  Hold hold;
  g_state.inUse += bytes;
  ++g_state.served;
  if (FreeSlot* slot = g_state.free[c]) {
    g_state.free[c] = slot->next;
    return slot;
  }
  if (static_cast<std::size_t>(g_state.end - g_state.next) < bytes) refill();
  void* memory = g_state.next;
  g_state.next += bytes;
  return memory;
#else
  return ::operator new(size);
#endif
}

void release(void* memory, std::size_t size) noexcept {
  if (!memory) return;
#ifdef TARNVIK_POOL_BLOCKS
  if (size == 0 || size > kLargest) {
    ::operator delete(memory);
    return;
  }
  const std::size_t c = classOf(size);
  Hold hold;
  g_state.inUse -= (c + 1) * kGrain;
  auto* slot = static_cast<FreeSlot*>(memory);
  slot->next = g_state.free[c];
  g_state.free[c] = slot;
#else
  (void)size;
  ::operator delete(memory);
#endif
}

Usage usage() {
  Hold hold;
  return Usage{g_state.reserved, g_state.inUse, g_state.served};
}

}  // namespace tarnvik::pool
