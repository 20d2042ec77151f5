// TEXT objects: keys, composition into their drawable, saved state and methods.
#include "objects/text/mc_text.h"

#include <algorithm>
#include <cstring>

#include "files/state_fields.h"
#include "definitions/melement.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "graphics/font.h"
#include "graphics/pixels/graphics_object.h"
#include "graphics/refresh_screen.h"
#include "objects/text/mc_font.h"
#include "objects/type_registration.h"
#include "runtime/objects_container.h"
#include "runtime/variable_factory.h"

namespace {

const CMC_EventList& textEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList({});
  return list;
}

// TEXT has no mouse or collision events of its own.
constexpr CMC_DrawableObject::EventIndexes kNoEvents{-1, -1, -1, -1, -1, -1};

}  // namespace

namespace tarnvik {

bool elementBoolOr(CMElement* element, const char* key, bool fallback) {
  if (!element || !element->hasProperty(CXString(key))) return fallback;
  return CMC_Object::elementBool(element, key);
}

CXString joinedTextArguments(const CMC_Args* args) {
  std::string text;
  for (int i = 0; i < CMC_Runner::argCount(args); ++i) text += CMC_Runner::getParameterString(args, i).view();
  return CXString(text);
}

}  // namespace tarnvik

CSimpleFont6* CTextFontRef::resolve(CMC_ObjectsContainer* scope, const CXString& owner) {
  if (!object_ || life_.expired()) {
    object_ = nullptr;
    CMC_Object* found = scope && !name_.isEmpty() ? scope->getObject(name_) : nullptr;
    if (found && found->getType() == mc::TYPE_FONT) {
      object_ = static_cast<CMC_Font*>(found);
      life_ = mc::lifeOf(found);
    }
  }
  if (object_ && object_->isUsable()) return object_->getFont();
  if (!warned_) {
    warned_ = true;
    TLOG_WARN(owner.view() << ": no usable font" << (name_.isEmpty() ? "" : " named ") << name_.view()
                           << "; the built-in font is used");
  }
  return tarnvik::builtinFont();
}

CMC_Text::CMC_Text(CMC_ObjectsContainer* scope, CMElement* element, int type)
    : CMC_DrawableObject(scope, element, type, kNoEvents), surface_(std::make_unique<CGraphicsObject>()) {
  readKeys(element);
  if (type == mc::TYPE_TEXT && element) {
    compose();
    placeFromElement(element);
    initializeBehaviours(scope, element);
  }
}

CMC_Text::~CMC_Text() = default;

const CMC_EventList* CMC_Text::getBehavioursList() const { return &textEvents(); }

void CMC_Text::init() {
  if (composeAtInit_) {
    composeAtInit_ = false;
    compose();
  }
  CMC_Object::init();
}

void CMC_Text::readKeys(CMElement* element) {
  font_.set(elementValue(element, "FONT"));
  text_ = elementValue(element, "TEXT");
  rect_ = element ? element->getPropertyRectValue(CXString("RECT")) : CXRect();
  CXString h = elementValue(element, "HJUSTIFY"), v = elementValue(element, "VJUSTIFY");
  if (!h.isEmpty() && !tarnvik::parseHJustify(h.view(), box_.h))
    TLOG_WARN("TEXT " << getName().view() << ": unknown HJUSTIFY " << h.view());
  if (!v.isEmpty() && !tarnvik::parseVJustify(v.view(), box_.v))
    TLOG_WARN("TEXT " << getName().view() << ": unknown VJUSTIFY " << v.view());
  box_.lineSpacing = elementInt(element, "LINESPACING");
  priority_ = elementInt(element, "PRIORITY");
  toCanvas_ = tarnvik::elementBoolOr(element, "TOCANVAS", true);
  surface_->Visible(tarnvik::elementBoolOr(element, "VISIBLE", true));
  if (element && element->hasProperty(CXString("OPACITY"))) surface_->SetOpacity(elementInt(element, "OPACITY"));
}

void CMC_Text::compose() {
  CSimpleFont6* font = font_.resolve(getScene(), CXString("TEXT " + std::string(getName().view())));
  CGraphicsObject& s = *surface_;
  const bool shown = s.isVisible() && s.Width() > 0;
  if (shown) s.Invalidate();
  const int w = std::max(0, rect_.width()), h = std::max(0, rect_.height());
  if (s.Width() != w || s.Height() != h) s.create(w, h, 16, true);
  if (s.pixels16()) {
    std::memset(s.pixels16(), 0, static_cast<size_t>(s.GetPitch()) * s.Height() * 2);
    std::memset(s.GetAlphaPtr(), 0, static_cast<size_t>(s.Width()) * s.Height());
  }
  s.SetPosition(rect_.left, rect_.top);
  box_.width = w;
  box_.height = h;
  tarnvik::TextBox box = box_;
  if (singleLine_) {  // never wrapped, so placed from the left
    box.width = INT32_MAX / 2;
    box.h = tarnvik::HJustify::Left;
  }
  layout_ = tarnvik::CTextLayout();
  if (font) {
    layout_.layout(*font, text_.view(), box);
    if (s.pixels16()) layout_.draw(*font, &s);
  }
  if (s.pixels16()) drawOver(s, font);
  if (s.isVisible() && s.Width() > 0) s.Invalidate();
}

void CMC_Text::setText(const CXString& text) {
  text_ = text;
  compose();
}

void CMC_Text::setFont(const CXString& fontName) {
  font_.set(fontName);
  compose();
}

void CMC_Text::setRect(const CXRect& rect) {
  rect_ = rect;
  compose();
}

void CMC_Text::moveTo(int x, int y) {
  rect_ = CXRect(CXPoint(x, y), rect_.size());
  setPosition(x, y);
}

void CMC_Text::setJustify(tarnvik::HJustify h, tarnvik::VJustify v) {
  box_.h = h;
  box_.v = v;
  compose();
}

void CMC_Text::setOpacity(int opacity) {
  surface_->SetOpacity(opacity);
  invalidate();
}

bool CMC_Text::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  CXString name = getName(), font = font_.name();
  int32_t h = static_cast<int32_t>(box_.h), v = static_cast<int32_t>(box_.v), opacity = surface_->GetOpacity();
  bool visible = surface_->isVisible();
  if (archive->isStoring()) {
    *archive << name << text_ << font << rect_.left << rect_.top << rect_.right << rect_.bottom << h << v
             << box_.lineSpacing << opacity << visible << toCanvas_ << priority_;
    return archive->isOk();
  }
  *archive >> name >> text_ >> font >> rect_.left >> rect_.top >> rect_.right >> rect_.bottom >> h >> v >>
      box_.lineSpacing >> opacity >> visible >> toCanvas_ >> priority_;
  if (!archive->isOk() || h < 0 || h > 3 || v < 0 || v > 2) return false;
  setName(name);
  font_.set(font);
  box_.h = static_cast<tarnvik::HJustify>(h);
  box_.v = static_cast<tarnvik::VJustify>(v);
  surface_->SetOpacity(opacity);
  surface_->Visible(visible);
  composeAtInit_ = true;  // the font object may not be in the scene yet
  if (toCanvas_)
    if (CRefreshScreen* refresh = screen()) refresh->put(surface_.get(), priority_);
  return true;
}

// --- methods ---

CMC_Runner::MethodTable CMC_Text_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"SETTEXT", SETTEXT},         {"GETTEXT", GETTEXT},         {"SETRECT", SETRECT},
      {"SETPOSITION", SETPOSITION}, {"SETFONT", SETFONT},         {"SETJUSTIFY", SETJUSTIFY},
      {"SHOW", SHOW},               {"HIDE", HIDE},               {"ISVISIBLE", ISVISIBLE},
      {"SETOPACITY", SETOPACITY},   {"GETOPACITY", GETOPACITY},   {"SETPRIORITY", SETPRIORITY},
      {"GETPRIORITY", GETPRIORITY}, {"GETWIDTH", GETWIDTH},       {"GETHEIGHT", GETHEIGHT},
      {"GETNUMLINES", GETNUMLINES}, {"GETPOSITIONX", GETPOSITIONX}, {"GETPOSITIONY", GETPOSITIONY},
  };
  return kMethods;
}

CMC_Object* CMC_Text_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  auto* text = dynamic_cast<CMC_Text*>(target);
  if (!text) return CMC_Runner::run(id, target, scope, args);
  auto arg = [&](int i) { return getParameterInteger(args, i); };
  auto integer = [](int v) { return CMC_VariableFactory::integer(v); };
  switch (id) {
    case SETTEXT: text->setText(tarnvik::joinedTextArguments(args)); return nullptr;
    case GETTEXT: return CMC_VariableFactory::string(text->getText());
    case SETRECT: text->setRect(CXRect(arg(0), arg(1), arg(2), arg(3))); return nullptr;
    case SETPOSITION: text->moveTo(arg(0), arg(1)); return nullptr;
    case SETFONT: text->setFont(getParameterString(args, 0)); return nullptr;
    case SETJUSTIFY: {
      tarnvik::HJustify h = text->getBox().h;
      tarnvik::VJustify v = text->getBox().v;
      CXString hText = getParameterString(args, 0), vText = getParameterString(args, 1);
      if (!tarnvik::parseHJustify(hText.view(), h) || (argCount(args) > 1 && !tarnvik::parseVJustify(vText.view(), v))) {
        TLOG_WARN("TEXT " << text->getName().view() << ": SETJUSTIFY(" << hText.view() << "," << vText.view()
                          << ") is not a justification");
        return nullptr;
      }
      text->setJustify(h, v);
      return nullptr;
    }
    case SHOW: text->show(true); return nullptr;
    case HIDE: text->show(false); return nullptr;
    case ISVISIBLE: return CMC_VariableFactory::boolean(text->getDrawable()->isVisible());
    case SETOPACITY: text->setOpacity(arg(0)); return nullptr;
    case GETOPACITY: return integer(text->getDrawable()->GetOpacity());
    case SETPRIORITY: text->setPriority(arg(0)); return nullptr;
    case GETPRIORITY: return integer(text->getPriority());
    case GETWIDTH: return integer(text->getLayout().width());
    case GETHEIGHT: return integer(text->getLayout().height());
    case GETNUMLINES: return integer(text->getLayout().numLines());
    case GETPOSITIONX: return integer(text->getRect().left);
    case GETPOSITIONY: return integer(text->getRect().top);
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerTextType() { registerElementType<CMC_Text, CMC_Text_Runner>("TEXT", mc::TYPE_TEXT); }

}  // namespace tarnvik

bool CMC_Text::serializeState(CXArchive* archive) {
  CXString text = text_, font = font_.name();
  int32_t h = static_cast<int32_t>(box_.h), v = static_cast<int32_t>(box_.v);
  int32_t l = rect_.left, t = rect_.top, r = rect_.right, b = rect_.bottom;
  if (!saved::fields(archive, text, font, h, v, l, t, r, b)) return false;
  if (archive->isLoading()) {
    text_ = text;
    if (font != font_.name()) font_.set(font);
    box_.h = static_cast<tarnvik::HJustify>(h);
    box_.v = static_cast<tarnvik::VJustify>(v);
    rect_ = CXRect(l, t, r, b);
    compose();
  }
  return CMC_DrawableObject::serializeState(archive);
}
