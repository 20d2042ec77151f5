// Drawables hidden under opaque ones: opaque rectangles, and partial frames that leave them out exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "graphics/animation.h"
#include "graphics/pixels/canvas.h"
#include "graphics/pixels/color.h"
#include "graphics/refresh_screen.h"

namespace {

constexpr int kW = 64, kH = 48;

// A drawable that counts its draws, to see what the refresh manager skipped.
struct Counted : CGraphicsObject {
  using CGraphicsObject::CGraphicsObject;
  int draws = 0;
  bool redraw(CGraphicsObject* destination) override {
    ++draws;
    return CGraphicsObject::redraw(destination);
  }
};

// A sprite of its own colours with an alpha plane: 255 inside a soft border of the given width
// (alpha 128 there); border 0 means no alpha plane at all.
std::unique_ptr<Counted> sprite(int w, int h, int x, int y, int border, uint16_t seed) {
  auto o = std::make_unique<Counted>(w, h, 16, border > 0);
  for (int i = 0; i < w * h; ++i) o->pixels16()[i] = static_cast<uint16_t>(seed * 977 + i * 31);
  if (border > 0)
    for (int py = 0; py < h; ++py)
      for (int px = 0; px < w; ++px) {
        bool edge = px < border || py < border || px >= w - border || py >= h - border;
        o->GetAlphaPtr()[py * w + px] = edge ? 128 : 255;
      }
  o->SetPosition(x, y);
  return o;
}

struct OpaqueCase {
  std::string name;
  int w, h;
  std::vector<int> alpha;  // empty: no alpha plane
  CXRect expected;
};

TEST(OcclusionTest, TheOpaqueRectangleIsTheLargestOfFullAlpha) {
  const std::vector<OpaqueCase> cases = {
      {"no alpha plane: all of it", 3, 2, {}, CXRect(0, 0, 3, 2)},
      {"all transparent", 2, 2, {0, 0, 0, 0}, CXRect()},
      {"254 is not opaque", 2, 1, {255, 254}, CXRect(0, 0, 1, 1)},
      {"the wider of two", 4, 3, {255, 0, 0, 0,  255, 255, 255, 255,  255, 0, 0, 0}, CXRect(0, 1, 4, 2)},
      {"an L: the tall arm beats the short leg", 3, 4,
       {255, 0, 0,  255, 0, 0,  255, 0, 0,  255, 255, 0}, CXRect(0, 0, 1, 4)},
      {"a hole splits the block", 5, 3,
       {255, 255, 0, 255, 255,  255, 255, 255, 255, 255,  255, 255, 255, 255, 255}, CXRect(0, 1, 5, 3)},
  };
  for (const OpaqueCase& c : cases) {
    CGraphicsObject o(c.w, c.h, 16, !c.alpha.empty());
    for (size_t i = 0; i < c.alpha.size(); ++i) o.GetAlphaPtr()[i] = static_cast<uint8_t>(c.alpha[i]);
    EXPECT_EQ(o.opaqueRect(), c.expected) << c.name;
  }
}

TEST(OcclusionTest, TheOpaqueAreaFollowsPlaceClippingOpacityAndAlphaChanges) {
  CGraphicsObject target(kW, kH, 16);
  auto o = sprite(10, 10, 5, 6, 2, 1);
  EXPECT_EQ(o->opaqueArea(target), CXRect(7, 8, 13, 14));
  o->SetClippingRect(CXRect(0, 0, 4, 10));
  EXPECT_EQ(o->opaqueArea(target), CXRect(7, 8, 9, 14)) << "within its own clipping";
  o->SetClippingRect(CXRect());
  o->SetPosition(60, 0);
  EXPECT_EQ(o->opaqueArea(target), CXRect(62, 2, 64, 8)) << "within the destination";
  o->SetPosition(5, 6);
  o->SetOpacity(254);
  EXPECT_TRUE(o->opaqueArea(target).isEmpty()) << "translucent";
  o->SetOpacity(255);
  o->GetAlphaPtr()[6 * 10 + 5] = 0;  // written through the plane: found again
  EXPECT_EQ(o->opaqueArea(target), CXRect(7, 8, 13, 12));
  o->FlipH();
  EXPECT_EQ(o->opaqueArea(target), CXRect(7, 10, 13, 14)) << "mirrored top to bottom";
  CGraphicsObject child(2, 2, 16);
  o->addObject(&child);
  EXPECT_TRUE(o->opaqueArea(target).isEmpty()) << "children change the pixels at every draw";
}

TEST(OcclusionTest, AnUnpackedFramesOpaqueRectangleFollowsItsFlips) {
  // A lopsided opaque block, so that every flip moves it.
  CAnimo made;
  auto frame = std::make_unique<CAnimoFrame>(12, 10, 16, true);
  for (int y = 1; y < 5; ++y)
    for (int x = 2; x < 7; ++x) frame->GetAlphaPtr()[y * 12 + x] = 255;
  made.AddFrame(std::move(frame));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(made.SaveToMemory(4, bytes));
  struct Case {
    bool h, v;
    CXRect expected;
  };
  for (const Case& c : {Case{false, false, CXRect(2, 1, 7, 5)}, Case{true, false, CXRect(2, 5, 7, 9)},
                        Case{false, true, CXRect(5, 1, 10, 5)}, Case{true, true, CXRect(5, 5, 10, 9)}}) {
    CAnimo animo;
    ASSERT_TRUE(animo.LoadFromMemory(bytes.data(), bytes.size()));
    if (c.h) animo.FlipH();
    if (c.v) animo.FlipV();
    ASSERT_TRUE(animo.SetFrame(0));
    EXPECT_EQ(animo.opaqueRect(), c.expected) << c.h << c.v;
    EXPECT_EQ(tarnvik::canvas::largestOpaqueRect(std::as_const(animo).GetAlphaPtr(), 12, 10), c.expected)
        << "the pixels shown agree";
  }
}

// One arrangement: the drawables by priority, then a change before the partial frame.
struct FrameCase {
  std::string name;
  std::function<void(std::vector<std::unique_ptr<Counted>>&)> build;
  std::function<void(std::vector<std::unique_ptr<Counted>>&)> change;
  int lowestDraws;  // draws of the first drawable in the partial frame, -1: not checked
};

TEST(OcclusionTest, PartialFramesGiveThePictureOfDrawingEverythingInOrder) {
  using List = std::vector<std::unique_ptr<Counted>>;
  auto nudge = [](Counted& o, int dx) {  // as a script's move: the old and the new place are dirty
    o.Invalidate();
    o.Move(dx, 0);
    o.Invalidate();
  };
  const std::vector<FrameCase> cases = {
      {"covered: the hidden drawable is not drawn",
       [](List& l) {
         l.push_back(sprite(10, 10, 12, 12, 0, 1));
         l.back()->SetOpacity(100);
         l.push_back(sprite(30, 30, 5, 5, 3, 2));
       },
       [](List& l) {
         CXRect dirty(10, 10, 25, 25);
         l[1]->GetCanvas()->invalidateArea(dirty);
       },
       0},
      {"half covered: drawn where it shows",
       [](List& l) {
         l.push_back(sprite(20, 12, 10, 10, 2, 1));
         l.push_back(sprite(16, 20, 20, 4, 0, 2));
       },
       [&](List& l) { nudge(*l[0], 3); }, 1},
      {"a translucent cover hides nothing",
       [](List& l) {
         l.push_back(sprite(10, 10, 12, 12, 0, 1));
         l.push_back(sprite(30, 30, 5, 5, 0, 2));
         l.back()->SetOpacity(200);
       },
       [&](List& l) { nudge(*l[0], 1); }, 1},
      {"a hole written into the cover shows what lies under it",
       [](List& l) {
         l.push_back(sprite(10, 10, 12, 12, 0, 1));
         l.push_back(sprite(30, 30, 5, 5, 1, 2));
       },
       [](List& l) {
         l[1]->GetAlphaPtr()[10 * 30 + 10] = 40;  // over the lower sprite
         l[1]->Invalidate();
       },
       1},
      {"three layers: the middle translucent one is hidden too",
       [](List& l) {
         l.push_back(sprite(14, 14, 8, 8, 2, 1));
         l.push_back(sprite(14, 14, 12, 12, 3, 2));
         l.back()->SetOpacity(90);
         l.push_back(sprite(24, 24, 4, 4, 2, 3));
       },
       [&](List& l) { nudge(*l[0], 2); }, -1},
      {"a mirrored cover hides its mirrored part",
       [](List& l) {
         l.push_back(sprite(8, 8, 20, 20, 0, 1));
         l.push_back(sprite(20, 20, 15, 15, 2, 2));
         for (int x = 0; x < 20; ++x) l.back()->GetAlphaPtr()[x * 20 + 10] = 0;
       },
       [](List& l) {
         l[1]->FlipV();
         l[1]->Invalidate();
       },
       1},
  };
  for (const FrameCase& c : cases) {
    CRefreshScreen refresh(CXSize(kW, kH), 16);
    CGraphicsObject target(kW, kH, 16);
    CColor grey(90, 100, 110);
    refresh.SetBackground(&grey);
    List drawables;
    c.build(drawables);
    for (size_t i = 0; i < drawables.size(); ++i) refresh.put(drawables[i].get(), static_cast<int>(i));
    bool init = false;
    refresh.Redraw(&target, nullptr, init);
    refresh.clearRegion();
    c.change(drawables);
    for (auto& d : drawables) d->draws = 0;
    refresh.Redraw(&target, nullptr, init);
    refresh.clearRegion();
    if (c.lowestDraws >= 0) {
      EXPECT_EQ(drawables[0]->draws, c.lowestDraws) << c.name;
    }

    // Everything drawn in order over the background, nothing skipped.
    CGraphicsObject expected(kW, kH, 16);
    expected.Fill(&grey);
    for (auto& d : drawables) d->CGraphicsObject::redraw(&expected);
    int differing = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) differing += target.GetPixel(x, y) != expected.GetPixel(x, y);
    EXPECT_EQ(differing, 0) << c.name;
  }
}

// A round sprite: transparent corners, a soft ring (alpha 128) and an opaque middle.
std::unique_ptr<Counted> blob(int size, int x, int y, uint16_t seed) {
  auto o = sprite(size, size, x, y, 1, seed);
  const double r = size / 2.0;
  for (int py = 0; py < size; ++py)
    for (int px = 0; px < size; ++px) {
      const double dx = px + 0.5 - r, dy = py + 0.5 - r, d = dx * dx + dy * dy;
      o->GetAlphaPtr()[py * size + px] = d > r * r ? 0 : d > (r - 2) * (r - 2) ? 128 : 255;
    }
  return o;
}

// Three overlapping round sprites (the middle one translucent) and a square one apart, put on the
// screen in that order.
std::vector<std::unique_ptr<Counted>> overlappingDrawables(CRefreshScreen& refresh) {
  std::vector<std::unique_ptr<Counted>> l;
  l.push_back(blob(20, 4, 6, 1));
  l.push_back(blob(16, 14, 10, 2));
  l.back()->SetOpacity(150);
  l.push_back(blob(24, 20, 14, 3));
  l.push_back(sprite(12, 10, 40, 30, 2, 4));
  for (size_t i = 0; i < l.size(); ++i) refresh.put(l[i].get(), static_cast<int>(i));
  return l;
}

// How many pixels of the target differ from the registered, visible drawables drawn in order over
// the background colour.
int differsFromFullPicture(const CGraphicsObject& target, CRefreshScreen& refresh,
                           const std::vector<std::unique_ptr<Counted>>& drawables, const CColor& background) {
  CGraphicsObject expected(kW, kH, 16);
  expected.Fill(&background);
  std::vector<Counted*> order;
  for (auto& d : drawables)
    if (d && refresh.contains(d.get()) && d->isVisible()) order.push_back(d.get());
  std::sort(order.begin(), order.end(), [&](Counted* a, Counted* b) { return refresh.getIndex(a) < refresh.getIndex(b); });
  for (Counted* o : order) o->CGraphicsObject::redraw(&expected);
  int differing = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) differing += target.GetPixel(x, y) != expected.GetPixel(x, y);
  return differing;
}

TEST(OcclusionTest, PartialFramesAfterEveryKindOfChangeGiveTheFullPicture) {
  // Each step changes the scene as scripts do and composes a partial frame; the picture must be the
  // one drawing everything in order gives.
  using List = std::vector<std::unique_ptr<Counted>>;
  auto nudge = [](Counted& o, int dx, int dy) {
    o.Invalidate();
    o.Move(dx, dy);
    o.Invalidate();
  };
  CRefreshScreen refresh(CXSize(kW, kH), 16), other(CXSize(kW, kH), 16);
  CGraphicsObject target(kW, kH, 16);
  CColor grey(90, 100, 110);
  refresh.SetBackground(&grey);
  List l = overlappingDrawables(refresh);
  size_t crowd = 0;
  const std::vector<std::pair<std::string, std::function<void()>>> steps = {
      {"a move", [&] { nudge(*l[0], 5, 0); }},
      {"a move under two others", [&] { nudge(*l[1], 3, 4); }},
      {"two moves back", [&] { nudge(*l[0], -5, 0), nudge(*l[2], -6, -2); }},
      {"the shape shrinks, told once after",
       [&] {
         uint8_t* a = l[2]->GetAlphaPtr();
         for (int i = 0; i < 24 * 6; ++i) a[i] = 0;
         l[2]->Invalidate();
       }},
      {"hidden", [&] { l[2]->Visible(false); }},
      {"moved while hidden", [&] { nudge(*l[2], 10, 6); }},
      {"shown again", [&] { l[2]->Visible(true); }},
      {"clipped", [&] {
         l[3]->SetClippingRect(CXRect(2, 2, 8, 6));
         l[3]->Invalidate();
       }},
      {"unclipped and faded", [&] {
         l[3]->SetClippingRect(CXRect());
         l[3]->SetOpacity(60);
         l[3]->Invalidate();
       }},
      {"an area told by a script, with a move", [&] {
         CXRect area(30, 0, 50, 20);
         refresh.Invalidate(&area);
         nudge(*l[1], -2, 0);
       }},
      {"a new drawable", [&] {
         l.push_back(blob(14, 30, 20, 5));
         refresh.put(l.back().get(), 2);
       }},
      {"moved behind another", [&] {
         refresh.SetPriority(l[0].get(), 9);
         nudge(*l[0], 8, 8);
       }},
      {"removed", [&] { refresh.remove(l[4].get()); }},
      {"moved, then handed to another screen", [&] {
         nudge(*l[3], -4, 2);
         other.put(l[3].get(), 0);
       }},
      {"moved off the edge", [&] { nudge(*l[1], -20, -5); }},
      // Many small moves at once leave many dirty rectangles, side by side and stacked.
      {"a crowd of small drawables", [&] {
         crowd = l.size();
         for (int i = 0; i < 30; ++i) {
           l.push_back(blob(6, (i * 7) % 58, (i * 11) % 42, static_cast<uint16_t>(10 + i)));
           refresh.put(l.back().get(), 10 + i);
         }
       }},
      {"six of the crowd move", [&] {
         for (size_t i = crowd; i < crowd + 6; ++i) nudge(*l[i], 2, static_cast<int>(i % 2));
       }},
      // Past a few dozen rectangles the frame composes the screen as one area.
      {"the whole crowd moves at once", [&] {
         for (size_t i = crowd; i < l.size(); ++i) nudge(*l[i], 1 + static_cast<int>(i % 3), static_cast<int>(i % 2));
       }},
  };
  bool init = false;
  refresh.Redraw(&target, nullptr, init);
  refresh.clearRegion();
  for (const auto& [name, change] : steps) {
    change();
    refresh.Redraw(&target, nullptr, init);
    refresh.clearRegion();
    ASSERT_EQ(differsFromFullPicture(target, refresh, l, grey), 0) << name;
  }
}

TEST(OcclusionTest, ChangesMadeByObserversOfAFrameShowInTheNextFrame) {
  // Observers of a frame's start run script code in the middle of the frame, those of its end after
  // it but before the region is cleared: what they change, even the order of the drawables, must
  // neither break this frame nor be lost for the next.
  using List = std::vector<std::unique_ptr<Counted>>;
  struct Cases {
    std::string name;
    std::function<void(CRefreshScreen&, List&)> change;
    int event = CCanvasObserver::kFrameStarted;
  };
  const std::vector<Cases> cases = {
      {"a move", [](CRefreshScreen&, List& l) {
         l[1]->Invalidate();
         l[1]->Move(9, 3);
         l[1]->Invalidate();
       }},
      {"a drawable hidden", [](CRefreshScreen&, List& l) { l[2]->Visible(false); }},
      {"a drawable put in below the others", [](CRefreshScreen& r, List& l) {
         l.push_back(blob(18, 26, 8, 7));
         r.put(l.back().get(), -1);
       }},
      {"a drawable taken out", [](CRefreshScreen& r, List& l) { r.remove(l[0].get()); }},
      {"a drawable destroyed", [](CRefreshScreen&, List& l) { l[1].reset(); }},
      {"the whole screen told", [](CRefreshScreen& r, List& l) {
         l[3]->SetPosition(2, 2);  // no invalidation of its own
         r.Invalidate();
       }},
      {"a move when the frame is composed",
       [](CRefreshScreen&, List& l) {
         l[2]->Invalidate();
         l[2]->Move(-7, 5);
         l[2]->Invalidate();
       },
       CCanvasObserver::kFrameComposed},
  };
  for (const Cases& c : cases) {
    struct Observer : CCanvasObserver {
      int event = 0;
      std::function<void()> change;
      void onCanvasEvent(int e) override {
        if (e == event && change) std::exchange(change, nullptr)();
      }
    } observer;
    CRefreshScreen refresh(CXSize(kW, kH), 16);
    CGraphicsObject target(kW, kH, 16);
    CColor grey(90, 100, 110);
    refresh.SetBackground(&grey);
    List l = overlappingDrawables(refresh);
    refresh.addNotifier(&observer);
    refresh.enableNotifyFlag(true);
    bool init = false;
    auto frame = [&] {
      refresh.Redraw(&target, nullptr, init);
      refresh.clearRegion();
    };
    frame();
    // A move in the frame itself, so that it runs partial, with covers and a window.
    l[0]->Invalidate();
    l[0]->Move(2, 1);
    l[0]->Invalidate();
    observer.event = c.event;
    observer.change = [&] { c.change(refresh, l); };
    frame();
    frame();
    EXPECT_EQ(differsFromFullPicture(target, refresh, l, grey), 0) << c.name;
    refresh.removeNotifier(&observer);
  }
}

TEST(OcclusionTest, APartialFrameLeavesPixelsNoChangedDrawableCoversAlone) {
  // A moved round sprite dirties its old and new box; the transparent corners of both (and pixels
  // no drawable ever covers) cannot change, so a mark put there survives the frame.
  CRefreshScreen refresh(CXSize(kW, kH), 16);
  CGraphicsObject target(kW, kH, 16);
  CColor grey(90, 100, 110);
  refresh.SetBackground(&grey);
  auto o = blob(20, 10, 10, 1);
  refresh.put(o.get(), 0);
  bool init = false;
  refresh.Redraw(&target, nullptr, init);
  refresh.clearRegion();
  const uint16_t mark = 0x1234;
  const CXPoint corners[] = {{10, 10}, {29, 10}, {10, 29}, {32, 29}};  // old and new corners
  for (CXPoint p : corners) static_cast<uint16_t*>(target.GetDataPtr())[p.y * target.GetPitch() + p.x] = mark;
  static_cast<uint16_t*>(target.GetDataPtr())[20 * target.GetPitch() + 20] = mark;  // under the sprite
  o->Invalidate();
  o->Move(3, 0);
  o->Invalidate();
  refresh.Redraw(&target, nullptr, init);
  for (CXPoint p : corners) EXPECT_EQ(target.GetPixel(p.x, p.y), mark) << p.x << "," << p.y;
  EXPECT_NE(target.GetPixel(20, 20), mark) << "what the sprite covers is composed again";
}

}  // namespace
