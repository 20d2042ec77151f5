// PixelBytes: byte storage of pixels and alpha planes that is not zero-filled when it grows.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace tarnvik {

// Growing leaves the new bytes as they are: decoders write every byte before anything reads it, so
// filling them first would only cost a pass over memory (frames are unpacked while scenes play).
template <class T>
struct NoFillAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = NoFillAllocator<U>;
  };
  NoFillAllocator() = default;
  template <class U>
  NoFillAllocator(const NoFillAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

using PixelBytes = std::vector<uint8_t, NoFillAllocator<uint8_t>>;

}  // namespace tarnvik
