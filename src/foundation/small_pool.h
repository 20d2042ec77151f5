// Memory for the many small things a scene is made of: size classes carved from 2 MB blocks.
#pragma once

#include <cstddef>
#include <new>

namespace tarnvik::pool {

// The largest size served from the pool; larger requests go to the global allocator.
inline constexpr std::size_t kLargest = 1024;

// A scene of 100,000 objects makes and frees a million small things (definition elements and
// keys, script objects). Taken from blocks of 2 MB that the kernel may back with huge pages, they
// cost one page fault per 2 MB instead of one per 4 KB, and what a scene frees is kept in lists by
// size for the next scene instead of being handed back to the system and faulted in again.
// Thread-safe. Under the sanitizers (and in the browser build) every request goes to the global
// allocator, so that misuse of freed memory is still found.
void* allocate(std::size_t size);
// `size` must be the size given to allocate.
void release(void* memory, std::size_t size) noexcept;

// Bytes held in blocks, bytes handed out now, and the requests served from the pool so far (those
// passed to the global allocator are not counted), for tests and benchmarks that count allocations.
struct Usage {
  std::size_t reserved = 0;
  std::size_t inUse = 0;
  std::size_t served = 0;
};
Usage usage();
// Whether requests are served from the pool in this build.
bool active();

}  // namespace tarnvik::pool

namespace tarnvik {

// A base that allocates the class through the pool, for the classes that scenes hold by the
// thousand. Sized delete receives the size of the most derived type (these classes have virtual
// destructors), which is the size class the memory came from.
struct Pooled {
  static void* operator new(std::size_t size) { return pool::allocate(size); }
  static void operator delete(void* memory, std::size_t size) noexcept { pool::release(memory, size); }
  static void* operator new(std::size_t, void* place) noexcept { return place; }
  static void operator delete(void*, void*) noexcept {}
  // A type aligned beyond 16 bytes is served by the global allocator, which honours its alignment.
  static void* operator new(std::size_t size, std::align_val_t align) { return ::operator new(size, align); }
  static void operator delete(void* memory, std::size_t /*size*/, std::align_val_t align) noexcept {
    ::operator delete(memory, align);  // unsized: not every compiler declares the sized form
  }
};

// A standard allocator over the pool, for the small containers inside those classes (an object's
// handler lists, an element's keys).
template <typename T>
struct PoolAllocator {
  using value_type = T;
  PoolAllocator() = default;
  template <typename U>
  PoolAllocator(const PoolAllocator<U>&) noexcept {}  // NOLINT: converting, as allocators are
  T* allocate(std::size_t n) { return static_cast<T*>(pool::allocate(n * sizeof(T))); }
  void deallocate(T* memory, std::size_t n) noexcept { pool::release(memory, n * sizeof(T)); }
  template <typename U>
  bool operator==(const PoolAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace tarnvik
