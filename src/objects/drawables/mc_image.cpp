// IMAGE objects: creation from definitions, placement on the screen, their methods and events.
#include "objects/drawables/mc_image.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include <zlib.h>

#include "files/file_search.h"
#include "files/state_fields.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "graphics/pixels/color.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"
#include "objects/drawables/drawable_owner.h"
#include "objects/drawables/graphic_methods.h"
#include "runtime/instruction_runner.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

const CMC_EventList& imageEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList(
      {"ONCLICK", "ONRELEASE", "ONFOCUSON", "ONFOCUSOFF", "ONCOLLISION", "ONCOLLISIONFINISHED"});
  return list;
}

}  // namespace

namespace {
constexpr CMC_DrawableObject::EventIndexes kImageEvents{CMC_Image::EVI_ONCLICK,    CMC_Image::EVI_ONRELEASE,
                                                        CMC_Image::EVI_ONFOCUSON,  CMC_Image::EVI_ONFOCUSOFF,
                                                        CMC_Image::EVI_ONCOLLISION, CMC_Image::EVI_ONCOLLISIONFINISHED};
}  // namespace

CMC_Image::CMC_Image(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_DrawableObject(scope, element, mc::TYPE_IMAGE, kImageEvents), image_(std::make_unique<CImage>()) {
  readCommonKeys(element);
  CXString file = elementValue(element, "FILENAME");
  if (!file.isEmpty()) load(file);
  image_->Visible(elementBool(element, "VISIBLE"));
  placeFromElement(element);
  initializeBehaviours(scope, element);
}

CMC_Image::CMC_Image(CMC_ObjectsContainer* scope, const CXString& name)
    : CMC_DrawableObject(scope, name, mc::TYPE_IMAGE, kImageEvents), image_(std::make_unique<CImage>()) {
  image_->Visible(false);
}

CMC_Image::~CMC_Image() = default;

bool CMC_Image::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  CXString name = getName(), file = image_->getFileName();
  bool visible = image_->isVisible();
  if (archive->isStoring()) {
    *archive << name;
    return archive->isOk() && serializeCommon(archive, file, visible);
  }
  *archive >> name;
  if (!archive->isOk() || !serializeCommon(archive, file, visible)) return false;
  setName(name);
  if (!file.isEmpty()) load(file);
  image_->Visible(visible);
  restorePlacement();
  return true;
}

const CMC_EventList* CMC_Image::getBehavioursList() const { return &imageEvents(); }

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
  copy->resetPosition_ = resetPosition_;
  copyDrawableState(*copy);
  return copy;
}

bool CMC_Image::serializeState(CXArchive* archive) {
  CXString file = image_->getFileName();
  bool flippedH = image_->isFlippedH(), flippedV = image_->isFlippedV();
  int32_t resetX = resetPosition_.x, resetY = resetPosition_.y;
  if (!saved::fields(archive, file, flippedH, flippedV, resetX, resetY)) return false;
  if (archive->isLoading()) {
    if (file != image_->getFileName() && !file.isEmpty()) load(file);
    if (flippedH != image_->isFlippedH()) image_->FlipH();
    if (flippedV != image_->isFlippedV()) image_->FlipV();
    resetPosition_ = CXPoint(resetX, resetY);
  }
  return serializePixels(archive) && CMC_DrawableObject::serializeState(archive);
}

namespace {

std::string zlibPack(const std::string& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                static_cast<uLong>(raw.size()), Z_BEST_SPEED) != Z_OK)
    return std::string();
  out.resize(size);
  return out;
}

// Exactly `expected` bytes, or false.
bool zlibUnpack(const std::string& packed, size_t expected, std::string& raw) {
  raw.assign(expected, '\0');
  uLongf size = static_cast<uLongf>(expected);
  return uncompress(reinterpret_cast<Bytef*>(raw.data()), &size, reinterpret_cast<const Bytef*>(packed.data()),
                    static_cast<uLong>(packed.size())) == Z_OK &&
         size == expected;
}

}  // namespace

// The pixels a script changed: the size, then the 16-bit rows and the alpha plane packed with zlib.
// A save whose size does not match the image its file gives now is refused.
bool CMC_Image::serializePixels(CXArchive* archive) {
  bool changed = pixelsChanged_ && image_->pixels16();
  if (!saved::fields(archive, changed)) return false;
  if (!changed) return true;
  int32_t width = image_->Width(), height = image_->Height();
  bool alpha = image_->hasAlpha();
  const size_t rowBytes = static_cast<size_t>(std::max(width, 0)) * 2;
  CXString packed;
  if (archive->isStoring()) {
    std::string raw;
    for (int y = 0; y < height; ++y)
      raw.append(reinterpret_cast<const char*>(image_->pixels16() + static_cast<size_t>(y) * image_->GetPitch()), rowBytes);
    if (alpha) raw.append(reinterpret_cast<const char*>(image_->GetAlphaPtr()), static_cast<size_t>(width) * height);
    packed = CXString(zlibPack(raw));
  }
  if (!saved::fields(archive, width, height, alpha, packed)) return false;
  if (archive->isStoring()) return true;
  std::string raw;
  size_t expected = rowBytes * static_cast<size_t>(std::max(height, 0)) + (alpha ? static_cast<size_t>(width) * height : 0);
  if (width != image_->Width() || height != image_->Height() || alpha != image_->hasAlpha() || !image_->pixels16() ||
      !zlibUnpack(packed.str(), expected, raw))
    return false;
  for (int y = 0; y < height; ++y)
    std::memcpy(image_->pixels16() + static_cast<size_t>(y) * image_->GetPitch(), raw.data() + rowBytes * y, rowBytes);
  if (alpha) std::memcpy(image_->GetAlphaPtr(), raw.data() + rowBytes * height, static_cast<size_t>(width) * height);
  pixelsChanged_ = true;
  invalidate();
  return true;
}

bool CMC_Image::load(const CXString& file) {
  invalidate();
  pixelsChanged_ = false;
  bool visible = image_->isVisible();
  bool ok = image_->Load(window(), file);
  if (!ok)
    TLOG_WARN_AT(getOrigin(), "IMAGE " << getName().view() << ": cannot load " << file.view() << " (looked in "
                                       << tarnvik::files::searchedPlaces(window(), file) << ")");
  image_->Visible(visible);
  resetPosition_ = image_->GetPosition() + image_->getAnchor();
  invalidate();
  return ok;
}

// --- methods ---

CMC_Runner::MethodTable CMC_Image_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"SHOW", SHOW},
      {"HIDE", HIDE},
      {"SETPOSITION", SETPOSITION},
      {"RESETPOSITION", RESETPOSITION},
      {"SETRESETPOSITION", SETRESETPOSITION},
      {"MOVE", MOVE},
      {"LOAD", LOAD},
      {"CLEARCLIPPING", CLEARCLIPPING},
      {"SETCLIPPING", SETCLIPPING},
      {"GETPOSITIONX", GETPOSITIONX},
      {"GETPOSITIONY", GETPOSITIONY},
      {"GETWIDTH", GETWIDTH},
      {"GETHEIGHT", GETHEIGHT},
      {"ISNEAR", ISNEAR},
      {"ISINSIDE", ISINSIDE},
      {"MONITORCOLLISION", MONITORCOLLISION},
      {"REMOVEMONITORCOLLISION", REMOVEMONITORCOLLISION},
      {"SETSCALEFACTOR", SETSCALEFACTOR},
      {"SETPRIORITY", SETPRIORITY},
      {"GETPRIORITY", GETPRIORITY},
      {"GETALPHA", GETALPHA},
      {"GETPIXEL", GETPIXEL},
      {"MERGEALPHA", MERGEALPHA},
      {"MERGEALPHA2", MERGEALPHA2},
      {"INVALIDATE", INVALIDATE},
      {"GETCENTERX", GETCENTERX},
      {"GETCENTERY", GETCENTERY},
      {"ISVISIBLE", ISVISIBLE},
      {"LINK", LINK},
      {"SETASBUTTON", SETASBUTTON},
      {"SETOPACITY", SETOPACITY},
      {"GETOPACITY", GETOPACITY},
      {"SAVE", SAVE},
      {"SETANCHOR", SETANCHOR},
      {"FLIPH", FLIPH},
      {"FLIPV", FLIPV},
      {"RESETFLIPS", RESETFLIPS},
      {"DRAWONTO", DRAWONTO},
      {"ISAT", ISAT},
      {"GETSLIDECOMPS", GETSLIDECOMPS},
      {"GETCOLORAT", GETCOLORAT},
      {"GETCOLORRAT", GETCOLORRAT},
      {"GETCOLORGAT", GETCOLORGAT},
      {"GETCOLORBAT", GETCOLORBAT},
      {"REPLACECOLOR", REPLACECOLOR},
  };
  return kMethods;
}

namespace {

std::optional<tarnvik::GraphicMethod> sharedMethod(int id) {
  using M = tarnvik::GraphicMethod;
  switch (id) {
    case CMC_Image_Runner::CLEARCLIPPING: return M::ClearClipping;
    case CMC_Image_Runner::SETCLIPPING: return M::SetClipping;
    case CMC_Image_Runner::GETWIDTH: return M::GetWidth;
    case CMC_Image_Runner::GETHEIGHT: return M::GetHeight;
    case CMC_Image_Runner::ISNEAR: return M::IsNear;
    case CMC_Image_Runner::ISINSIDE:
    case CMC_Image_Runner::ISAT: return M::IsInside;
    case CMC_Image_Runner::GETALPHA: return M::GetAlpha;
    case CMC_Image_Runner::GETPIXEL: return M::GetPixel;
    case CMC_Image_Runner::MERGEALPHA: return M::MergeAlpha;
    case CMC_Image_Runner::MERGEALPHA2: return M::MergeAlpha2;
    case CMC_Image_Runner::GETCENTERX: return M::GetCenterX;
    case CMC_Image_Runner::GETCENTERY: return M::GetCenterY;
    case CMC_Image_Runner::ISVISIBLE: return M::IsVisible;
    case CMC_Image_Runner::SETOPACITY: return M::SetOpacity;
    case CMC_Image_Runner::GETOPACITY: return M::GetOpacity;
    case CMC_Image_Runner::SETANCHOR: return M::SetAnchor;
    case CMC_Image_Runner::FLIPH: return M::FlipH;
    case CMC_Image_Runner::FLIPV: return M::FlipV;
    case CMC_Image_Runner::RESETFLIPS: return M::ResetFlips;
    case CMC_Image_Runner::DRAWONTO: return M::DrawOnto;
    case CMC_Image_Runner::REPLACECOLOR: return M::ReplaceColor;
    default: return std::nullopt;
  }
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
  if (auto shared = sharedMethod(id)) {
    tarnvik::GraphicTarget target{&image, &image, [object] { object->invalidate(); },
                                  [object] { object->markPixelsChanged(); }};
    return tarnvik::runGraphicMethod(*shared, target, scope, args);
  }
  switch (id) {
    case SHOW: object->show(true); return nullptr;
    case HIDE: object->show(false); return nullptr;
    case SETPOSITION: object->setPosition(arg(0), arg(1)); return nullptr;
    case RESETPOSITION: object->resetPosition(); return nullptr;
    case SETRESETPOSITION: object->setResetPosition(arg(0), arg(1)); return nullptr;
    case MOVE: object->move(arg(0), arg(1)); return nullptr;
    case LOAD: object->load(getParameterString(args, 0)); return nullptr;
    case GETPOSITIONX: return integer(place.x);
    case GETPOSITIONY: return integer(place.y);
    case MONITORCOLLISION: object->monitorCollisions(getParameterBool(args, 0)); return nullptr;
    case REMOVEMONITORCOLLISION: object->stopMonitoringCollisions(); return nullptr;
    case SETSCALEFACTOR:
      TLOG_DEBUG("IMAGE " << object->getName().view() << ": SETSCALEFACTOR has no effect on images");
      return nullptr;
    case SETPRIORITY: object->setPriority(arg(0)); return nullptr;
    case GETPRIORITY: return integer(object->getPriority());
    case INVALIDATE: object->invalidate(); return nullptr;
    case LINK: {
      CGraphicsObject* other = tarnvik::drawableArgument(args, 0, scope);
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
    case SAVE:
      if (!image.Save(getParameterString(args, 0), CImage::kNone))
        TLOG_WARN("IMAGE " << object->getName().view() << ": cannot save " << getParameterString(args, 0).view());
      return nullptr;
    case GETSLIDECOMPS: {
      // The part of a move (dx, dy) that keeps the image out of the other object: each axis on its
      // own, kept when moving along it alone does not overlap. The x part is returned; with two
      // more names, both parts are stored in those variables.
      CGraphicsObject* other = tarnvik::drawableArgument(args, 0, scope);
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
        tarnvik::widenChannels(image.GetPixel(x, y), image.GetRealBpp(), r, g, b);
      int value = id == GETCOLORAT ? (r << 16) | (g << 8) | b : id == GETCOLORRAT ? r : id == GETCOLORGAT ? g : b;
      return integer(value);
    }
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerImageType() {
  CMC_ObjectsContainer::registerType("IMAGE", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Image(scope, element);
  });
  mc::registerRecordType(mc::TYPE_IMAGE,
                         [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new CMC_Image(scope, CXString("temp")); });
  CMC_RunnerFactory::registerRunner<CMC_Image_Runner>(mc::TYPE_IMAGE);
  // Scene backgrounds load through the same file rules as images.
  CRefreshScreen::setImageLoader([](const CXString& name) -> std::unique_ptr<CGraphicsObject> {
    auto image = std::make_unique<CImage>();
    if (!image->Load(CWindow::getCurrent(), name)) return nullptr;
    return image;
  });
}

}  // namespace tarnvik
