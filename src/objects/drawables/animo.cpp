// ANIMO objects: creation from definitions, playback with its events, methods, as-button and
// collision events.
#include "objects/drawables/animo.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "files/state_fields.h"
#include "files/xarchive.h"
#include "files/file_search.h"
#include "foundation/log.h"
#include "foundation/spelling.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"
#include "objects/drawables/graphic_methods.h"
#include "runtime/instruction_runner.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

const CMC_EventList& animoEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList(
      {"ONSTARTED", "ONFINISHED", "ONPAUSED", "ONRESUMED", "ONFRAMECHANGEDFRAME", "ONFRAMECHANGED",
       "ONCOLLISIONFINISHED", "ONCOLLISION", "ONFOCUSON", "ONFOCUSOFF", "ONCLICK", "ONRELEASE"});
  return list;
}

CXString upper(const CXString& text) {
  CXString out = text;
  out.Upper();
  return out;
}

}  // namespace

namespace {
constexpr CMC_DrawableObject::EventIndexes kAnimoEvents{CMC_Animo::EVI_ONCLICK,    CMC_Animo::EVI_ONRELEASE,
                                                        CMC_Animo::EVI_ONFOCUSON,  CMC_Animo::EVI_ONFOCUSOFF,
                                                        CMC_Animo::EVI_ONCOLLISION, CMC_Animo::EVI_ONCOLLISIONFINISHED};
}  // namespace

CMC_Animo::CMC_Animo(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_DrawableObject(scope, element, mc::TYPE_ANIMO, kAnimoEvents), animo_(std::make_unique<CAnimo6>()) {
  readCommonKeys(element);
  onFirstFrame_ = elementBool(element, "ONFIRSTFRAME");
  // Absent or empty PRELOAD counts as TRUE; frames are unpacked when loaded either way.
  animo_->setLoadAtStart(!elementHas(element, "PRELOAD") || elementValue(element, "PRELOAD").isEmpty() ||
                         elementBool(element, "PRELOAD"));
  CXString file = elementValue(element, "FILENAME");
  if (!file.isEmpty()) load(file);
  placeFromElement(element);
  animo_->Visible(elementBool(element, "VISIBLE"));
  // Without FPS the events play at their own rates; 0 gives 15, other values below 1 give 1.
  if (elementHas(element, "FPS")) {
    fpsKey_ = elementInt(element, "FPS");
    animo_->SetFPS(fpsKey_ == 0 ? 15 : fpsKey_);
  }
  animo_->addNotifier(this);
  initializeBehaviours(scope, element);
}

CMC_Animo::CMC_Animo(CMC_ObjectsContainer* scope, const CXString& name)
    : CMC_DrawableObject(scope, name, mc::TYPE_ANIMO, kAnimoEvents), animo_(std::make_unique<CAnimo6>()) {
  animo_->Visible(false);
  animo_->addNotifier(this);
}

CMC_Animo::~CMC_Animo() { animo_->removeNotifier(this); }

bool CMC_Animo::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  CXString name = getName(), file = animo_->getFileName();
  bool visible = animo_->isVisible(), loadAtStart = animo_->getLoadAtStart();
  if (archive->isStoring()) {
    *archive << name;
    if (!serializeCommon(archive, file, visible)) return false;
    *archive << onFirstFrame_ << loadAtStart << fpsKey_;
    return archive->isOk();
  }
  *archive >> name;
  if (!archive->isOk() || !serializeCommon(archive, file, visible)) return false;
  int32_t fps = -1;
  *archive >> onFirstFrame_ >> loadAtStart >> fps;
  if (!archive->isOk()) return false;
  setName(name);
  animo_->setLoadAtStart(loadAtStart);
  if (!file.isEmpty()) load(file);
  restorePlacement();
  animo_->Visible(visible);
  fpsKey_ = fps;
  if (fpsKey_ >= 0) animo_->SetFPS(fpsKey_ == 0 ? 15 : fpsKey_);
  return true;
}

const CMC_EventList* CMC_Animo::getBehavioursList() const { return &animoEvents(); }

bool CMC_Animo::done(bool unloading) {
  animo_->StopNoNotify();
  if (CWindow* window = CWindow::getCurrent()) window->getAnimationManager()->remove(animo_.get());
  return CMC_DrawableObject::done(unloading);
}

CXObject* CMC_Animo::clone() const {
  auto* copy = new CMC_Animo(getScene(), getName());
  copy->animo_->copyFrom(*animo_);
  copy->animo_->setLoadAtStart(animo_->getLoadAtStart());
  copy->onFirstFrame_ = onFirstFrame_;
  copyDrawableState(*copy);
  return copy;
}

bool CMC_Animo::serializeState(CXArchive* archive) {
  CXString file = animo_->getFileName();
  if (!saved::fields(archive, file)) return false;
  if (archive->isLoading() && file != animo_->getFileName() && !file.isEmpty()) load(file);
  if (!CMC_DrawableObject::serializeState(archive)) return false;
  CWindow* shown = window();
  if (!animo_->serializePlayState(archive, shown ? shown->getAnimationManager() : nullptr)) return false;
  // Whoever plays the animation hears of its steps: the object, as PLAY made it.
  if (archive->isLoading() && animo_->getAnimationManager()) animo_->addNotifier(this);
  return true;
}

bool CMC_Animo::load(const CXString& file) {
  invalidate();
  bool visible = animo_->isVisible();
  CXPoint place = animo_->GetGlobalPosition() + animo_->getAnchor();
  animo_->StopNoNotify();
  CWindow* shown = window();
  bool ok = animo_->Load(shown, file);
  if (!ok)
    TLOG_WARN_AT(getOrigin(), "ANIMO " << getName().view() << ": cannot load " << file.view() << " (looked in "
                                       << tarnvik::files::searchedPlaces(shown, file) << ")");
  animo_->SetPosition(place.x, place.y);
  animo_->Visible(visible);
  invalidate();
  return ok;
}

void CMC_Animo::moveDrawable(int dx, int dy) { animo_->Move(dx, dy); }

// --- playback ---

bool CMC_Animo::play(const CXString& event, int entry) {
  animo_->addNotifier(this);
  int n = animo_->GetEventNo(event);
  if (n < 0) {
    std::vector<std::string> events;
    for (int i = 0; i < animo_->GetNOE(); ++i) events.push_back(animo_->GetEventName(i).str());
    TLOG_WARN_AT(getOrigin(), "ANIMO " << getName().view() << ": PLAY of " << event.view()
                                       << ", an event its animation does not have" << tarnvik::didYouMean(event.view(), events));
    return false;
  }
  return animo_->Play(n, entry);
}

bool CMC_Animo::play(int event) {
  animo_->addNotifier(this);
  return animo_->Play(event, 0);
}

bool CMC_Animo::playReverse(const CXString& event, int entry) {
  animo_->addNotifier(this);
  return animo_->playReverse(event, entry);
}

bool CMC_Animo::playRandom(const CXString& event, int first, int last) {
  animo_->addNotifier(this);
  return animo_->playRandom(event, first, last);
}

void CMC_Animo::stop(bool report) {
  if (report) animo_->Stop();
  else animo_->StopNoNotify();
}

void CMC_Animo::pause() {
  if (!animo_->IsPlaying()) return;
  animo_->Pause();
  if (hasHandlerFlag(EVI_ONPAUSED)) onSignal(CXString("ONPAUSED"));
}

void CMC_Animo::resume() {
  if (!animo_->isPaused()) return;
  animo_->Resume();
  if (hasHandlerFlag(EVI_ONRESUMED)) onSignal(CXString("ONRESUMED"));
}

void CMC_Animo::fireNamed(int index, const char* event, const CXString& eventName) {
  if (!hasHandlerFlag(index)) return;
  CXString name = upper(eventName);
  CXString key(event);
  key += '^';
  if (onSignal(key + name)) return;
  static const CXString kReverse("_REVERSE");
  if (name.endsWith(kReverse)) {
    CXString base(std::string(name.view().substr(0, name.view().size() - kReverse.view().size())));
    if (onSignal(key + base)) return;
  }
  onSignal(CXString(event));
}

bool CMC_Animo::onPlayableStarted(CPlayable*) {
  fireNamed(EVI_ONSTARTED, "ONSTARTED", animo_->getCurrentEventName());
  return true;
}

bool CMC_Animo::onPlayableTick(CPlayable*) {
  // One handler runs per frame change: the frame number's, else the event name's, else the plain one.
  if (hasHandlerFlag(EVI_ONFRAMECHANGEDFRAME)) {
    CXString key("ONFRAMECHANGEDFRAME^");
    key += CXString(std::to_string(animo_->Current()));
    if (onSignal(key)) return true;
  }
  fireNamed(EVI_ONFRAMECHANGED, "ONFRAMECHANGED", animo_->getCurrentEventName());
  return true;
}

bool CMC_Animo::onPlayableFinished(CPlayable*) {
  CXString name = animo_->getCurrentEventName();
  // With the on-first-frame flag a finished event goes back to its first entry.
  if (onFirstFrame_ && animo_->GetCurrentEvent() >= 0) animo_->SetEventFrame(animo_->GetCurrentEvent(), 0);
  fireNamed(EVI_ONFINISHED, "ONFINISHED", name);
  return true;
}

// --- methods ---

CMC_Runner::MethodTable CMC_Animo_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"SHOW", SHOW},
      {"HIDE", HIDE},
      {"PAUSE", PAUSE},
      {"RESUME", RESUME},
      {"SETPOSITION", SETPOSITION},
      {"MOVE", MOVE},
      {"LOAD", LOAD},
      {"CLEARCLIPPING", CLEARCLIPPING},
      {"SETCLIPPING", SETCLIPPING},
      {"PLAY", PLAY},
      {"SETFRAME", SETFRAME},
      {"STOP", STOP},
      {"ISPLAYING", ISPLAYING},
      {"GETPOSITIONX", GETPOSITIONX},
      {"GETPOSITIONY", GETPOSITIONY},
      {"GETWIDTH", GETWIDTH},
      {"GETHEIGHT", GETHEIGHT},
      {"GETFRAME", GETFRAME},
      {"GETFRAMENAME", GETFRAMENAME},
      {"SETFRAMENAME", SETFRAMENAME},
      {"GETFRAMENO", GETFRAMENO},
      {"GETEVENTNAME", GETEVENTNAME},
      {"ISNEAR", ISNEAR},
      {"ISINSIDE", ISINSIDE},
      {"PLAYRAND", PLAYRAND},
      {"MONITORCOLLISION", MONITORCOLLISION},
      {"REMOVEMONITORCOLLISION", REMOVEMONITORCOLLISION},
      {"SETFORWARD", SETFORWARD},
      {"SETBACKWARD", SETBACKWARD},
      {"NEXTFRAME", NEXTFRAME},
      {"PREVFRAME", PREVFRAME},
      {"SETPRIORITY", SETPRIORITY},
      {"GETALPHA", GETALPHA},
      {"GETPIXEL", GETPIXEL},
      {"SETFPS", SETFPS},
      {"GETFPS", GETFPS},
      {"MERGEALPHA", MERGEALPHA},
      {"INVALIDATE", INVALIDATE},
      {"GETCURRFRAMEPOSX", GETCURRFRAMEPOSX},
      {"GETCURRFRAMEPOSY", GETCURRFRAMEPOSY},
      {"GETCENTERX", GETCENTERX},
      {"GETCENTERY", GETCENTERY},
      {"GETNOE", GETNOE},
      {"GETNOF", GETNOF},
      {"GETNOFINEVENT", GETNOFINEVENT},
      {"GETMAXWIDTH", GETMAXWIDTH},
      {"GETMAXHEIGHT", GETMAXHEIGHT},
      {"ISVISIBLE", ISVISIBLE},
      {"GETCFRAMEINEVENT", GETCFRAMEINEVENT},
      {"SETASBUTTON", SETASBUTTON},
      {"SETONFF", SETONFF},
      {"SETOPACITY", SETOPACITY},
      {"GETOPACITY", GETOPACITY},
      {"SETVOLUME", SETVOLUME},
      {"SETPAN", SETPAN},
      {"SETFREQ", SETFREQ},
      {"SETANCHOR", SETANCHOR},
      {"GETPRIORITY", GETPRIORITY},
      {"FLIPH", FLIPH},
      {"FLIPV", FLIPV},
      {"RESETFLIPS", RESETFLIPS},
      {"DRAWONTO", DRAWONTO},
      {"PLAYREVERSE", PLAYREVERSE},
      {"NPLAY", NPLAY},
      {"ISAT", ISAT},
      {"GETANCHOR", GETANCHOR},
      {"GETEVENTNUMBER", GETEVENTNUMBER},
      {"REPLACECOLOR", REPLACECOLOR},
      {"GETENDX", GETENDX},
      {"GETENDY", GETENDY},
  };
  return kMethods;
}

namespace {

std::optional<tarnvik::GraphicMethod> sharedMethod(int id) {
  using M = tarnvik::GraphicMethod;
  using R = CMC_Animo_Runner;
  switch (id) {
    case R::CLEARCLIPPING: return M::ClearClipping;
    case R::SETCLIPPING: return M::SetClipping;
    case R::GETWIDTH: return M::GetWidth;
    case R::GETHEIGHT: return M::GetHeight;
    case R::ISNEAR: return M::IsNear;
    case R::ISINSIDE:
    case R::ISAT: return M::IsInside;
    case R::GETALPHA: return M::GetAlpha;
    case R::GETPIXEL: return M::GetPixel;
    case R::MERGEALPHA: return M::MergeAlpha;
    case R::GETCENTERX: return M::GetCenterX;
    case R::GETCENTERY: return M::GetCenterY;
    case R::ISVISIBLE: return M::IsVisible;
    case R::SETOPACITY: return M::SetOpacity;
    case R::GETOPACITY: return M::GetOpacity;
    case R::SETANCHOR: return M::SetAnchor;
    case R::FLIPH: return M::FlipH;
    case R::FLIPV: return M::FlipV;
    case R::RESETFLIPS: return M::ResetFlips;
    case R::DRAWONTO: return M::DrawOnto;
    case R::REPLACECOLOR: return M::ReplaceColor;
    default: return std::nullopt;
  }
}

// A whole decimal number (with an optional sign), or nothing.
std::optional<int> number(const CXString& text) {
  std::string_view s = text.view();
  int value = 0;
  auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || error != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

// The event argument i names: an event name, else its number.
int eventArgument(const CAnimo& animo, const CMC_Args* args, int i) {
  CXString text = CMC_Runner::getParameterString(args, i);
  int n = animo.GetEventNo(text);
  if (n >= 0) return n;
  auto value = number(text);
  return value && *value >= 0 && *value < animo.GetNOE() ? *value : -1;
}

// The entry argument i names in the event: an entry name, else its number (-1 when neither).
int entryArgument(const CAnimo& animo, int event, const CMC_Args* args, int i) {
  CXString text = CMC_Runner::getParameterString(args, i);
  if (auto value = number(text)) return *value >= 0 && *value < animo.GetNOFInEvent(event) ? *value : -1;
  for (int k = 0; k < animo.GetNOFInEvent(event); ++k) {
    const CAnimoEntry* entry = animo.GetFrameInfo(event, k);
    if (entry->hasName && entry->name.equalsIgnoreCase(text)) return k;
  }
  return -1;
}

}  // namespace

CMC_Object* CMC_Animo_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  auto* object = dynamic_cast<CMC_Animo*>(target);
  if (!object) return CMC_Runner::run(id, target, scope, args);
  CAnimo6& animo = *object->getAnimo();
  auto arg = [&](int i, int32_t fallback = 0) { return getParameterInteger(args, i, fallback); };
  auto text = [&](int i) { return getParameterString(args, i); };
  auto integer = [](int64_t v) { return CMC_VariableFactory::integer(static_cast<int32_t>(v)); };
  auto string = [](const CXString& s) { return CMC_VariableFactory::string(s); };
  if (auto shared = sharedMethod(id)) {
    // Only the methods that edit pixels take the shown frame for good (it never returns to its packed form).
    const bool edits = *shared == tarnvik::GraphicMethod::MergeAlpha || *shared == tarnvik::GraphicMethod::MergeAlpha2 ||
                       *shared == tarnvik::GraphicMethod::ReplaceColor;
    tarnvik::GraphicTarget graphic{&animo, edits ? animo.GetFrame(animo.Current()) : nullptr,
                                   [object] { object->invalidate(); },
                                   [&animo] { animo.placeFrame(); }};
    return tarnvik::runGraphicMethod(*shared, graphic, scope, args);
  }
  const CXPoint place = animo.GetGlobalPosition() + animo.getAnchor();
  const CXRect box = animo.GetBoundingBox();
  switch (id) {
    case SHOW: object->show(true); return nullptr;
    case HIDE: object->show(false); return nullptr;
    case PAUSE: object->pause(); return nullptr;
    case RESUME: object->resume(); return nullptr;
    case SETPOSITION: object->setPosition(arg(0), arg(1)); return nullptr;
    case MOVE: object->move(arg(0), arg(1)); return nullptr;
    case LOAD: object->load(text(0)); return nullptr;
    case PLAY: object->play(text(0)); return nullptr;
    case NPLAY: object->play(arg(0)); return nullptr;
    case PLAYREVERSE: object->playReverse(text(0), arg(1)); return nullptr;
    case PLAYRAND: object->playRandom(text(0), arg(1), arg(2)); return nullptr;
    case STOP: object->stop(argCount(args) == 0 || getParameterBool(args, 0)); return nullptr;
    case ISPLAYING: {
      bool playing = animo.IsPlaying();
      if (playing && argCount(args) > 0) playing = animo.getCurrentEventName().equalsIgnoreCase(text(0));
      return CMC_VariableFactory::boolean(playing);
    }
    case SETFRAME:
      if (argCount(args) >= 2) {
        int event = eventArgument(animo, args, 0);
        int entry = entryArgument(animo, event, args, 1);
        if (event >= 0 && entry >= 0) animo.SetEventFrame(event, entry);
      } else {
        animo.SetFrame(arg(0));
      }
      return nullptr;
    case NEXTFRAME: animo.Next(); return nullptr;
    case PREVFRAME: animo.Prev(); return nullptr;
    case SETFORWARD: animo.SetDirection(CAnimo::kForward); return nullptr;
    case SETBACKWARD: animo.SetDirection(CAnimo::kBackward); return nullptr;
    case GETFRAME: return integer(animo.Current());
    case GETCFRAMEINEVENT: return integer(animo.GetCurrentFrameInSequence());
    case GETFRAMENAME: {
      const CAnimoEntry* entry = argCount(args) >= 2
                                     ? animo.GetFrameInfo(eventArgument(animo, args, 0), arg(1))
                                     : animo.GetFrameInfo(animo.GetCurrentEvent(), animo.GetCurrentFrameInSequence());
      return string(entry && entry->hasName ? entry->name : CXString());
    }
    case SETFRAMENAME: {
      int event = eventArgument(animo, args, 0);
      if (CAnimoEntry* entry = animo.GetFrameInfo(event, entryArgument(animo, event, args, 1))) {
        entry->name = text(2);
        entry->hasName = true;
      }
      return nullptr;
    }
    case GETFRAMENO: {
      if (argCount(args) >= 2) {
        int event = eventArgument(animo, args, 0);
        const CAnimoEntry* entry = animo.GetFrameInfo(event, entryArgument(animo, event, args, 1));
        return integer(entry ? entry->frame : -1);
      }
      return integer(animo.getFrameNo(text(0)));
    }
    case GETEVENTNAME:
      return string(argCount(args) > 0 ? animo.GetEventName(arg(0)) : animo.getCurrentEventName());
    case GETEVENTNUMBER: return integer(animo.GetEventNo(text(0)));
    case GETNOE: return integer(animo.GetNOE());
    case GETNOF: return integer(animo.GetNOF());
    case GETNOFINEVENT: return integer(animo.GetNOFInEvent(eventArgument(animo, args, 0)));
    case GETMAXWIDTH: return integer(animo.GetMaxWidth());
    case GETMAXHEIGHT: return integer(animo.GetMaxHeight());
    case GETPOSITIONX: return integer(place.x);
    case GETPOSITIONY: return integer(place.y);
    case GETCURRFRAMEPOSX: return integer(animo.getCurrFramePosition().x);
    case GETCURRFRAMEPOSY: return integer(animo.getCurrFramePosition().y);
    case GETENDX: return integer(box.right);
    case GETENDY: return integer(box.bottom);
    case SETFPS: animo.SetFPS(arg(0)); return nullptr;
    case GETFPS: return integer(animo.GetFPS());
    case SETONFF: object->setOnFirstFrame(argCount(args) == 0 || getParameterBool(args, 0)); return nullptr;
    case SETVOLUME: animo.setVolume(arg(0)); return nullptr;
    case SETPAN: animo.setPanning(arg(0)); return nullptr;
    case SETFREQ: animo.setFrequency(arg(0)); return nullptr;
    case GETANCHOR:
      return integer(text(0).equalsIgnoreCase("Y") ? animo.getAnchor().y : animo.getAnchor().x);
    case MONITORCOLLISION: object->monitorCollisions(getParameterBool(args, 0)); return nullptr;
    case REMOVEMONITORCOLLISION: object->stopMonitoringCollisions(); return nullptr;
    case SETPRIORITY: object->setPriority(arg(0)); return nullptr;
    case GETPRIORITY: return integer(object->getPriority());
    case INVALIDATE: object->invalidate(); return nullptr;
    case SETASBUTTON: object->setAsButton(getParameterBool(args, 0)); return nullptr;
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerAnimoType() {
  CMC_ObjectsContainer::registerType("ANIMO", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Animo(scope, element);
  });
  mc::registerRecordType(mc::TYPE_ANIMO,
                         [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new CMC_Animo(scope, CXString("temp")); });
  CMC_RunnerFactory::registerRunner<CMC_Animo_Runner>(mc::TYPE_ANIMO);
}

}  // namespace tarnvik
