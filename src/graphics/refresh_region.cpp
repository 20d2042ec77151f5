// Dirty-rectangle bookkeeping: each new area is cut against the existing ones so none overlap.
#include "graphics/refresh_region.h"

#include <cstddef>

namespace {
bool covers(const CXRect& outer, const CXRect& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}
}  // namespace

void CRefreshRegion::add(const CXRect* area) {
  if (full_) return;
  if (!area || *area == CXRect(CXPoint(0, 0), screen_)) {
    rects_.assign(1, CXRect());
    full_ = true;
    return;
  }
  // Pieces still to place, each with the index of the first rectangle it may overlap (kept between
  // calls: drawables invalidate twice a move).
  std::vector<std::pair<CXRect, size_t>>& work = work_;
  work.assign(1, {*area, 0});
  while (!work.empty()) {
    auto [n, from] = work.back();
    work.pop_back();
    if (n.isEmpty()) continue;
    size_t i = from;
    for (; i < rects_.size(); ++i)
      if (rects_[i].intersects(n)) break;
    if (i == rects_.size()) {
      rects_.push_back(n);
      continue;
    }
    CXRect e = rects_[i];
    if (covers(n, e)) {
      rects_.erase(rects_.begin() + static_cast<ptrdiff_t>(i));
      work.push_back({n, i});
      continue;
    }
    // The parts of n outside e: full-height strips left and right, then the strips above and below
    // over the horizontal overlap. Rectangles before i do not meet n, so neither do its parts.
    int32_t l = std::max(n.left, e.left), r = std::min(n.right, e.right);
    CXRect parts[4] = {CXRect(n.left, n.top, e.left, n.bottom), CXRect(e.right, n.top, n.right, n.bottom),
                       CXRect(l, n.top, r, e.top), CXRect(l, e.bottom, r, n.bottom)};
    for (int p = 3; p >= 0; --p)
      if (!parts[p].isEmpty()) work.push_back({parts[p], i + 1});
  }
}

void CRefreshRegion::clear() {
  rects_.clear();
  full_ = false;
}
