// CXObject defaults and the profiling timer.
#include "foundation/xobject.h"

#include <chrono>
#include <map>
#include <string>

#include "foundation/log.h"
#include "foundation/xstring.h"

CXString CXObject::toString() const { return CXString(); }

int CXObject::compare(const CXObject* other) const {
  if (other == this) return 0;
  return reinterpret_cast<uintptr_t>(this) < reinterpret_cast<uintptr_t>(other) ? -1 : 1;
}

int32_t CXObject::hashCode() const {
  return static_cast<int32_t>(reinterpret_cast<uintptr_t>(this) >> 3);
}

void CXObject::log(const CXString& text, int flag) const {
  TLOG_DEBUG(text.view() << (flag ? " (flagged)" : ""));
}

void CXObject::profile(const char* name, bool flag) {
  static std::map<std::string, std::chrono::steady_clock::time_point> started;
  std::string key = name ? name : "";
  if (flag) {
    started[key] = std::chrono::steady_clock::now();
    return;
  }
  auto it = started.find(key);
  if (it == started.end()) return;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - it->second).count();
  started.erase(it);
  TLOG_DEBUG("Time spend in " << key << ": " << ms << " ms.");
}
