// BUTTON objects: building the button from the definition, its events and methods.
#include "objects/input/mc_button.h"

#include <cstdint>
#include <sstream>
#include <string>

#include "files/state_fields.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "graphics/pixels/graphics_object.h"
#include "objects/drawables/drawable_object.h"
#include "objects/type_registration.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

const CMC_EventList& buttonEvents() {
  static const CMC_EventList list =
      CMC_Object::makeEventList({"ONFOCUSON", "ONFOCUSOFF", "ONPAUSED", "ONCLICKED", "ONRELEASED", "ONACTION",
                                 "ONSTARTDRAGGING", "ONDRAGGING", "ONENDDRAGGING"});
  return list;
}

// "l, t, r, b" as four whole numbers.
bool parseRect(const CXString& text, CXRect& out) {
  std::string t = text.str();
  for (char& c : t)
    if (c == ',') c = ' ';
  std::istringstream in(t);
  long long v[4];
  for (long long& n : v)
    if (!(in >> n) || n < INT32_MIN || n > INT32_MAX) return false;
  std::string rest;
  if (in >> rest) return false;
  out = CXRect(static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]), static_cast<int32_t>(v[2]), static_cast<int32_t>(v[3]));
  return true;
}

CButtonGraphic graphicOf(CMC_Object* object) {
  CButtonGraphic g;
  if (object) {
    g.object = object->getDrawable();
    g.life = mc::lifeOf(object);
  }
  return g;
}

}  // namespace

CMC_Button::CMC_Button(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Object(scope, element, mc::TYPE_BUTTON), button_(std::make_unique<CButton>()) {
  button_->setNotifier(this);
  if (element) {
    Definition& d = definition_;
    d.rect = elementValue(element, "RECT");
    d.standard = elementValue(element, "GFXSTANDARD");
    d.onMove = elementValue(element, "GFXONMOVE");
    d.onClick = elementValue(element, "GFXONCLICK");
    d.soundOnMove = elementValue(element, "SNDONMOVE");
    d.soundOnClick = elementValue(element, "SNDONCLICK");
    d.accent = elementValue(element, "ACCENT");
    d.drag = elementValue(element, "DRAG");
    d.enable = elementValue(element, "ENABLE");
    d.draggable = elementBool(element, "DRAGGABLE");
    d.priority = elementInt(element, "PRIORITY");
    build();
  } else {
    button_->Enable(false);
  }
  initializeBehaviours(scope, element);
}

void CMC_Button::build() {
  built_ = true;
  const Definition& d = definition_;
  button_->setPriority(d.priority);
  CXString rect = d.rect;
  rect.AllTrim(' ');
  if (!rect.isEmpty() && !setRect(rect))
    TLOG_WARN("BUTTON " << getName().view() << ": RECT \"" << rect.view()
                        << "\" is neither four numbers nor a graphics object");
  button_->EnableDragging(d.draggable);
  if (d.draggable) dragName_ = d.drag;
  setGraphic(CButton::kStandard, d.standard);
  setGraphic(CButton::kOnMove, d.onMove);
  setSound(CButton::kSoundOnMove, d.soundOnMove);
  setGraphic(CButton::kOnClick, d.onClick);
  setSound(CButton::kSoundOnClick, d.soundOnClick);
  if (!d.accent.isEmpty()) setAccent(d.accent);
  // Enable also brings the graphics' visibility into line with the state.
  button_->Enable(d.enable.isEmpty() || d.enable.equalsIgnoreCase("TRUE"));
}

CXObject* CMC_Button::clone() const {
  auto* copy = new CMC_Button(getScene(), nullptr);
  copy->setName(getName());
  copy->definition_ = definition_;
  copy->build();
  copy->button_->SetActiveRect(button_->getActiveRect());
  for (int g = CButton::kStandard; g <= CButton::kOnClick; ++g)
    if (names_[g] != copy->names_[g]) copy->setGraphic(static_cast<CButton::Graphic>(g), names_[g]);
  copy->button_->EnableDragging(button_->isDraggable());
  copy->dragName_ = dragName_;
  copy->button_->Enable(button_->isEnabled());
  return copy;
}

void CMC_Button::init() {
  if (!built_) build();
  CMC_Object::init();
}

bool CMC_Button::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  Definition& d = definition_;
  if (archive->isStoring()) {
    *archive << getName() << d.rect << d.standard << d.onMove << d.onClick << d.soundOnMove << d.soundOnClick << d.accent
             << d.drag << d.enable << d.draggable << d.priority;
    return archive->isOk();
  }
  CXString name;
  *archive >> name >> d.rect >> d.standard >> d.onMove >> d.onClick >> d.soundOnMove >> d.soundOnClick >> d.accent >>
      d.drag >> d.enable >> d.draggable >> d.priority;
  if (!archive->isOk()) return false;
  setName(name);
  return true;
}

CMC_Button::~CMC_Button() = default;

const CMC_EventList* CMC_Button::getBehavioursList() const { return &buttonEvents(); }

bool CMC_Button::done(bool unloading) {
  // The hot spot leaves with the scene; its graphics are going too.
  button_->Enable(false);
  return CMC_Object::done(unloading);
}

CMC_Object* CMC_Button::graphicsObject(const CXString& name, const char* what) {
  if (name.isEmpty()) return nullptr;
  CMC_ObjectsContainer* scope = getScene();
  CMC_Object* object = scope ? scope->getObject(name) : nullptr;
  if (!object || !object->getDrawable()) {
    TLOG_WARN("BUTTON " << getName().view() << ": " << what << " \"" << name.view() << "\" is not an IMAGE or ANIMO");
    return nullptr;
  }
  return object;
}

bool CMC_Button::setRect(const CXString& rect) {
  CMC_ObjectsContainer* scope = getScene();
  CMC_Object* object = scope ? scope->getObject(rect) : nullptr;
  if (object && object->getDrawable()) {
    // The object's rectangle is the hot spot and its priority the button's.
    button_->SetActiveRect(CXRect());
    button_->Accent(graphicOf(object));
    button_->setIgnoreAlpha(true);
    return true;
  }
  CXRect r;
  if (!parseRect(rect, r)) return false;
  setRect(r);
  return true;
}

void CMC_Button::setRect(const CXRect& rect) {
  button_->Accent(CButtonGraphic());
  button_->setIgnoreAlpha(false);
  button_->SetActiveRect(rect);
}

bool CMC_Button::setAccent(const CXString& name) {
  CMC_Object* object = graphicsObject(name, "ACCENT");
  if (!object) return false;
  button_->Accent(graphicOf(object));
  button_->setIgnoreAlpha(false);
  button_->SetActiveRect(CXRect());
  return true;
}

bool CMC_Button::setGraphic(CButton::Graphic which, const CXString& name) {
  if (name.isEmpty()) return false;
  CMC_Object* object = graphicsObject(name, which == CButton::kStandard ? "GFXSTANDARD"
                                            : which == CButton::kOnMove  ? "GFXONMOVE"
                                                                         : "GFXONCLICK");
  if (!object) return false;
  // The graphic it replaces is hidden unless another state still shows it.
  CGraphicsObject* old = button_->getGraphic(which);
  button_->setGraphic(which, graphicOf(object));
  names_[which] = name;
  if (old && old != object->getDrawable() && old != button_->getGraphic(CButton::kStandard) &&
      old != button_->getGraphic(CButton::kOnMove) && old != button_->getGraphic(CButton::kOnClick))
    old->Visible(false);
  return true;
}

void CMC_Button::setSound(CButton::Sound which, const CXString& name) {
  if (name.isEmpty()) {
    button_->SetSound(which, nullptr);
    return;
  }
  // SOUND objects are made before buttons: a name that finds nothing now is most likely a slip.
  if (CMC_ObjectsContainer* scope = getScene(); scope && !scope->getObject(name))
    TLOG_WARN_AT(getOrigin(), "BUTTON " << getName().view() << ": " << (which == CButton::kSoundOnClick ? "SNDONCLICK" : "SNDONMOVE")
                                        << " names no object " << name.view());
  // Looked up when it plays, so a SOUND made or removed later is found or skipped.
  std::weak_ptr<char> self = mc::lifeOf(this);
  button_->SetSound(which, [this, self, name](bool play) {
    if (self.expired()) return;
    CMC_ObjectsContainer* scope = getScene();
    CMC_Object* sound = scope ? scope->getObject(name) : nullptr;
    CMC_Runner* runner = sound ? CMC_RunnerFactory::getRunnerFor(sound) : nullptr;
    if (!runner) {
      TLOG_DEBUG("BUTTON " << getName().view() << ": no sound object \"" << name.view() << "\" to play");
      return;
    }
    CMC_Object* result = runner->run(CXString(play ? "PLAY" : "STOP"), sound, scope, nullptr);
    if (result && !mc::isControl(result) && result != sound) CMC_Object::flush(static_cast<CMC_Variable*>(result));
  });
}

void CMC_Button::event(int index, const char* name) {
  if (hasHandlerFlag(index)) onSignal(CXString(name));
}

void CMC_Button::onControlFocusOn(CControl*, const CXPoint&) { event(EVI_ONFOCUSON, "ONFOCUSON"); }
void CMC_Button::onControlFocusOff(CControl*, const CXPoint&) { event(EVI_ONFOCUSOFF, "ONFOCUSOFF"); }
void CMC_Button::onControlClicked(CControl*, const CXPoint&) { event(EVI_ONCLICKED, "ONCLICKED"); }
void CMC_Button::onControlReleased(CControl*, const CXPoint&) { event(EVI_ONRELEASED, "ONRELEASED"); }
void CMC_Button::onControlAction(CControl*, const CXPoint&) { event(EVI_ONACTION, "ONACTION"); }

void CMC_Button::onStartDragging(CControl*, const CXPoint&) {
  CXString dragged = dragName_.isEmpty() ? names_[CButton::kStandard] : dragName_;
  CHotSpot::setDraggedName(dragged.str());
  event(EVI_ONSTARTDRAGGING, "ONSTARTDRAGGING");
}

void CMC_Button::onDragging(CControl*, const CXPoint&, const CXPoint& delta) {
  CXString dragged = dragName_.isEmpty() ? names_[CButton::kStandard] : dragName_;
  CMC_ObjectsContainer* scope = getScene();
  if (auto* object = dynamic_cast<CMC_DrawableObject*>(scope ? scope->getObject(dragged) : nullptr))
    object->move(delta.x, delta.y);
  event(EVI_ONDRAGGING, "ONDRAGGING");
}

void CMC_Button::onEndDragging(CControl*, const CXPoint&) { event(EVI_ONENDDRAGGING, "ONENDDRAGGING"); }

CMC_Runner::MethodTable CMC_Button_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"SETRECT", SETRECT},
      {"ENABLE", ENABLE},
      {"DISABLE", DISABLE},
      {"ENABLEDRAGGING", ENABLEDRAGGING},
      {"DISABLEDRAGGING", DISABLEDRAGGING},
      {"DISABLEBUTVISIBLE", DISABLEBUTVISIBLE},
      {"ACCENT", ACCENT},
      {"SETSTD", SETSTD},
      {"SETONMOVE", SETONMOVE},
      {"SETONCLICK", SETONCLICK},
      {"SETPRIORITY", SETPRIORITY},
      {"GETPRIORITY", GETPRIORITY},
      {"GETSTD", GETSTD},
      {"GETONMOVE", GETONMOVE},
      {"GETONCLICK", GETONCLICK},
      {"SYN", SYN},
  };
  return kMethods;
}

CMC_Object* CMC_Button_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  auto* object = dynamic_cast<CMC_Button*>(target);
  if (!object) return CMC_Runner::run(id, target, scope, args);
  CButton* button = object->getButton();
  switch (id) {
    case SETRECT:
      if (argCount(args) >= 4)
        object->setRect(CXRect(getParameterInteger(args, 0), getParameterInteger(args, 1), getParameterInteger(args, 2),
                               getParameterInteger(args, 3)));
      else if (!object->setRect(getParameterString(args, 0)))
        TLOG_WARN("BUTTON " << object->getName().view() << "^SETRECT: \"" << getParameterString(args, 0).view()
                            << "\" is not a graphics object");
      return nullptr;
    case ENABLE: button->Enable(true); return nullptr;
    case DISABLE: button->Enable(false); return nullptr;
    case ENABLEDRAGGING: button->EnableDragging(true); return nullptr;
    case DISABLEDRAGGING: button->EnableDragging(false); return nullptr;
    case DISABLEBUTVISIBLE: button->DisableButVisible(); return nullptr;
    case ACCENT: object->setAccent(getParameterString(args, 0)); return nullptr;
    case SETSTD:
      if (object->setGraphic(CButton::kStandard, getParameterString(args, 0))) button->syncVisibility();
      return nullptr;
    case SETONMOVE:
      if (object->setGraphic(CButton::kOnMove, getParameterString(args, 0))) button->syncVisibility();
      return nullptr;
    case SETONCLICK:
      if (object->setGraphic(CButton::kOnClick, getParameterString(args, 0))) button->syncVisibility();
      return nullptr;
    case SETPRIORITY: button->setPriority(getParameterInteger(args, 0)); return nullptr;
    case GETPRIORITY: return CMC_VariableFactory::integer(button->getPriority());
    case GETSTD: return CMC_VariableFactory::string(object->getGraphicName(CButton::kStandard));
    case GETONMOVE: return CMC_VariableFactory::string(object->getGraphicName(CButton::kOnMove));
    case GETONCLICK: return CMC_VariableFactory::string(object->getGraphicName(CButton::kOnClick));
    case SYN: button->syncVisibility(); return nullptr;
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerButtonType() {
  registerElementType<CMC_Button, CMC_Button_Runner>("BUTTON", mc::TYPE_BUTTON);
}

}  // namespace tarnvik

bool CMC_Button::serializeState(CXArchive* archive) {
  CXString names[3] = {names_[0], names_[1], names_[2]};
  CXString drag = dragName_;
  bool has = button_ != nullptr;
  if (!saved::fields(archive, names[0], names[1], names[2], drag, has)) return false;
  if (archive->isLoading()) {
    for (int i = 0; i < 3; ++i)
      if (names[i] != names_[i] && !names[i].isEmpty()) setGraphic(static_cast<CButton::Graphic>(i), names[i]);
    dragName_ = drag;
  }
  if (!has) return true;
  if (button_) return button_->serializeState(archive);
  CButton scratch;
  return scratch.serializeState(archive);
}
