// The methods IMAGE and ANIMO share (clipping, hit tests, pixel queries, alpha merging, anchors,
// flips, recolouring), run on a drawable by either type's runner.
#pragma once

#include <functional>

#include "runtime/runner.h"

class CGraphicsObject;

namespace tarnvik {

enum class GraphicMethod {
  ClearClipping, SetClipping, GetWidth, GetHeight, IsNear, IsInside, GetAlpha, GetPixel, MergeAlpha, MergeAlpha2,
  GetCenterX, GetCenterY, IsVisible, SetOpacity, GetOpacity, SetAnchor, FlipH, FlipV, ResetFlips, DrawOnto,
  ReplaceColor
};

struct GraphicTarget {
  // What is on the screen (box, hit tests, pixel queries, flips, anchor, opacity).
  CGraphicsObject* shown = nullptr;
  // Whose pixels and alpha the changing methods edit (the image itself, an animation's frame).
  CGraphicsObject* pixels = nullptr;
  // Redraws the shown area.
  std::function<void()> invalidate;
  // Called after `pixels` changed (an animation shows the edited frame again).
  std::function<void()> pixelsChanged;
};

// Runs the method; the result is the method's value (null for none).
CMC_Object* runGraphicMethod(GraphicMethod method, const GraphicTarget& target, CMC_ObjectsContainer* scope,
                             const CMC_Args* args);

// The drawable of the object argument i names, or null.
CGraphicsObject* drawableArgument(const CMC_Args* args, int i, CMC_ObjectsContainer* scope);

// 5-6-5 (or 5-5-5) channels widened to 8 bits by repeating their top bits.
void widenChannels(uint16_t pixel, int bpp, int& r, int& g, int& b);

}  // namespace tarnvik
