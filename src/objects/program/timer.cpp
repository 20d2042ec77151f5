// TIMER objects: registration with the window's timer service, ticking, and their methods.
#include "objects/program/timer.h"

#include "files/xarchive.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "objects/type_registration.h"
#include "runtime/objects_container.h"
#include "files/state_fields.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

const CMC_EventList& timerEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList({"ONTICK"});
  return list;
}

// Timer ids are unique per process (an address would not fit the service's 32-bit ids).
int nextTimerId() {
  static int next = 0x10000;
  return ++next;
}

}  // namespace

CMC_Timer::CMC_Timer(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Object(scope, element, mc::TYPE_TIMER), id_(nextTimerId()) {
  CXString enabled = elementValue(element, "ENABLED");
  enabled_ = enabled.isEmpty() || enabled.equalsIgnoreCase("true");
  limit_ = elementInt(element, "TICKS");
  elapse_ = elementValue(element, "ELAPSE");
  elapse_.AllTrim(' ');
  registerWithService();
  initializeBehaviours(scope, element);
}

bool CMC_Timer::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  if (archive->isStoring()) {
    *archive << getName() << enabled_ << limit_ << ticks_ << elapse_;
    return archive->isOk();
  }
  CXString name, elapse;
  bool enabled = true;
  int32_t limit = 0, ticks = 0;
  *archive >> name >> enabled >> limit >> ticks >> elapse;
  if (!archive->isOk()) return false;
  setName(name);
  enabled_ = enabled;
  limit_ = limit;
  ticks_ = ticks;
  elapse_ = elapse;
  registerWithService();
  return true;
}

CXObject* CMC_Timer::clone() const {
  auto* copy = new CMC_Timer(getScene(), nullptr);
  copy->setName(getName());
  copy->enabled_ = enabled_;
  copy->limit_ = limit_;
  copy->elapse_ = elapse_;
  copy->registerWithService();
  return copy;
}

void CMC_Timer::registerWithService() {
  if (elapse_.isEmpty() || registered_) return;
  if (CXTimer* timers = service()) {
    int interval = elapse_.toNumber();
    timers->add(id_, static_cast<uint32_t>(interval < 0 ? 0 : interval), this);
    registered_ = true;
  } else {
    TLOG_DEBUG("timer " << getName().view() << ": no window, so it never ticks");
  }
}

CMC_Timer::~CMC_Timer() {
  if (registered_)
    if (CXTimer* timers = service()) timers->remove(id_);
}

CXTimer* CMC_Timer::service() const {
  CWindow* shown = window();
  return shown ? shown->getTimer() : nullptr;
}

const CMC_EventList* CMC_Timer::getBehavioursList() const { return &timerEvents(); }

void CMC_Timer::onTimer(int) {
  if (!enabled_) return;
  ++ticks_;
  if (limit_ > 0 && ticks_ == limit_) enabled_ = false;  // this tick is still delivered
  fireEvent(EVI_ONTICK, "ONTICK", CXString::toString(ticks_));
}

void CMC_Timer::enable() {
  if (enabled_) return;
  ticks_ = 0;
  enabled_ = true;
  if (registered_)
    if (CXTimer* timers = service()) timers->reset(id_);
}

void CMC_Timer::pause() {
  enabled_ = false;
  if (CXTimer* timers = service()) timers->pause();
}

void CMC_Timer::resume() {
  if (enabled_) return;
  enabled_ = true;
  if (CXTimer* timers = service()) timers->resume();
}

void CMC_Timer::reset() {
  ticks_ = 0;
  if (registered_)
    if (CXTimer* timers = service()) timers->reset(id_);
}

void CMC_Timer::setElapse(int ms) {
  if (!registered_) return;
  if (CXTimer* timers = service())
    if (CTimerObject* entry = timers->find(id_)) entry->interval = static_cast<uint32_t>(ms < 0 ? 0 : ms);
}

CMC_Runner::MethodTable CMC_Timer_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"ENABLE", ENABLE},
      {"DISABLE", DISABLE},
      {"PAUSE", PAUSE},
      {"RESUME", RESUME},
      {"GETTICKS", GETTICKS},
      {"RESET", RESET},
      {"SETELAPSE", SETELAPSE},
  };
  return kMethods;
}

CMC_Object* CMC_Timer_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  auto* timer = dynamic_cast<CMC_Timer*>(target);
  if (!timer) return CMC_Runner::run(id, target, scope, args);
  switch (id) {
    case ENABLE: timer->enable(); return nullptr;
    case DISABLE: timer->disable(); return nullptr;
    case PAUSE: timer->pause(); return nullptr;
    case RESUME: timer->resume(); return nullptr;
    case GETTICKS: {
      return CMC_VariableFactory::integer(timer->getTicks());
    }
    case RESET: timer->reset(); return nullptr;
    case SETELAPSE: timer->setElapse(getParameterInteger(args, 0)); return nullptr;
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerTimerType() {
  registerElementType<CMC_Timer, CMC_Timer_Runner>("TIMER", mc::TYPE_TIMER);
}

}  // namespace tarnvik

bool CMC_Timer::serializeState(CXArchive* archive) {
  bool enabled = enabled_;
  int32_t ticks = ticks_, limit = limit_;
  CXString elapse = elapse_;
  CTimerObject none;
  CTimerObject* entry = registered_ && service() ? service()->find(id_) : nullptr;
  CTimerObject at = entry ? *entry : none;
  bool hasEntry = entry != nullptr;
  if (!saved::fields(archive, enabled, ticks, limit, elapse, hasEntry, at.interval, at.lastFire, at.pausedElapsed))
    return false;
  if (archive->isStoring()) return true;
  enabled_ = enabled;
  ticks_ = ticks;
  limit_ = limit;
  if (elapse != elapse_) {
    elapse_ = elapse;
    if (registered_ && service()) service()->remove(id_);
    registered_ = false;
  }
  registerWithService();
  if (CTimerObject* now = hasEntry && registered_ && service() ? service()->find(id_) : nullptr) {
    now->interval = at.interval;
    now->lastFire = at.lastFire;
    now->pausedElapsed = at.pausedElapsed;
  }
  return true;
}
