// CRefreshRegion: the screen areas changed since the last frame, kept as disjoint rectangles.
#pragma once

#include <utility>
#include <vector>

#include "foundation/geometry.h"

class CRefreshRegion {
 public:
  explicit CRefreshRegion(const CXSize& screen = CXSize(800, 600)) : screen_(screen) {}

  // Adds an area. Nothing, or the whole screen, turns the region into full-screen mode, in which
  // further areas are ignored until it is cleared. Parts already covered are not added twice.
  void add(const CXRect* area);
  void clear();
  bool isEmpty() const { return rects_.empty(); }
  bool isFullScreen() const { return full_; }
  // The rectangles; in full-screen mode one empty entry that stands for the whole screen.
  const std::vector<CXRect>& rects() const { return rects_; }
  const CXSize& screen() const { return screen_; }
  void setScreen(const CXSize& screen) { screen_ = screen; }

 private:
  CXSize screen_;
  std::vector<CXRect> rects_;
  bool full_ = false;
  std::vector<std::pair<CXRect, size_t>> work_;
};
