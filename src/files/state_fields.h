// The fields of a run-time state record (saves of the running game), written or read in one list, so
// a type's reading cannot drift from its writing. Doubles keep every bit, unlike the serializer's own.
#pragma once

#include <cstdint>

#include "files/xarchive.h"
#include "foundation/bit_cast.h"
#include "foundation/xstring.h"

namespace saved {

inline void field(CXArchive& a, int32_t& v) { a.isStoring() ? a << v : a >> v; }
inline void field(CXArchive& a, bool& v) { a.isStoring() ? a << v : a >> v; }
inline void field(CXArchive& a, int64_t& v) { a.isStoring() ? a << v : a >> v; }
inline void field(CXArchive& a, CXString& v) { a.isStoring() ? a << v : a >> v; }
inline void field(CXArchive& a, uint32_t& v) {
  int32_t raw = static_cast<int32_t>(v);
  field(a, raw);
  v = static_cast<uint32_t>(raw);
}
inline void field(CXArchive& a, uint64_t& v) {
  int64_t raw = static_cast<int64_t>(v);
  field(a, raw);
  v = static_cast<uint64_t>(raw);
}
inline void field(CXArchive& a, double& v) {
  int64_t raw = tarnvik::bitCast<int64_t>(v);
  field(a, raw);
  v = tarnvik::bitCast<double>(raw);
}

// Writes the fields when the archive stores, reads them when it loads; whether all of them went.
template <typename... T>
bool fields(CXArchive* archive, T&... values) {
  if (!archive) return false;
  (field(*archive, values), ...);
  return archive->isOk();
}

}  // namespace saved
