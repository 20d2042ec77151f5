// Dirty-rectangle bookkeeping: each new area is cut against the existing ones so none overlap.
#include "graphics/refresh_region.h"

#include <algorithm>
#include <cstddef>

namespace {
bool covers(const CXRect& outer, const CXRect& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

constexpr int64_t kGridCells = 32;  // per side of the screen

// The cell of a coordinate along one side, off-screen parts counting to the edge cells.
int cellAt(int64_t at, int size, int count) {
  return static_cast<int>(std::clamp<int64_t>(at < 0 ? 0 : at / size, 0, count - 1));
}
}  // namespace

CRefreshRegion::CRefreshRegion(const CXSize& screen) : screen_(screen) { shapeGrid(); }

void CRefreshRegion::shapeGrid() {
  auto shape = [](int extent, int& size, int& count) {
    size = static_cast<int>(std::max<int64_t>(1, (std::max(extent, 0) + kGridCells - 1) / kGridCells));
    count = static_cast<int>(std::max<int64_t>(1, (std::max(extent, 0) + size - 1) / size));
  };
  shape(screen_.width, cellWidth_, columns_);
  shape(screen_.height, cellHeight_, rows_);
  cells_.assign(static_cast<size_t>(columns_) * rows_, {});
  usedCells_.clear();
}

CRefreshRegion::Cells CRefreshRegion::cellsOf(const CXRect& r) const {
  return {cellAt(r.left, cellWidth_, columns_), cellAt(r.top, cellHeight_, rows_),
          cellAt(static_cast<int64_t>(r.right) - 1, cellWidth_, columns_),
          cellAt(static_cast<int64_t>(r.bottom) - 1, cellHeight_, rows_)};
}

void CRefreshRegion::setScreen(const CXSize& screen) {
  screen_ = screen;
  // The grid follows the screen: the rectangles still in the list join it again, in their order.
  const std::vector<CXRect> kept = full_ ? std::vector<CXRect>() : rects();
  const bool full = full_;
  clear();
  shapeGrid();
  for (const CXRect& r : kept) append(r);
  if (full) add(nullptr);
}

uint32_t CRefreshRegion::firstOverlap(const CXRect& n, uint32_t from) const {
  if (!gridded_) {
    for (size_t i = from; i < slots_.size(); ++i)
      if (!gone_[i] && slots_[i].intersects(n)) return static_cast<uint32_t>(i);
    return kNone;
  }
  const Cells c = cellsOf(n);
  uint32_t first = kNone;
  for (int y = c.top; y <= c.bottom; ++y)
    for (int x = c.left; x <= c.right; ++x) {
      const std::vector<uint32_t>& slots = cells_[static_cast<size_t>(y) * columns_ + x];
      for (auto it = std::lower_bound(slots.begin(), slots.end(), from); it != slots.end() && *it < first; ++it)
        if (!gone_[*it] && slots_[*it].intersects(n)) {
          first = *it;
          break;
        }
    }
  return first;
}

void CRefreshRegion::append(const CXRect& n) {
  const auto slot = static_cast<uint32_t>(slots_.size());
  slots_.push_back(n);
  gone_.push_back(0);
  ++live_;
  gathered_ = false;
  if (gridded_) {
    index(slot);
  } else if (slots_.size() > kGridFrom) {
    gridded_ = true;
    for (uint32_t s = 0; s < slots_.size(); ++s)
      if (!gone_[s]) index(s);
  }
}

void CRefreshRegion::index(uint32_t slot) {
  const Cells c = cellsOf(slots_[slot]);
  for (int y = c.top; y <= c.bottom; ++y)
    for (int x = c.left; x <= c.right; ++x) {
      const size_t cell = static_cast<size_t>(y) * columns_ + x;
      if (cells_[cell].empty()) usedCells_.push_back(static_cast<uint32_t>(cell));
      cells_[cell].push_back(slot);  // slots only grow, so each cell's list stays ascending
    }
}

void CRefreshRegion::remove(uint32_t slot) {
  gone_[slot] = 1;
  --live_;
  gathered_ = false;
}

void CRefreshRegion::add(const CXRect* area) {
  if (full_) return;
  if (!area || *area == CXRect(CXPoint(0, 0), screen_)) {
    clear();
    rects_.assign(1, CXRect());
    full_ = true;
    return;
  }
  // Pieces still to place, each with the slot of the first rectangle it may overlap (kept between
  // calls: drawables invalidate twice a move).
  std::vector<std::pair<CXRect, uint32_t>>& work = work_;
  work.assign(1, {*area, 0});
  while (!work.empty()) {
    auto [n, from] = work.back();
    work.pop_back();
    if (n.isEmpty()) continue;
    const uint32_t i = firstOverlap(n, from);
    if (i == kNone) {
      append(n);
      continue;
    }
    const CXRect e = slots_[i];
    if (covers(n, e)) {
      remove(i);
      work.push_back({n, i + 1});
      continue;
    }
    // The parts of n outside e: full-height strips left and right, then the strips above and below
    // over the horizontal overlap. Rectangles before e do not meet n, so neither do its parts.
    int32_t l = std::max(n.left, e.left), r = std::min(n.right, e.right);
    CXRect parts[4] = {CXRect(n.left, n.top, e.left, n.bottom), CXRect(e.right, n.top, n.right, n.bottom),
                       CXRect(l, n.top, r, e.top), CXRect(l, e.bottom, r, n.bottom)};
    for (int p = 3; p >= 0; --p)
      if (!parts[p].isEmpty()) work.push_back({parts[p], i + 1});
  }
}

const std::vector<CXRect>& CRefreshRegion::rects() const {
  if (!gathered_) {
    rects_.clear();
    for (size_t i = 0; i < slots_.size(); ++i)
      if (!gone_[i]) rects_.push_back(slots_[i]);
    gathered_ = true;
  }
  return rects_;
}

void CRefreshRegion::clear() {
  slots_.clear();
  gone_.clear();
  live_ = 0;
  for (uint32_t cell : usedCells_) cells_[cell].clear();
  usedCells_.clear();
  gridded_ = false;
  rects_.clear();
  gathered_ = true;
  full_ = false;
}
