// The bits of one value read as another type: std::bit_cast for the libraries that lack it (the browser build's).
#pragma once

#include <cstring>
#include <type_traits>

namespace tarnvik {

template <class To, class From>
To bitCast(const From& from) noexcept {
  static_assert(sizeof(To) == sizeof(From), "bitCast needs types of one size");
  static_assert(std::is_trivially_copyable_v<To> && std::is_trivially_copyable_v<From>);
  To to;
  std::memcpy(&to, &from, sizeof to);
  return to;
}

}  // namespace tarnvik
