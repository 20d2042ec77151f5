// Dirty regions, the refresh order, frame composition, background scrolling and the animation manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "foundation/playable.h"
#include "graphics/pixels/color.h"
#include "graphics/pixels/surface.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"
#include "platform/clock.h"
#include "platform/video.h"

namespace {

std::set<std::pair<int, int>> pixelsOf(const std::vector<CXRect>& rects) {
  std::set<std::pair<int, int>> out;
  for (const CXRect& r : rects)
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) out.insert({x, y});
  return out;
}

size_t areaOf(const std::vector<CXRect>& rects) {
  size_t a = 0;
  for (const CXRect& r : rects) a += static_cast<size_t>(r.width()) * r.height();
  return a;
}

TEST(RefreshRegionTest, KeepsDisjointRectanglesCoveringEverythingAdded) {
  CRefreshRegion region(CXSize(100, 100));
  CXRect a(10, 10, 30, 30);
  region.add(&a);
  CXRect inside(12, 12, 20, 20);
  region.add(&inside);
  EXPECT_EQ(region.rects(), std::vector<CXRect>{a}) << "an area inside adds nothing";
  CXRect cover(5, 5, 40, 40);
  region.add(&cover);
  EXPECT_EQ(region.rects(), std::vector<CXRect>{cover}) << "a covering area replaces";

  // Overlapping areas in many arrangements: the union is exact and nothing overlaps.
  std::vector<CXRect> added{cover};
  for (CXRect r : {CXRect(30, 0, 60, 20), CXRect(0, 30, 50, 50), CXRect(20, 20, 25, 70), CXRect(35, 35, 36, 36),
                   CXRect(0, 0, 10, 100), CXRect(45, 10, 90, 45)}) {
    region.add(&r);
    added.push_back(r);
    EXPECT_EQ(pixelsOf(region.rects()), pixelsOf(added));
    EXPECT_EQ(areaOf(region.rects()), pixelsOf(added).size()) << "rectangles overlap";
  }
  EXPECT_FALSE(region.isFullScreen());
}

// The list the adding rule gives, kept the plain way: each new area examined against the list in
// order, cut at the first rectangle it overlaps.
std::vector<CXRect> addedInOrder(const std::vector<CXRect>& areas) {
  std::vector<CXRect> list;
  for (const CXRect& area : areas) {
    std::vector<CXRect> work{area};
    while (!work.empty()) {
      CXRect n = work.back();
      work.pop_back();
      if (n.isEmpty()) continue;
      auto e = std::find_if(list.begin(), list.end(), [&](const CXRect& r) { return r.intersects(n); });
      if (e == list.end()) {
        list.push_back(n);
      } else if (n.left <= e->left && n.top <= e->top && n.right >= e->right && n.bottom >= e->bottom) {
        list.erase(e);
        work.push_back(n);
      } else {
        const CXRect x = *e;
        const int32_t l = std::max(n.left, x.left), r = std::min(n.right, x.right);
        for (CXRect part : {CXRect(l, x.bottom, r, n.bottom), CXRect(l, n.top, r, x.top),
                            CXRect(x.right, n.top, n.right, n.bottom), CXRect(n.left, n.top, x.left, n.bottom)})
          work.push_back(part);
      }
    }
  }
  return list;
}

TEST(RefreshRegionTest, HundredsOfAreasGiveTheListAddingInOrderGives) {
  // Small areas all over the screen and past its edges, some covering others, as many drawables
  // moving at once leave them; the screen then changes size with the list kept.
  std::vector<CXRect> areas;
  uint32_t seed = 2026;
  auto next = [&seed](int range) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
  };
  for (int i = 0; i < 600; ++i) {
    const int w = 1 + next(i % 50 == 0 ? 300 : 40), h = 1 + next(i % 50 == 0 ? 200 : 40);
    const int x = next(860) - 30, y = next(660) - 30;
    areas.emplace_back(x, y, x + w, y + h);
  }
  CRefreshRegion region(CXSize(800, 600));
  for (const CXRect& a : areas) region.add(&a);
  const std::vector<CXRect> expected = addedInOrder(areas);
  EXPECT_EQ(region.rects(), expected);
  EXPECT_EQ(areaOf(region.rects()), pixelsOf(areas).size()) << "rectangles overlap or miss pixels";

  region.setScreen(CXSize(320, 200));
  EXPECT_EQ(region.rects(), expected) << "a new screen size keeps the list";
  CXRect more(100, 100, 400, 150);
  region.add(&more);
  areas.push_back(more);
  EXPECT_EQ(region.rects(), addedInOrder(areas));
  region.clear();
  EXPECT_TRUE(region.isEmpty());
  EXPECT_TRUE(region.rects().empty());
}

TEST(RefreshRegionTest, WholeScreenOrNothingTurnsToFullScreenMode) {
  CRefreshRegion region(CXSize(800, 600));
  CXRect r(1, 1, 5, 5);
  region.add(&r);
  CXRect screen(0, 0, 800, 600);
  region.add(&screen);
  EXPECT_TRUE(region.isFullScreen());
  ASSERT_EQ(region.rects().size(), 1u);
  EXPECT_TRUE(region.rects()[0].isEmpty());
  region.add(&r);
  EXPECT_EQ(region.rects().size(), 1u) << "ignored until cleared";
  region.clear();
  region.add(nullptr);
  EXPECT_TRUE(region.isFullScreen());
}

// A refresh manager over a 16-bit destination of its size.
struct Screen {
  CRefreshScreen refresh;
  CGraphicsObject target;
  explicit Screen(int w = 40, int h = 30) : refresh(CXSize(w, h), 16), target(w, h, 16) {}
  uint16_t at(int x, int y) const { return target.GetPixel(x, y); }
  bool frame() {
    bool init = false;
    bool composed = refresh.Redraw(&target, nullptr, init);
    refresh.clearRegion();
    return composed;
  }
};

CGraphicsObject* solid(int w, int h, uint16_t colour, int x, int y) {
  auto* o = new CGraphicsObject(w, h, 16);
  std::fill_n(o->pixels16(), w * h, colour);
  o->SetPosition(x, y);
  return o;
}

TEST(RefreshScreenTest, EqualPrioritiesDrawInInsertionOrderAndSetPriorityGoesAfterEquals) {
  Screen s;
  std::unique_ptr<CGraphicsObject> a(solid(10, 10, 0x1111, 0, 0)), b(solid(10, 10, 0x2222, 0, 0)),
      c(solid(10, 10, 0x3333, 0, 0));
  s.refresh.put(a.get(), 5);
  s.refresh.put(b.get(), 5);
  s.refresh.put(c.get(), 1);
  EXPECT_EQ(s.refresh.getIndex(c.get()), 0);
  EXPECT_EQ(s.refresh.getIndex(b.get()), 2);
  s.frame();
  EXPECT_EQ(s.at(5, 5), 0x2222) << "the later of equals is on top";
  s.refresh.SetPriority(a.get(), 5);
  EXPECT_EQ(s.refresh.getIndex(a.get()), 2) << "re-inserted after its equals";
  s.frame();
  EXPECT_EQ(s.at(5, 5), 0x1111);
  EXPECT_EQ(s.refresh.GetPriority(c.get()), 1);
  EXPECT_EQ(s.refresh.GetPriority(nullptr), -1);
  s.refresh.put(a.get(), INT32_MAX);
  s.refresh.SetPriority(c.get(), INT32_MIN);
  s.refresh.SetPriority(b.get(), INT32_MAX);
  EXPECT_EQ(s.refresh.getIndex(b.get()), 2);
  EXPECT_EQ(s.refresh.getIndex(c.get()), 0);
}

TEST(RefreshScreenTest, GetGraphicsAtFindsTheTopmostWithinBounds) {
  Screen s;
  std::unique_ptr<CGraphicsObject> low(solid(20, 20, 1, 0, 0)), high(solid(10, 10, 2, 5, 5));
  high->setAlphaPlane(true);
  std::fill_n(high->GetAlphaPtr(), 100, 255);
  high->GetAlphaPtr()[0] = 0;  // its top-left pixel is transparent
  s.refresh.put(low.get(), 1);
  s.refresh.put(high.get(), 3);
  EXPECT_EQ(s.refresh.getGraphicsAt(7, 7), high.get());
  EXPECT_EQ(s.refresh.getGraphicsAt(5, 5), low.get()) << "transparent pixel";
  EXPECT_EQ(s.refresh.getGraphicsAt(5, 5, true, -1, -1, true), high.get()) << "alpha ignored";
  EXPECT_EQ(s.refresh.getGraphicsAt(7, 7, true, -1, 2), low.get());
  EXPECT_EQ(s.refresh.getGraphicsAt(7, 7, true, 2, -1), high.get());
  high->Hide();
  EXPECT_EQ(s.refresh.getGraphicsAt(7, 7), low.get());
  EXPECT_EQ(s.refresh.getGraphicsAt(7, 7, false), high.get());
  EXPECT_EQ(s.refresh.getGraphicsAt(30, 25), nullptr);
}

TEST(RefreshScreenTest, OnlyDirtyAreasAreRecomposedAndMovesLeaveNoTrace) {
  Screen s;
  CColor blue(0, 0, 255);
  s.refresh.SetBackground(&blue);
  std::unique_ptr<CGraphicsObject> box(solid(4, 4, 0xF800, 2, 2));
  s.refresh.put(box.get(), 0);
  EXPECT_TRUE(s.frame());
  EXPECT_EQ(s.at(3, 3), 0xF800);
  EXPECT_EQ(s.at(10, 10), 0x001F);
  EXPECT_FALSE(s.frame()) << "nothing changed, nothing composed";

  // Scribble on the destination outside any dirty area: it must survive (not recomposed).
  s.target.pixels16()[25 * 40 + 30] = 0x1234;
  box->Invalidate();
  box->SetPosition(20, 10);
  box->Invalidate();
  EXPECT_TRUE(s.frame());
  EXPECT_EQ(s.at(3, 3), 0x001F) << "old place shows the background";
  EXPECT_EQ(s.at(21, 11), 0xF800);
  EXPECT_EQ(s.at(30, 25), 0x1234);
  box->Hide();
  s.frame();
  EXPECT_EQ(s.at(21, 11), 0x001F);
  // Deleting a registered drawable recomposes the area it covered.
  box->Show();
  s.frame();
  box.reset();
  EXPECT_EQ(s.refresh.count(), 0u);
  s.frame();
  EXPECT_EQ(s.at(21, 11), 0x001F);
}

TEST(RefreshScreenTest, ScriptClippingHoldsWhenTheObjectIsInvalidated) {
  Screen s;
  std::unique_ptr<CGraphicsObject> box(solid(10, 10, 0x07E0, 0, 0));
  box->SetClippingRect(CXRect(0, 0, 5, 10));  // only the left half
  s.refresh.put(box.get(), 0);
  s.frame();
  EXPECT_EQ(s.at(2, 2), 0x07E0);
  EXPECT_EQ(s.at(7, 2), 0x0000);
  box->Invalidate();
  s.frame();
  EXPECT_EQ(s.at(7, 2), 0x0000) << "an invalidated object keeps its own clipping";
  EXPECT_EQ(box->GetClippingRect(), CXRect(0, 0, 5, 10));
}

TEST(RefreshScreenTest, TranslucentObjectsBlendOncePerFrameAcrossSeveralDirtyRectangles) {
  Screen s;
  CColor white(255, 255, 255);
  s.refresh.SetBackground(&white);
  std::unique_ptr<CGraphicsObject> glass(solid(20, 20, 0x0000, 0, 0));
  glass->SetOpacity(128);
  glass->SetClippingRect(CXRect(0, 0, 19, 20));  // a clipping of its own, short of the whole
  s.refresh.put(glass.get(), 0);
  s.frame();
  const uint16_t once = s.at(10, 10);
  // Two dirty areas that both meet the object: each pixel is blended once, not once per area.
  CXRect a(0, 0, 12, 12), b(8, 8, 20, 20);
  s.refresh.Invalidate(&a);
  s.refresh.Invalidate(&b);
  s.frame();
  EXPECT_EQ(s.at(10, 10), once);
  EXPECT_EQ(s.at(2, 2), once);
  EXPECT_EQ(s.at(18, 18), once);
}

TEST(RefreshScreenTest, GreyFramesAndObserverEvents) {
  struct Log : CCanvasObserver {
    std::string events;
    void onCanvasEvent(int e) override { events += std::to_string(e); }
  } log;
  Screen s;
  s.refresh.addNotifier(&log);
  s.refresh.enableNotifyFlag(true);
  bool updated = false;
  s.refresh.requestInitialUpdate([&] { updated = true; });
  CColor red(255, 0, 0);
  s.refresh.SetBackground(&red);
  std::unique_ptr<CGraphicsObject> box(solid(4, 4, 0xF800, 0, 0));
  s.refresh.put(box.get(), 0);
  s.frame();
  EXPECT_TRUE(updated);
  EXPECT_EQ(log.events, "0125") << "before the initial update, frame start, frame with dirty areas, update done";
  log.events.clear();
  s.frame();
  EXPECT_EQ(log.events, "1") << "no dirty areas: no event 2";
  s.refresh.onFocusOff();
  s.refresh.onFocusOn();
  EXPECT_EQ(log.events, "143");
  s.refresh.SetFlags(nullptr, CRefreshScreen::kGrey);
  s.frame();
  uint16_t p = s.at(20, 20);
  int r = p >> 11, g = (p >> 5) & 63, b = p & 31;
  EXPECT_EQ(r, b);
  EXPECT_EQ(g >> 1, r) << "grey: equal channels";
  EXPECT_EQ(r, ((255 * 77) >> 8) >> 3);
  s.refresh.removeNotifier(&log);
}

// Background pixel at screen (x, y): the background at its position, wrapped per the scroll mode.
TEST(BackgroundTest, EachScrollModeWrapsAroundItsEdges) {
  struct Case {
    int w, h, mode;
  };
  for (Case k : {Case{60, 30, CRefreshScreen::kHorizontal}, Case{40, 50, CRefreshScreen::kVertical},
                 Case{70, 45, CRefreshScreen::kBoth}}) {
    Screen s(40, 30);
    CGraphicsObject art(k.w, k.h, 16);
    for (int y = 0; y < k.h; ++y)
      for (int x = 0; x < k.w; ++x) art.pixels16()[y * k.w + x] = static_cast<uint16_t>(x + 100 * y);
    s.refresh.SetBackground(&art);
    EXPECT_EQ(s.refresh.getScrollMode(), k.mode);
    for (CXPoint offset : {CXPoint(0, 0), CXPoint(-13, 0), CXPoint(7, -9), CXPoint(-1000, 1003)}) {
      if (k.mode == CRefreshScreen::kHorizontal) offset.y = 0;
      if (k.mode == CRefreshScreen::kVertical) offset.x = 0;
      s.refresh.getBackgroundIfc()->SetPosition(offset);
      s.refresh.Invalidate();
      s.frame();
      for (int y = 0; y < 30; y += 3)
        for (int x = 0; x < 40; x += 3) {
          int bx = (((x - offset.x) % k.w) + k.w) % k.w, by = (((y - offset.y) % k.h) + k.h) % k.h;
          ASSERT_EQ(s.at(x, y), static_cast<uint16_t>(bx + 100 * by))
              << "mode " << k.mode << " offset " << offset.x << "," << offset.y << " at " << x << "," << y;
        }
    }
  }
}

TEST(BackgroundTest, ScrollModeFollowsTheSizes) {
  Screen s(40, 30);
  CGraphicsObject small(10, 10, 16), same(40, 30, 16);
  s.refresh.SetBackground(&small);
  EXPECT_EQ(s.refresh.getScrollMode(), CRefreshScreen::kNoScroll);
  s.refresh.SetBackground(&same);
  EXPECT_EQ(s.refresh.getScrollMode(), CRefreshScreen::kHorizontal) << "equally high";
  // A background without scrolling that is moved starts to scroll in that direction.
  s.refresh.SetBackground(&small);
  s.refresh.getBackgroundIfc()->SetPosition(0, 3);
  s.refresh.Invalidate();
  s.frame();
  EXPECT_EQ(s.refresh.getScrollMode(), CRefreshScreen::kVertical);
  EXPECT_FALSE(s.refresh.SetBackground(CXString("missing.img"))) << "no image loader yet";
}

TEST(BackgroundTest, AnImageFileBecomesTheBackgroundWithItsPixelsOrComposedOverBlack) {
  struct Case {
    const char* name;
    bool alpha;
    uint16_t expected;  // at a pixel of colour 0xFFFF and alpha 128 (when there is alpha)
  };
  // 0xFFFF at alpha 128 over black: each channel (0 * 256 + c * 128) >> 8, plus one.
  const std::vector<Case> cases = {{"plain", false, 0xFFFF}, {"with alpha", true, (16 << 11) | (32 << 5) | 16}};
  for (const Case& c : cases) {
    CRefreshScreen::setImageLoader([&](const CXString&) {
      auto image = std::make_unique<CGraphicsObject>(40, 30, 16, c.alpha);
      std::fill_n(image->pixels16(), 40 * 30, 0xFFFF);
      if (c.alpha) std::fill_n(image->GetAlphaPtr(), 40 * 30, 128);
      image->SetPosition(0, 2);
      return image;
    });
    Screen s(40, 30);
    CColor red(255, 0, 0);
    s.refresh.SetBackground(&red);
    ASSERT_TRUE(s.refresh.SetBackground(CXString("art.img"))) << c.name;
    EXPECT_EQ(s.refresh.getBackgroundIfc()->GetPixel(5, 5), c.expected) << c.name;
    EXPECT_EQ(s.refresh.getBackgroundIfc()->GetPosition(), CXPoint(0, 2)) << c.name;
    s.frame();
    EXPECT_EQ(s.at(5, 5), c.expected) << c.name;
  }
  CRefreshScreen::setImageLoader({});
}

TEST(SurfaceTest, CopyCentresASmallerSourceAndCutsAtTheEdges) {
  CDirectDrawSurface screen(CXSize(20, 10), 16), small(CXSize(4, 2), 16);
  std::fill_n(small.pixels16(), 8, 0x7777);
  CXRect rect(0, 0, 20, 10);
  ASSERT_TRUE(screen.Blt(&small, 0, 0, &rect));
  // Centred: x = (20 - 4) / 2 = 8, y = (10 - 2) / 2 = 4.
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x)
      EXPECT_EQ(screen.GetPixel(x, y), (x >= 8 && x < 12 && y >= 4 && y < 6) ? 0x7777 : 0) << x << "," << y;

  // Drawn as an object: wholly outside is skipped, overhangs are cut.
  CDirectDrawSurface target(CXSize(10, 10), 16), tile(CXSize(4, 4), 16);
  std::fill_n(tile.pixels16(), 16, 0x1F);
  tile.SetDestiny(&target);
  tile.SetPosition(-10, 0);
  tile.Redraw();
  tile.SetPosition(8, 8);
  tile.Redraw();
  EXPECT_EQ(target.GetPixel(9, 9), 0x1F);
  EXPECT_EQ(target.GetPixel(7, 9), 0);
  tile.SetPosition(-2, -3);
  tile.Redraw();
  EXPECT_EQ(target.GetPixel(1, 0), 0x1F);
  EXPECT_EQ(target.GetPixel(2, 0), 0);
}

TEST(ColorTest, ModelsAndConversions) {
  CColor c(200, 100, 50);
  EXPECT_EQ(c.Convert(CColor::RGB565), ((200u >> 3) << 11) | ((100u >> 2) << 5) | (50u >> 3));
  EXPECT_EQ(c.Convert(CColor::RGB555), ((200u >> 3) << 10) | ((100u >> 3) << 5) | (50u >> 3));
  EXPECT_EQ(c.GetInBPP(16), c.Convert(CColor::RGB565));
  EXPECT_EQ(c.GetInBPP(15), c.Convert(CColor::RGB555));
  EXPECT_EQ(c.GetInBPP(7), c.getPixel()) << "unknown depths unchanged";
  CColor p;
  p.Set(static_cast<uint16_t>(c.Convert(CColor::RGB565)), CColor::RGB565);
  EXPECT_EQ(p.Convert(CColor::RGB24), p.getPixel()) << "16-bit values are not widened";
  EXPECT_TRUE(c == p);
  EXPECT_TRUE(p == c);
  CColor q;
  q.Set(0x12, 200, 100, 50);
  EXPECT_EQ(q.getPixel(), 0x12C86432u);
  q.set(-1);
  EXPECT_EQ(q.getModel(), CColor::ARGB32);
  EXPECT_TRUE(c != q);
}

TEST(DrawableTest, AnchorFlipsAndOpacity) {
  CGraphicsObject o(3, 2, 16, true);
  for (int i = 0; i < 6; ++i) {
    o.pixels16()[i] = static_cast<uint16_t>(i + 1);
    o.GetAlphaPtr()[i] = static_cast<uint8_t>(10 * (i + 1));
  }
  o.setAnchor(1, 1);
  o.SetPosition(10, 10);
  EXPECT_EQ(o.GetPosition(), CXPoint(9, 9));
  o.FlipV();
  EXPECT_EQ(o.GetPixel(0, 0), 3);
  EXPECT_EQ(o.GetAlpha(0, 0), 30);
  o.FlipH();
  EXPECT_EQ(o.GetPixel(0, 0), 6);
  EXPECT_TRUE(o.isFlippedH() && o.isFlippedV());
  o.resetFlips();
  EXPECT_EQ(o.GetPixel(0, 0), 1);
  EXPECT_EQ(o.GetPixel(2, 1), 6);
  EXPECT_FALSE(o.isFlippedH() || o.isFlippedV());
  o.SetOpacity(300);
  EXPECT_EQ(o.GetOpacity(), 255);
  o.AddOpacity(-1000);
  EXPECT_EQ(o.GetOpacity(), 0);
  EXPECT_FALSE(CGraphicsObject(0, 5).GetDataPtr());
  EXPECT_FALSE(CGraphicsObject(100000, 100000).GetDataPtr()) << "absurd sizes are refused";
}

TEST(DrawableTest, BorrowedPixelsBringTheirAlphaAndMoveWithoutACopy) {
  CGraphicsObject frame(2, 2, 16, true), shown;
  frame.pixels16()[3] = 0x1234;
  frame.GetAlphaPtr()[3] = 77;
  frame.GetAlphaPtr()[0] = 0;
  shown.SetDataPtr(frame.GetDataPtr(), 2, 2, 16, 2, frame.GetAlphaPtr());
  shown.SetPosition(10, 10);
  EXPECT_TRUE(shown.hasAlpha());
  EXPECT_EQ(shown.GetAlpha(1, 1), 77);
  EXPECT_FALSE(shown.testHit(10, 10)) << "transparent in the lent plane";
  EXPECT_TRUE(shown.testHit(11, 11));
  EXPECT_FALSE(shown.movePixelsTo(frame)) << "borrowed pixels are not its to give";
  shown.SetDataPtr(frame.GetDataPtr(), 2, 2, 16, 2);
  EXPECT_FALSE(shown.hasAlpha());

  CGraphicsObject taker(5, 5, 16);
  ASSERT_TRUE(frame.movePixelsTo(taker));
  EXPECT_EQ(taker.Size(), CXSize(2, 2));
  EXPECT_EQ(taker.GetPixel(1, 1), 0x1234);
  EXPECT_EQ(taker.GetAlpha(1, 1), 77);
  EXPECT_EQ(frame.GetDataPtr(), nullptr);
  EXPECT_FALSE(frame.hasAlpha());
}

TEST(DrawableTest, DepthConversionAtTheBitEdges) {
  CGraphicsObject o(3, 1, 15);
  o.pixels16()[0] = 0x7FFF;
  o.pixels16()[1] = 0x03E0;  // green only
  o.pixels16()[2] = 0x0001;
  ASSERT_TRUE(o.Convert(16));
  EXPECT_EQ(o.GetPixel(0, 0), 0xFFDF) << "green gains a zero low bit";
  EXPECT_EQ(o.GetPixel(1, 0), 0x07C0);
  EXPECT_EQ(o.GetPixel(2, 0), 0x0001);
  o.pixels16()[1] = 0x0020;  // the lowest green bit of 5-6-5 is lost in 5-5-5
  ASSERT_TRUE(o.Convert(15));
  EXPECT_EQ(o.GetPixel(0, 0), 0x7FFF);
  EXPECT_EQ(o.GetPixel(1, 0), 0x0000);
  EXPECT_FALSE(o.Convert(24));
}

TEST(DrawableTest, ChildrenAreDrawnOverTheParentsOwnPixels) {
  CGraphicsObject parent(4, 4, 16), child(2, 2, 16), target(4, 4, 16);
  std::fill_n(parent.pixels16(), 16, 1);
  std::fill_n(child.pixels16(), 4, 2);
  parent.addObject(&child);
  parent.SetDestiny(&target);
  parent.Redraw();
  EXPECT_EQ(target.GetPixel(0, 0), 2);
  child.SetPosition(2, 2);
  parent.Redraw();
  EXPECT_EQ(target.GetPixel(0, 0), 1) << "the kept copy is restored before children are drawn";
  EXPECT_EQ(target.GetPixel(3, 3), 2);
  parent.FlipV();
  parent.Redraw();
  EXPECT_EQ(target.GetPixel(0, 0), 1) << "flipping works on the parent's own pixels";
}

struct Stepper : CPlayable {
  int steps = 0, prepared = 0;
  void next() override { ++steps; }
  void prepareNext() override { ++prepared; }
};

TEST(AnimationManagerTest, PlayablesPrepareTheirNextStepTwoTicksAhead) {
  struct Case {
    int fps, tick;
    std::vector<int> prepared;  // after each tick, the prepares so far
  };
  // The first tick's length is not known yet: no warning beyond the step itself.
  const std::vector<Case> cases = {
      {15, 16, {0, 0, 0, 1, 2, 2}},  // 66 ms: at 48 (48 + 32 >= 66) and 64; stepped at 80, 32 ms ahead is early
      {60, 16, {0, 1, 2, 3, 4, 5}},  // 16 ms: every step is within two ticks of the last
      {5, 50, {0, 0, 1, 2, 2, 2}},   // 200 ms: at 100 and 150; stepped at 200
  };
  for (const Case& c : cases) {
    tarnvik::VirtualClock clock;
    tarnvik::setEngineClock(&clock);
    CAnimationManager manager;
    Stepper s;
    s.setFPS(c.fps);
    s.play();
    manager.add(&s);
    manager.domodal();
    for (size_t i = 1; i < c.prepared.size(); ++i) {
      clock.advance(c.tick);
      manager.domodal();
      EXPECT_EQ(s.prepared, c.prepared[i]) << c.fps << " fps, tick " << i;
    }
    s.stop(false);
    clock.advance(c.tick);
    manager.domodal();
    EXPECT_EQ(s.prepared, c.prepared.back()) << "a stopped playable prepares nothing";
    tarnvik::setEngineClock(nullptr);
  }
}

TEST(AnimationManagerTest, StepsAtThePeriodWithoutCatchingUp) {
  tarnvik::VirtualClock clock;
  tarnvik::setEngineClock(&clock);
  CAnimationManager manager;
  Stepper twelve, none;
  twelve.setFPS(12);  // 1000 / 12 = 83 ms
  twelve.play();
  none.play();  // frame rate 0: never stepped
  manager.add(&twelve);
  manager.add(&none);
  clock.advance(82);
  manager.domodal();
  EXPECT_EQ(twelve.steps, 0);
  clock.advance(1);
  manager.domodal();
  EXPECT_EQ(twelve.steps, 1);
  clock.advance(1000);  // a long stall: one step, not twelve
  manager.domodal();
  EXPECT_EQ(twelve.steps, 2);
  clock.advance(83);
  manager.domodal();
  EXPECT_EQ(twelve.steps, 3);
  twelve.pause();
  clock.advance(200);
  manager.domodal();
  EXPECT_EQ(twelve.steps, 3);
  manager.resume();
  manager.domodal();
  EXPECT_EQ(twelve.steps, 4);
  EXPECT_EQ(none.steps, 0);
  tarnvik::setEngineClock(nullptr);
}

TEST(WindowDisplayTest, DisplayModeFailuresAndErrorTexts) {
  tarnvik::HeadlessVideo video;
  CWindow window(nullptr, nullptr, &video, 64, 48);
  EXPECT_EQ(window.SetDisplayMode(0, 0, 12), CWindow::kErrorGraphics);
  EXPECT_EQ(window.getRefreshScreen(), nullptr) << "nothing is built after a failure";
  EXPECT_STREQ(CWindow::errorText(CWindow::kErrorGraphics), "Nieprawidłowe działanie karty graficznej.");
  EXPECT_STREQ(CWindow::errorText(CWindow::kErrorSound), "Nieprawidłowe działanie karty dźwiękowej.");
  EXPECT_STREQ(CWindow::errorText(-5), "Nieznany błąd krytyczny.");
  EXPECT_EQ(window.SetDisplayMode(0, 0, 16), 0);
  EXPECT_EQ(window.GetScreenSize(), CXSize(64, 48)) << "0 x 0 means the stored size";
  EXPECT_EQ(window.GetBpp(), 16);
  EXPECT_NE(window.GetScreenPtr(), nullptr);
}

TEST(WindowDisplayTest, FramesAreComposedAndPresentedOnlyWhileActive) {
  tarnvik::VirtualClock clock;
  tarnvik::setEngineClock(&clock);
  tarnvik::HeadlessVideo video;
  video.open(64, 48, false);
  CWindow window(nullptr, nullptr, &video, 64, 48);
  ASSERT_EQ(window.SetDisplayMode(), 0);
  CColor green(0, 255, 0);
  window.SetBackground(&green);
  std::unique_ptr<CGraphicsObject> box(solid(8, 8, 0xF800, 4, 4));
  window.getRefreshScreen()->put(box.get(), 0);
  window.Tick();
  EXPECT_EQ(video.frame()[5 * 64 + 5], 0xF800);
  EXPECT_EQ(video.frame()[40 * 64 + 40], 0x07E0);
  window.OnActivateApp(false);
  box->Invalidate();
  box->SetPosition(30, 30);
  box->Invalidate();
  int presented = video.framesPresented();
  window.Tick();
  EXPECT_EQ(video.framesPresented(), presented) << "no frame while inactive";
  window.OnActivateApp(true);
  window.Tick();
  EXPECT_EQ(video.frame()[5 * 64 + 5], 0x07E0);
  EXPECT_EQ(video.frame()[31 * 64 + 31], 0xF800);

  // The frame counter is drawn at (10, 10): white box, black glyphs.
  window.setShowFPS(true);
  window.Tick();
  EXPECT_EQ(video.frame()[10 * 64 + 10], 0xFFFF);
  bool ink = false;
  for (int y = 11; y < 18; ++y)
    for (int x = 11; x < 16; ++x) ink |= video.frame()[static_cast<size_t>(y) * 64 + x] == 0;
  EXPECT_TRUE(ink) << "the F of FPS";
  box.reset();
  tarnvik::setEngineClock(nullptr);
}

}  // namespace

namespace {

// Drawables anywhere (far off screen, at the int limits), of any opacity and clipping, with extreme
// priorities: frames compose without a fault and never write outside the destination.
TEST(RefreshScreenTest, HostileDrawablesNeverDrawOutsideTheScreen) {
  const int w = 64, h = 48, guard = 256;
  std::vector<uint16_t> memory(guard + w * h + guard, 0xBEEF);
  CGraphicsObject target;
  target.SetDataPtr(memory.data() + guard, w, h, 16, w);
  CRefreshScreen refresh(CXSize(w, h), 16);
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -100000, -40, -1, 0, 1, 30, 63, 64, 100000, INT32_MAX - 1, INT32_MAX};
  std::vector<std::unique_ptr<CGraphicsObject>> objects;
  for (int i = 0; i < 40; ++i) {
    int ow = 1 + static_cast<int>(next() % 80), oh = 1 + static_cast<int>(next() % 60);
    auto o = std::make_unique<CGraphicsObject>(ow, oh, 16, next() % 2 == 0);
    if (o->hasAlpha())
      for (int p = 0; p < ow * oh; ++p) o->GetAlphaPtr()[p] = static_cast<uint8_t>(next());
    o->SetOpacity(static_cast<int>(next() % 600) - 170);
    refresh.put(o.get(), extremes[next() % 13]);
    objects.push_back(std::move(o));
  }
  objects.push_back(std::make_unique<CGraphicsObject>(0, 0));  // no pixels at all
  refresh.put(objects.back().get(), 0);
  for (int frame = 0; frame < 60; ++frame) {
    for (auto& o : objects) {
      o->Invalidate();
      o->SetPosition(next() % 3 == 0 ? extremes[next() % 13] : static_cast<int>(next() % 200) - 100,
                     next() % 3 == 0 ? extremes[next() % 13] : static_cast<int>(next() % 200) - 100);
      if (next() % 4 == 0)
        o->SetClippingRect(CXRect(extremes[next() % 13], extremes[next() % 13], extremes[next() % 13],
                                  extremes[next() % 13]));
      if (next() % 5 == 0) o->SetAutoClip(next() % 2 == 0);
      if (next() % 7 == 0) o->Visible(next() % 2 == 0);
      o->Invalidate();
    }
    if (frame % 10 == 0) refresh.SetPriority(objects[next() % objects.size()].get(), extremes[next() % 13]);
    if (frame % 13 == 0) {
      CXRect odd(extremes[next() % 13], extremes[next() % 13], extremes[next() % 13], extremes[next() % 13]);
      refresh.Invalidate(&odd);
    }
    bool init = false;
    refresh.Redraw(&target, nullptr, init);
    refresh.clearRegion();
  }
  for (int i = 0; i < guard; ++i) {
    ASSERT_EQ(memory[static_cast<size_t>(i)], 0xBEEF);
    ASSERT_EQ(memory[static_cast<size_t>(guard + w * h + i)], 0xBEEF);
  }
  EXPECT_EQ(refresh.getGraphicsAt(INT32_MIN, INT32_MAX), nullptr);
}

}  // namespace
