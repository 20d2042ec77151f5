// The methods shared by IMAGE and ANIMO.
#include "objects/drawables/graphic_methods.h"

#include <algorithm>
#include <cstring>

#include "foundation/log.h"
#include "graphics/pixels/color.h"
#include "graphics/pixels/graphics_object.h"
#include "objects/drawables/drawable_owner.h"
#include "runtime/variable_factory.h"

namespace tarnvik {

namespace {

// Combines another drawable's alpha (placed at x, y of the target) into the target's alpha plane.
void mergeAlpha(CGraphicsObject& image, const CGraphicsObject& other, int x, int y, int mode) {
  if (!image.GetDataPtr()) return;
  if (!image.hasAlpha()) {
    image.setAlphaPlane(true);
    if (uint8_t* a = image.GetAlphaPtr()) std::memset(a, 255, static_cast<size_t>(image.Width()) * image.Height());
  }
  uint8_t* alpha = image.GetAlphaPtr();
  if (!alpha) return;
  for (int oy = 0; oy < other.Height(); ++oy) {
    int iy = y + oy;
    if (iy < 0 || iy >= image.Height()) continue;
    for (int ox = 0; ox < other.Width(); ++ox) {
      int ix = x + ox;
      if (ix < 0 || ix >= image.Width()) continue;
      uint8_t& mine = alpha[static_cast<size_t>(iy) * image.Width() + ix];
      int theirs = other.GetAlpha(ox, oy);
      if (mode == 0) mine = static_cast<uint8_t>(mine * theirs / 255);
      else if (mode == 1) mine = static_cast<uint8_t>(std::max<int>(mine, theirs));
      else mine = static_cast<uint8_t>(std::min<int>(mine, theirs));
    }
  }
}

// The anchor point of a named place of the rectangle, in its own coordinates.
bool namedAnchor(const CXString& name, int w, int h, CXPoint& out) {
  struct Place {
    const char* name;
    int fx, fy;  // halves of the width and height: 0, 1 (middle) or 2 (far edge)
  };
  static const Place places[] = {{"CENTER", 1, 1},    {"LEFTUPPER", 0, 0}, {"RIGHTUPPER", 2, 0},
                                 {"LEFTLOWER", 0, 2}, {"RIGHTLOWER", 2, 2}, {"LEFT", 0, 1},
                                 {"RIGHT", 2, 1},     {"TOP", 1, 0},       {"BOTTOM", 1, 2}};
  for (const Place& p : places)
    if (name.equalsIgnoreCase(p.name)) {
      out = CXPoint(p.fx == 1 ? w / 2 : p.fx == 2 ? w : 0, p.fy == 1 ? h / 2 : p.fy == 2 ? h : 0);
      return true;
    }
  return false;
}

}  // namespace

CGraphicsObject* drawableArgument(const CMC_Args* args, int i, CMC_ObjectsContainer* scope) {
  CMC_Object* object = objectArgument(args, i, scope);
  return object ? object->getDrawable() : nullptr;
}

void widenChannels(uint16_t p, int bpp, int& r, int& g, int& b) {
  int r5 = bpp == 15 ? (p >> 10) & 31 : p >> 11, b5 = p & 31;
  r = (r5 << 3) | (r5 >> 2);
  b = (b5 << 3) | (b5 >> 2);
  if (bpp == 15) {
    int g5 = (p >> 5) & 31;
    g = (g5 << 3) | (g5 >> 2);
  } else {
    int g6 = (p >> 5) & 63;
    g = (g6 << 2) | (g6 >> 4);
  }
}

CMC_Object* runGraphicMethod(GraphicMethod method, const GraphicTarget& target, CMC_ObjectsContainer* scope,
                             const CMC_Args* args) {
  CGraphicsObject& image = *target.shown;
  CGraphicsObject& pixels = target.pixels ? *target.pixels : image;
  auto arg = [&](int i, int32_t fallback = 0) { return CMC_Runner::getParameterInteger(args, i, fallback); };
  auto integer = [](int64_t v) { return CMC_VariableFactory::integer(static_cast<int32_t>(v)); };
  auto invalidate = [&] {
    if (target.invalidate) target.invalidate();
  };
  auto changed = [&] {
    if (target.pixelsChanged) target.pixelsChanged();
    invalidate();
  };
  const CXRect box = image.GetBoundingBox();
  switch (method) {
    case GraphicMethod::ClearClipping:
      image.SetClippingRect(CXRect());
      invalidate();
      return nullptr;
    case GraphicMethod::SetClipping: {
      CXRect clip;
      if (CMC_Runner::argCount(args) >= 4) {
        clip = CXRect(arg(0), arg(1), arg(2), arg(3));
      } else if (CGraphicsObject* other = drawableArgument(args, 0, scope)) {
        clip = other->GetBoundingBox();
        clip.offset(-box.left, -box.top);
      } else {
        return nullptr;
      }
      clip.normalize();
      // An empty rectangle would mean "no clipping": clip to nothing with a rectangle outside instead.
      if (clip.isEmpty()) clip = CXRect(-2, -2, -1, -1);
      invalidate();
      image.SetClippingRect(clip);
      invalidate();
      return nullptr;
    }
    case GraphicMethod::GetWidth: return integer(image.Width());
    case GraphicMethod::GetHeight: return integer(image.Height());
    case GraphicMethod::IsNear: {
      CXRect other;
      int distance = 0;
      if (CMC_Runner::argCount(args) >= 5) {
        other = CXRect(arg(0), arg(1), arg(2), arg(3));
        other.normalize();
        distance = arg(4);
      } else if (CGraphicsObject* drawable = drawableArgument(args, 0, scope)) {
        other = drawable->GetBoundingBox();
        distance = arg(1);
      } else {
        return CMC_VariableFactory::boolean(false);
      }
      CXRect grown(box.left - distance, box.top - distance, box.right + distance, box.bottom + distance);
      // Touching counts as near: compare with the edges included.
      bool near = grown.left <= other.right && other.left <= grown.right && grown.top <= other.bottom &&
                  other.top <= grown.bottom;
      return CMC_VariableFactory::boolean(near && !image.Size().isEmpty());
    }
    case GraphicMethod::IsInside:
      return CMC_VariableFactory::boolean(image.testHit(arg(0), arg(1), !CMC_Runner::getParameterBool(args, 2)));
    case GraphicMethod::GetAlpha: return integer(image.GetDataPtr() ? image.GetAlpha(arg(0), arg(1)) : 0);
    case GraphicMethod::GetPixel: return integer(image.GetPixel(arg(0), arg(1)));
    case GraphicMethod::MergeAlpha:
    case GraphicMethod::MergeAlpha2: {
      CGraphicsObject* other = drawableArgument(args, 2, scope);
      if (!other) return nullptr;
      int mode = method == GraphicMethod::MergeAlpha ? 0 : CMC_Runner::getParameterBool(args, 3) ? 1 : 2;
      mergeAlpha(pixels, *other, arg(0), arg(1), mode);
      changed();
      return nullptr;
    }
    case GraphicMethod::GetCenterX: return integer((static_cast<int64_t>(box.left) + box.right) / 2);
    case GraphicMethod::GetCenterY: return integer((static_cast<int64_t>(box.top) + box.bottom) / 2);
    case GraphicMethod::IsVisible: return CMC_VariableFactory::boolean(image.isVisible());
    case GraphicMethod::SetOpacity:
      image.SetOpacity(arg(0));
      invalidate();
      return nullptr;
    case GraphicMethod::GetOpacity: return integer(image.GetOpacity());
    case GraphicMethod::SetAnchor: {
      CXPoint anchor;
      if (CMC_Runner::argCount(args) >= 2) anchor = CXPoint(arg(0), arg(1));
      else if (!namedAnchor(CMC_Runner::getParameterString(args, 0), image.Width(), image.Height(), anchor)) return nullptr;
      // The picture stays where it is: the stored position keeps, the anchor changes what it means.
      image.setAnchor(anchor.x, anchor.y);
      return nullptr;
    }
    case GraphicMethod::FlipH:
    case GraphicMethod::FlipV:
    case GraphicMethod::ResetFlips:
      if (method == GraphicMethod::FlipH) image.FlipH();
      else if (method == GraphicMethod::FlipV) image.FlipV();
      else image.resetFlips();
      invalidate();
      return nullptr;
    case GraphicMethod::DrawOnto: {
      CGraphicsObject* other = drawableArgument(args, 0, scope);
      if (!other || other == &image) return nullptr;
      other->addObject(&image);
      other->Invalidate();
      return nullptr;
    }
    case GraphicMethod::ReplaceColor: {
      if (!pixels.pixels16()) return nullptr;
      CColor from(arg(1), arg(2), arg(3)), to(arg(4), arg(5), arg(6));
      int bpp = pixels.GetRealBpp();
      auto f = static_cast<uint16_t>(from.GetInBPP(bpp)), t = static_cast<uint16_t>(to.GetInBPP(bpp));
      for (int y = 0; y < pixels.Height(); ++y) {
        uint16_t* row = pixels.pixels16() + static_cast<size_t>(y) * pixels.GetPitch();
        std::replace(row, row + pixels.Width(), f, t);
      }
      changed();
      return nullptr;
    }
  }
  return nullptr;
}

}  // namespace tarnvik
