// CRefreshRegion: the screen areas changed since the last frame, kept as disjoint rectangles.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "foundation/geometry.h"

class CRefreshRegion {
 public:
  explicit CRefreshRegion(const CXSize& screen = CXSize(800, 600));

  // Adds an area. Nothing, or the whole screen, turns the region into full-screen mode, in which
  // further areas are ignored until it is cleared. Parts already covered are not added twice.
  void add(const CXRect* area);
  void clear();
  bool isEmpty() const { return full_ ? false : live_ == 0; }
  bool isFullScreen() const { return full_; }
  // The rectangles in the order they joined the list; in full-screen mode one empty entry that
  // stands for the whole screen.
  const std::vector<CXRect>& rects() const;
  const CXSize& screen() const { return screen_; }
  void setScreen(const CXSize& screen);

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  // The first rectangle of the list from slot `from` on that overlaps n, or kNone.
  uint32_t firstOverlap(const CXRect& n, uint32_t from) const;
  void append(const CXRect& n);
  void remove(uint32_t slot);
  // The cells of the grid a rectangle reaches (parts off the screen count to the edge cells).
  struct Cells {
    int left, top, right, bottom;  // inclusive
  };
  Cells cellsOf(const CXRect& r) const;
  void shapeGrid();

  CXSize screen_;
  bool full_ = false;
  // Every rectangle that joined the list since it was last cleared, in list order; one taken out
  // again stays in its slot, marked gone, so that slots keep their order.
  std::vector<CXRect> slots_;
  std::vector<uint8_t> gone_;
  size_t live_ = 0;
  // A grid of cells over the screen, each with the slots (ascending) of the rectangles reaching it:
  // the search for the first overlap looks only at the rectangles near the new one, so many small
  // drawables moving at once (hundreds of rectangles) do not make each addition walk them all. Built
  // once the list is longer than a few rectangles; until then a walk over them is cheaper.
  static constexpr size_t kGridFrom = 16;
  void index(uint32_t slot);
  bool gridded_ = false;
  int cellWidth_ = 1, cellHeight_ = 1, columns_ = 1, rows_ = 1;
  std::vector<std::vector<uint32_t>> cells_;
  std::vector<uint32_t> usedCells_;
  mutable std::vector<CXRect> rects_;  // the rectangles still in the list, gathered when asked for
  mutable bool gathered_ = true;
  std::vector<std::pair<CXRect, uint32_t>> work_;
};
