// CANVAS_OBSERVER objects: the refresh manager's events as script events, and its methods.
#include "objects/drawables/canvas_observer.h"

#include "graphics/pixels/surface.h"
#include "graphics/window.h"
#include "objects/drawables/drawable_owner.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

const CMC_EventList& observerEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList(
      {"ONINITIALUPDATE", "ONFRAMESTARTED", "ONFRAMECOMPOSED", "ONWINDOWFOCUSON", "ONWINDOWFOCUSOFF", "ONINITIALUPDATED"});
  return list;
}

const char* const kEventNames[] = {"ONINITIALUPDATE", "ONFRAMESTARTED",   "ONFRAMECOMPOSED",
                                   "ONWINDOWFOCUSON", "ONWINDOWFOCUSOFF", "ONINITIALUPDATED"};

}  // namespace

CMC_CanvasObserver::CMC_CanvasObserver(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Object(scope, element, mc::TYPE_CANVASOBSERVER) {
  initializeBehaviours(scope, element);
  attach();
}

CMC_CanvasObserver::CMC_CanvasObserver(const CXString& name) : CMC_Object(name, mc::TYPE_CANVASOBSERVER) { attach(); }

CMC_CanvasObserver::~CMC_CanvasObserver() {
  // The refresh manager may have been replaced since: only leave the one joined, if it still exists.
  if (attached_ && attached_ == screen()) attached_->removeNotifier(this);
}

CRefreshScreen* CMC_CanvasObserver::screen() {
  CWindow* window = CWindow::getCurrent();
  return window ? window->getRefreshScreen() : nullptr;
}

void CMC_CanvasObserver::attach() {
  attached_ = screen();
  if (!attached_) return;
  attached_->addNotifier(this);
  attached_->enableNotifyFlag(true);
}

const CMC_EventList* CMC_CanvasObserver::getBehavioursList() const { return &observerEvents(); }

bool CMC_CanvasObserver::serialize(CXArchive* archive) { return mc::serializeNameRecord(*this, archive); }

void CMC_CanvasObserver::onCanvasEvent(int event) {
  if (event < 0 || event > 5) return;
  int index = EVI_ONINITIALUPDATE + event;
  if (hasHandlerFlag(index)) onSignal(CXString(kEventNames[event]));
}

CXString CMC_CanvasObserver::graphicsAt(int x, int y, bool onlyVisible, int lowest, int highest,
                                        bool ignoreAlpha) const {
  CRefreshScreen* refresh = screen();
  CGraphicsObject* hit = refresh ? refresh->getGraphicsAt(x, y, onlyVisible, lowest, highest, ignoreAlpha) : nullptr;
  CMC_Object* owner = tarnvik::findDrawableOwner(getScene(), hit);
  return owner ? owner->getName() : CXString();
}

CMC_Runner::MethodTable CMC_CanvasObserver_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"REFRESH", REFRESH},
      {"SETBACKGROUND", SETBACKGROUND},
      {"GETGRAPHICSAT", GETGRAPHICSAT},
      {"SETGRAYSCALE", SETGRAYSCALE},
      {"ISGRAYSCALE", ISGRAYSCALE},
      {"SETBACKGROUNDPOSITION", SETBACKGROUNDPOSITION},
      {"MOVEBACKGROUND", MOVEBACKGROUND},
      {"GETBACKGROUNDPOSITIONX", GETBACKGROUNDPOSITIONX},
      {"GETBACKGROUNDPOSITIONY", GETBACKGROUNDPOSITIONY},
  };
  return kMethods;
}

CMC_Object* CMC_CanvasObserver_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope,
                                           const CMC_Args* args) {
  auto* observer = dynamic_cast<CMC_CanvasObserver*>(target);
  if (!observer) return CMC_Runner::run(id, target, scope, args);
  CRefreshScreen* refresh = CMC_CanvasObserver::screen();
  switch (id) {
    case REFRESH:
      if (refresh) refresh->Invalidate();
      return nullptr;
    case SETBACKGROUND: {
      if (!refresh) return nullptr;
      CXString file = getParameterString(args, 0);
      if (file.isEmpty() || !refresh->SetBackground(file)) refresh->SetBackground(static_cast<const CColor*>(nullptr));
      return nullptr;
    }
    case GETGRAPHICSAT:
      return CMC_VariableFactory::string(observer->graphicsAt(
          getParameterInteger(args, 0), getParameterInteger(args, 1), getParameterBool(args, 2, true),
          getParameterInteger(args, 3, -1), getParameterInteger(args, 4, -1), getParameterBool(args, 5, false)));
    case SETGRAYSCALE:
      if (refresh) {
        int flags = refresh->getRefreshFlags();
        refresh->SetFlags(nullptr, getParameterBool(args, 0) ? flags | CRefreshScreen::kGrey : flags & ~CRefreshScreen::kGrey);
      }
      return nullptr;
    case ISGRAYSCALE:
      return CMC_VariableFactory::boolean(refresh && (refresh->getRefreshFlags() & CRefreshScreen::kGrey));
    case SETBACKGROUNDPOSITION:
    case MOVEBACKGROUND: {
      // Where the background's corner sits on the screen; drawing wraps it around its edges.
      CDirectDrawSurface* background = refresh ? refresh->getBackgroundIfc() : nullptr;
      if (!background) return nullptr;
      CXPoint at(getParameterInteger(args, 0), getParameterInteger(args, 1));
      if (id == MOVEBACKGROUND) at = CXPoint(background->GetPosition().x + at.x, background->GetPosition().y + at.y);
      // Kept wrapped into the background's size, so endless scrolling never overflows.
      int w = background->Width(), h = background->Height();
      if (w > 0 && h > 0) at = CXPoint(((at.x % w) + w) % w, ((at.y % h) + h) % h);
      background->SetPosition(at.x, at.y);
      refresh->Invalidate();
      return nullptr;
    }
    case GETBACKGROUNDPOSITIONX:
    case GETBACKGROUNDPOSITIONY: {
      CDirectDrawSurface* background = refresh ? refresh->getBackgroundIfc() : nullptr;
      CXPoint at = background ? background->GetPosition() : CXPoint(0, 0);
      return CMC_VariableFactory::integer(id == GETBACKGROUNDPOSITIONX ? at.x : at.y);
    }
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerCanvasObserverType() {
  for (const char* name : {"CANVAS_OBSERVER", "CANVASOBSERVER"})
    CMC_ObjectsContainer::registerType(name, [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
      return new CMC_CanvasObserver(scope, element);
    });
  mc::registerScopedRecordType(mc::TYPE_CANVASOBSERVER, [] { return new CMC_CanvasObserver(CXString("temp")); });
  CMC_RunnerFactory::registerRunner<CMC_CanvasObserver_Runner>(mc::TYPE_CANVASOBSERVER);
}

}  // namespace tarnvik
