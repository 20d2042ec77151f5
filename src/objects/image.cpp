// IMAGE objects: creation from definitions, placement on the screen, their methods and events.
#include "objects/image.h"

#include <algorithm>
#include <cstring>

#include "definitions/melementcreator.h"
#include "foundation/log.h"
#include "graphics/color.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"
#include "objects/drawable_owner.h"
#include "runtime/instruction_runner.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

const CMC_EventList& imageEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList(
      {"ONCLICK", "ONRELEASE", "ONFOCUSON", "ONFOCUSOFF", "ONCOLLISION", "ONCOLLISIONFINISHED"});
  return list;
}

CCollisionInspector* inspector() {
  CWindow* window = CWindow::getCurrent();
  return window ? window->getCollisionInspector() : nullptr;
}

CFileContext* fileContext(CMC_ObjectsContainer* scope) {
  CWindow* window = scope && scope->getWindow() ? scope->getWindow() : CWindow::getCurrent();
  return window;
}

// 5-6-5 (or 5-5-5) channels widened to 8 bits by repeating their top bits.
void channels(uint16_t p, int bpp, int& r, int& g, int& b) {
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

}  // namespace

CMC_Image::CMC_Image(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Object(scope, element, mc::TYPE_IMAGE), image_(std::make_unique<CImage>()) {
  toCanvas_ = elementBool(element, "TOCANVAS");
  priority_ = elementInt(element, "PRIORITY");
  asButton_ = elementBool(element, "ASBUTTON");
  flushAfterPlayed_ = elementBool(element, "FLUSHAFTERPLAYED");
  CXString file = elementValue(element, "FILENAME");
  if (!file.isEmpty()) load(file);
  image_->Visible(elementBool(element, "VISIBLE"));
  if (elementBool(element, "MONITORCOLLISIONALPHA")) monitorCollisions(true);
  else if (elementBool(element, "MONITORCOLLISION")) monitorCollisions(false);
  if (toCanvas_)
    if (CRefreshScreen* refresh = screen()) refresh->put(image_.get(), priority_);
  if (CCollisionInspector* collisions = inspector()) collisions->addNotifier(this);
  initializeBehaviours(scope, element);
}

CMC_Image::CMC_Image(CMC_ObjectsContainer* scope, const CXString& name)
    : CMC_Object(name, mc::TYPE_IMAGE), image_(std::make_unique<CImage>()) {
  setScene(scope);
  image_->Visible(false);
  if (CCollisionInspector* collisions = inspector()) collisions->addNotifier(this);
}

CMC_Image::~CMC_Image() {
  if (CCollisionInspector* collisions = inspector()) collisions->removeNotifier(this);
  // The drawable leaves the screen and the collision inspector as it goes (its own destructor).
}

const CMC_EventList* CMC_Image::getBehavioursList() const { return &imageEvents(); }

CRefreshScreen* CMC_Image::screen() {
  CWindow* window = CWindow::getCurrent();
  return window ? window->getRefreshScreen() : nullptr;
}

bool CMC_Image::done(bool unloading) {
  if (CRefreshScreen* refresh = image_->GetCanvas()) refresh->remove(image_.get());
  if (monitoring_)
    if (CCollisionInspector* collisions = inspector()) collisions->forget(image_.get());
  monitoring_ = false;
  image_->setMonitorCollisions(false);
  return CMC_Object::done(unloading);
}

CXObject* CMC_Image::clone() const {
  auto* copy = new CMC_Image(getScene(), getName());
  CImage& from = *image_;
  CImage& to = *copy->image_;
  if (from.GetDataPtr() && from.GetRealBpp() != 32 && to.create(from.Width(), from.Height(), from.GetRealBpp(), from.hasAlpha())) {
    for (int y = 0; y < from.Height(); ++y)
      std::memcpy(to.pixels16() + static_cast<size_t>(y) * to.GetPitch(),
                  static_cast<const uint16_t*>(from.pixels()) + static_cast<size_t>(y) * from.GetPitch(),
                  static_cast<size_t>(from.Width()) * 2);
    if (from.hasAlpha())
      std::memcpy(to.GetAlphaPtr(), from.GetAlphaPtr(), static_cast<size_t>(from.Width()) * from.Height());
  }
  to.setFileName(from.getFileName());
  to.setAnchor(from.getAnchor().x, from.getAnchor().y);
  to.SetPosition(from.GetPosition().x + from.getAnchor().x, from.GetPosition().y + from.getAnchor().y);
  to.SetOpacity(from.GetOpacity());
  to.SetClippingRect(from.GetClippingRect());
  to.Visible(from.isVisible());
  copy->priority_ = priority_;
  copy->toCanvas_ = toCanvas_;
  copy->asButton_ = asButton_;
  copy->resetPosition_ = resetPosition_;
  if (image_->GetCanvas()) image_->GetCanvas()->put(copy->image_.get(), priority_);
  if (monitoring_)
    if (CMonitoredObject* record = inspector() ? inspector()->find(image_.get()) : nullptr)
      copy->monitorCollisions(record->alpha);
  return copy;
}

bool CMC_Image::load(const CXString& file) {
  invalidate();
  bool visible = image_->isVisible();
  bool ok = image_->Load(fileContext(getScene()), file);
  if (!ok) TLOG_WARN("IMAGE " << getName().view() << ": cannot load " << file.view());
  image_->Visible(visible);
  resetPosition_ = image_->GetPosition() + image_->getAnchor();
  invalidate();
  return ok;
}

void CMC_Image::show(bool visible) { image_->Visible(visible); }

void CMC_Image::invalidate() {
  if (image_->isVisible()) image_->Invalidate();
}

void CMC_Image::setPosition(int x, int y) {
  invalidate();
  image_->SetPosition(x, y);
  invalidate();
}

void CMC_Image::move(int dx, int dy) {
  invalidate();
  image_->Move(dx, dy);
  invalidate();
}

void CMC_Image::setPriority(int priority) {
  priority_ = priority;
  CRefreshScreen* refresh = image_->GetCanvas() ? image_->GetCanvas() : screen();
  if (!refresh) return;
  if (refresh->contains(image_.get())) refresh->SetPriority(image_.get(), priority);
  else refresh->put(image_.get(), priority);
}

int CMC_Image::getPriority() const {
  CRefreshScreen* refresh = image_->GetCanvas();
  return refresh ? refresh->GetPriority(image_.get()) : -1;
}

void CMC_Image::monitorCollisions(bool alpha) {
  CCollisionInspector* collisions = inspector();
  if (!collisions) return;
  collisions->addMonitoredObject(image_.get(), alpha);
  if (CMonitoredObject* record = collisions->find(image_.get())) record->alpha = alpha;
  monitoring_ = true;
  // Tested at the next tick, as if it had just moved there.
  collisions->onPositionChanged(image_.get());
}

void CMC_Image::stopMonitoringCollisions() {
  if (CCollisionInspector* collisions = inspector()) collisions->removeMonitoredObject(image_.get());
}

void CMC_Image::onMouseMove(int x, int y) {
  if (!asButton_) return;
  bool on = image_->isVisible() && image_->testHit(x, y);
  if (on == focused_) return;
  focused_ = on;
  if (hasHandlerFlag(on ? EVI_ONFOCUSON : EVI_ONFOCUSOFF)) onSignal(CXString(on ? "ONFOCUSON" : "ONFOCUSOFF"));
}

void CMC_Image::onMouseButton(const CXString& button, bool pressed, int x, int y) {
  if (!asButton_ || !image_->isVisible() || !image_->testHit(x, y)) return;
  if (pressed) fireEvent(EVI_ONCLICK, "ONCLICK", button);
  else fireEvent(EVI_ONRELEASE, "ONRELEASE", button);
}

void CMC_Image::collisionEvent(int index, const char* event, CGraphicsObject* a, CGraphicsObject* b) {
  CGraphicsObject* mine = image_.get();
  CGraphicsObject* other = a == mine ? b : b == mine ? a : nullptr;
  if (!other || !hasHandlerFlag(index)) return;
  CMC_Object* owner = tarnvik::findDrawableOwner(getScene(), other);
  fireEvent(index, event, owner ? owner->getName() : CXString());
}

void CMC_Image::onCollision(CGraphicsObject* a, CGraphicsObject* b) {
  collisionEvent(EVI_ONCOLLISION, "ONCOLLISION", a, b);
}

void CMC_Image::onCollisionFinished(CGraphicsObject* a, CGraphicsObject* b) {
  collisionEvent(EVI_ONCOLLISIONFINISHED, "ONCOLLISIONFINISHED", a, b);
}

// --- methods ---

void CMC_Image_Runner::prepareMthHashSet() {
  CMC_Runner::prepareMthHashSet();
  static const char* names[] = {
      "SHOW", "HIDE", "SETPOSITION", "RESETPOSITION", "SETRESETPOSITION", "MOVE", "LOAD", "CLEARCLIPPING",
      "SETCLIPPING", "GETPOSITIONX", "GETPOSITIONY", "GETWIDTH", "GETHEIGHT", "ISNEAR", "ISINSIDE",
      "MONITORCOLLISION", "REMOVEMONITORCOLLISION", "SETSCALEFACTOR", "SETPRIORITY", "GETPRIORITY", "GETALPHA",
      "GETPIXEL", "MERGEALPHA", "MERGEALPHA2", "INVALIDATE", "GETCENTERX", "GETCENTERY", "ISVISIBLE", "LINK",
      "SETASBUTTON", "SETOPACITY", "GETOPACITY", "SAVE", "SETANCHOR", "FLIPH", "FLIPV", "RESETFLIPS", "DRAWONTO",
      "ISAT", "GETSLIDECOMPS", "GETCOLORAT", "GETCOLORRAT", "GETCOLORGAT", "GETCOLORBAT", "REPLACECOLOR"};
  int id = SHOW;
  for (const char* name : names) addMethod(name, id++);
}

namespace {

// The drawable of the object argument i names, or null.
CGraphicsObject* drawableArgument(const CMC_Args* args, int i, CMC_ObjectsContainer* scope) {
  CMC_Object* object = tarnvik::objectArgument(args, i, scope);
  return object ? object->getDrawable() : nullptr;
}

// Combines another drawable's alpha (placed at x, y of the image) into the image's alpha plane.
void mergeAlpha(CImage& image, const CGraphicsObject& other, int x, int y, int mode) {
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

// The anchor point of a named place of the image's rectangle, in its own coordinates.
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

CMC_Object* CMC_Image_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  auto* object = dynamic_cast<CMC_Image*>(target);
  if (!object) return CMC_Runner::run(id, target, scope, args);
  CImage& image = *object->getImage();
  auto arg = [&](int i, int32_t fallback = 0) { return getParameterInteger(args, i, fallback); };
  auto integer = [](int64_t v) { return CMC_VariableFactory::integer(static_cast<int32_t>(v)); };
  const CXPoint place = image.GetPosition() + image.getAnchor();
  const CXRect box = image.GetBoundingBox();
  switch (id) {
    case SHOW: object->show(true); return nullptr;
    case HIDE: object->show(false); return nullptr;
    case SETPOSITION: object->setPosition(arg(0), arg(1)); return nullptr;
    case RESETPOSITION: object->resetPosition(); return nullptr;
    case SETRESETPOSITION: object->setResetPosition(arg(0), arg(1)); return nullptr;
    case MOVE: object->move(arg(0), arg(1)); return nullptr;
    case LOAD: object->load(getParameterString(args, 0)); return nullptr;
    case CLEARCLIPPING:
      image.SetClippingRect(CXRect());
      object->invalidate();
      return nullptr;
    case SETCLIPPING: {
      CXRect clip;
      if (argCount(args) >= 4) {
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
      object->invalidate();
      image.SetClippingRect(clip);
      object->invalidate();
      return nullptr;
    }
    case GETPOSITIONX: return integer(place.x);
    case GETPOSITIONY: return integer(place.y);
    case GETWIDTH: return integer(image.Width());
    case GETHEIGHT: return integer(image.Height());
    case ISNEAR: {
      CXRect other;
      int distance = 0;
      if (argCount(args) >= 5) {
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
    case ISINSIDE:
    case ISAT:
      return CMC_VariableFactory::boolean(image.testHit(arg(0), arg(1), !getParameterBool(args, 2)));
    case MONITORCOLLISION: object->monitorCollisions(getParameterBool(args, 0)); return nullptr;
    case REMOVEMONITORCOLLISION: object->stopMonitoringCollisions(); return nullptr;
    case SETSCALEFACTOR:
      TLOG_DEBUG("IMAGE " << object->getName().view() << ": SETSCALEFACTOR has no effect on images");
      return nullptr;
    case SETPRIORITY: object->setPriority(arg(0)); return nullptr;
    case GETPRIORITY: return integer(object->getPriority());
    case GETALPHA: return integer(image.GetDataPtr() ? image.GetAlpha(arg(0), arg(1)) : 0);
    case GETPIXEL: return integer(image.GetPixel(arg(0), arg(1)));
    case MERGEALPHA:
    case MERGEALPHA2: {
      CGraphicsObject* other = drawableArgument(args, 2, scope);
      if (!other) return nullptr;
      mergeAlpha(image, *other, arg(0), arg(1), id == MERGEALPHA ? 0 : getParameterBool(args, 3) ? 1 : 2);
      object->invalidate();
      return nullptr;
    }
    case INVALIDATE: object->invalidate(); return nullptr;
    case GETCENTERX: return integer((static_cast<int64_t>(box.left) + box.right) / 2);
    case GETCENTERY: return integer((static_cast<int64_t>(box.top) + box.bottom) / 2);
    case ISVISIBLE: return CMC_VariableFactory::boolean(image.isVisible());
    case LINK: {
      CGraphicsObject* other = drawableArgument(args, 0, scope);
      if (!other || !other->hasAlpha() || other->Size() != image.Size()) {
        TLOG_DEBUG("IMAGE " << object->getName().view() << ": LINK needs an image of the same size with alpha");
        return nullptr;
      }
      image.setAlphaPlane(true);
      if (uint8_t* mine = image.GetAlphaPtr())
        std::memcpy(mine, other->GetAlphaPtr(), static_cast<size_t>(image.Width()) * image.Height());
      object->invalidate();
      return nullptr;
    }
    case SETASBUTTON: object->setAsButton(getParameterBool(args, 0)); return nullptr;
    case SETOPACITY:
      image.SetOpacity(arg(0));
      object->invalidate();
      return nullptr;
    case GETOPACITY: return integer(image.GetOpacity());
    case SAVE:
      if (!image.Save(getParameterString(args, 0), CImage::kNone))
        TLOG_WARN("IMAGE " << object->getName().view() << ": cannot save " << getParameterString(args, 0).view());
      return nullptr;
    case SETANCHOR: {
      CXPoint anchor;
      if (argCount(args) >= 2) anchor = CXPoint(arg(0), arg(1));
      else if (!namedAnchor(getParameterString(args, 0), image.Width(), image.Height(), anchor)) return nullptr;
      // The picture stays where it is: the stored position keeps, the anchor changes what it means.
      image.setAnchor(anchor.x, anchor.y);
      return nullptr;
    }
    case FLIPH:
    case FLIPV:
    case RESETFLIPS:
      if (id == FLIPH) image.FlipH();
      else if (id == FLIPV) image.FlipV();
      else image.resetFlips();
      object->invalidate();
      return nullptr;
    case DRAWONTO: {
      CGraphicsObject* other = drawableArgument(args, 0, scope);
      if (!other || other == &image) return nullptr;
      other->addObject(&image);
      other->Invalidate();
      return nullptr;
    }
    case GETSLIDECOMPS: {
      // The part of a move (dx, dy) that keeps the image out of the other object: each axis on its
      // own, kept when moving along it alone does not overlap. The x part is returned; with two
      // more names, both parts are stored in those variables.
      CGraphicsObject* other = drawableArgument(args, 0, scope);
      int dx = arg(1), dy = arg(2);
      double sx = dx, sy = dy;
      if (other) {
        CXRect ob = other->GetBoundingBox();
        CXRect mx = box, my = box;
        mx.offset(dx, 0);
        my.offset(0, dy);
        if (mx.intersects(ob)) sx = 0;
        if (my.intersects(ob)) sy = 0;
      }
      if (scope && argCount(args) >= 5) {
        if (CMC_Variable* vx = scope->getVariable(getParameterString(args, 3))) vx->set(CMC_VariableFactory::number(sx));
        if (CMC_Variable* vy = scope->getVariable(getParameterString(args, 4))) vy->set(CMC_VariableFactory::number(sy));
      }
      return CMC_VariableFactory::number(sx);
    }
    case GETCOLORAT:
    case GETCOLORRAT:
    case GETCOLORGAT:
    case GETCOLORBAT: {
      int r = 0, g = 0, b = 0;
      int x = arg(0), y = arg(1);
      if (image.GetDataPtr() && x >= 0 && y >= 0 && x < image.Width() && y < image.Height())
        channels(image.GetPixel(x, y), image.GetRealBpp(), r, g, b);
      int value = id == GETCOLORAT ? (r << 16) | (g << 8) | b : id == GETCOLORRAT ? r : id == GETCOLORGAT ? g : b;
      return integer(value);
    }
    case REPLACECOLOR: {
      if (!image.pixels16()) return nullptr;
      CColor from(arg(1), arg(2), arg(3)), to(arg(4), arg(5), arg(6));
      int bpp = image.GetRealBpp();
      auto f = static_cast<uint16_t>(from.GetInBPP(bpp)), t = static_cast<uint16_t>(to.GetInBPP(bpp));
      for (int y = 0; y < image.Height(); ++y) {
        uint16_t* row = image.pixels16() + static_cast<size_t>(y) * image.GetPitch();
        std::replace(row, row + image.Width(), f, t);
      }
      object->invalidate();
      return nullptr;
    }
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerImageType() {
  CMC_ObjectsContainer::registerType("IMAGE", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Image(scope, element);
  });
  CMC_RunnerFactory::registerRunner(mc::TYPE_IMAGE, [] { return std::unique_ptr<CMC_Runner>(new CMC_Image_Runner); });
  // Scene backgrounds and element-built images load through the same file rules.
  CRefreshScreen::setImageLoader([](const CXString& name) -> std::unique_ptr<CGraphicsObject> {
    auto image = std::make_unique<CImage>();
    if (!image->Load(CWindow::getCurrent(), name)) return nullptr;
    return image;
  });
  CMElementCreator::setObjectMaker([](CWindow* window, CMElement* element) -> CGraphicsObject* {
    auto* image = new CImage();
    CXString file = CMC_Object::elementValue(element, "FILENAME");
    if (!file.isEmpty()) image->Load(window ? window : CWindow::getCurrent(), file);
    image->Visible(CMC_Object::elementBool(element, "VISIBLE"));
    return image;
  });
}

}  // namespace tarnvik
