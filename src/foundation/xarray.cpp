// String helpers and copies of CXArray and CXVector.
#include "foundation/xarray.h"

#include <algorithm>

#include "foundation/xstring.h"

bool CXArray::containsString(const CXString& text) const {
  for (void* item : *this)
    if (item && static_cast<const CXString*>(item)->equals(text)) return true;
  return false;
}

CXString* CXArray::stringAt(int index) const { return static_cast<CXString*>(elementAt(index)); }

bool CXVector::containsString(const CXString& text) const {
  for (CXObject* item : *this) {
    auto* s = dynamic_cast<const CXString*>(item);
    if (s && s->equals(text)) return true;
  }
  return false;
}

CXString* CXVector::stringAt(int index) const { return dynamic_cast<CXString*>(elementAt(index)); }

int CXVector::copyInto(CXObject** target, int targetSize) const {
  if (!target || targetSize <= 0) return 0;
  int n = std::min(targetSize, count_);
  std::copy(slots_.begin(), slots_.begin() + n, target);
  return n;
}

void CXVector::copyInto(CXVector& target) const {
  if (&target == this) return;
  target.removeAll();
  for (CXObject* item : *this) target.add(item);
}
