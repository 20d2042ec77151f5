// CMC_Behaviour: parsing once, running with conditions and parameters, temporary objects, the trash;
// and the BEHAVIOUR methods.
#include "runtime/behaviour.h"

#include <algorithm>
#include <typeinfo>

#include "files/state_fields.h"
#include "foundation/log.h"
#include "foundation/xarray.h"
#include "definitions/melement.h"
#include "runtime/behaviour_entry.h"
#include "runtime/code_check.h"
#include "runtime/condition.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

// Trims blanks, drops one leading "{" and one trailing "}", trims again.
CXString cleanCode(CXString code) {
  code.AllTrim(' ');
  if (code.GetAt(0) == '{') code = code.Right(1);
  if (code.lastChar() == '}') code = code.Left(code.length() - 1);
  code.AllTrim(' ');
  return code;
}

std::vector<CMC_Object*>& trash() {
  static std::vector<CMC_Object*> list;
  return list;
}

}  // namespace

CMC_ParamArray::CMC_ParamArray(std::vector<CXString> texts) {
  for (CXString& t : texts) add(t);
}

CMC_ParamArray::~CMC_ParamArray() = default;

void CMC_ParamArray::add(const CXString& text) {
  if (!array_) array_ = std::make_unique<CXArray>(10, 0.75f);
  texts_.push_back(std::make_unique<CXString>(text));
  array_->add(texts_.back().get());
}

int CMC_ParamArray::size() const { return static_cast<int>(texts_.size()); }

CMC_Behaviour::CMC_Behaviour(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Object(scope, element, mc::TYPE_BEHAVIOUR) {
  CXString written = elementValue(element, "CODE");
  if (const CMProperty* code = element ? element->getProperty("CODE") : nullptr) setOrigin(code->getOrigin());
  mc::reportCodeProblems(written.view(), getOrigin(), "behaviour " + getName().str());
  code_ = cleanCode(written);
  conditionName_ = elementValue(element, "CONDITION");
  initializeBehaviours(scope, element);
}

CMC_Behaviour::CMC_Behaviour(CMC_ObjectsContainer* scope, CXString name, CXString code)
    : CMC_Object(std::move(name), mc::TYPE_BEHAVIOUR), code_(std::move(code)) {
  setScene(scope);
}

CMC_Behaviour::CMC_Behaviour(CMC_ObjectsContainer* scope) : CMC_Object(CXString(), mc::TYPE_BEHAVIOUR) {
  setScene(scope);
}

CMC_Behaviour::~CMC_Behaviour() {
  if (timerId_ != 0)
    if (CXTimer* service = getTimerService()) service->remove(timerId_);
  // Objects a run made and did not remove (the behaviour went away during its own run).
  // The container is asked first: an object it no longer holds is not touched.
  for (const TempObject& t : tempObjects_)
    if (t.scene && t.scene->removeObject(t.object)) delete t.object;
}

const CMC_EventList* CMC_Behaviour::getBehavioursList() const { return baseEventList(); }

void CMC_Behaviour::init() {
  CMC_Object::init();
  if (code_.GetAt(0) == '{') code_ = code_.Mid(1, code_.length() - 1);
  parse();
}

void CMC_Behaviour::parse() {
  substituted_ = false;
  setLines(CMC_Behaviour_Entry::getCodeLines(this, code_));
}

bool CMC_Behaviour::done(bool unloading) {
  setLines({});
  return CMC_Object::done(unloading);
}

void CMC_Behaviour::setLines(std::vector<std::unique_ptr<CMC_Behaviour_Entry>> lines) {
  if (runDepth_ > 0) retired_.push_back(std::move(lines_));
  lines_ = std::move(lines);
}

void CMC_Behaviour::setParams(CXArray* params) {
  if (!params || params->size() == 0) {
    if (substituted_) parse();
    return;
  }
  setLines(CMC_Behaviour_Entry::getCodeLines(this, CMC_Behaviour_Entry::fillParams(code_, params)));
  substituted_ = true;
}

void CMC_Behaviour::resolveCondition() {
  condition_ = nullptr;
  if (conditionName_.isEmpty() || !getScene()) return;
  CMC_Object* found = getScene()->getObject(conditionName_);
  if (found && (found->getType() == mc::TYPE_CONDITION || found->getType() == mc::TYPE_COMPLEXCONDITION)) {
    condition_ = found;
  } else {
    TLOG_DEBUG("behaviour " << getName().c_str() << ": no condition named " << conditionName_.c_str());
  }
}

bool CMC_Behaviour::checkCondition() {
  if (!condition_) return true;
  return static_cast<CMC_BasicCondition*>(condition_)->valid(true);
}

namespace {
bool g_held = false;
}  // namespace

void CMC_Behaviour::holdAll(bool held) { g_held = held; }
bool CMC_Behaviour::isHeld() { return g_held; }

// Out of the way of the runs, which then need no room for the message.
void CMC_Behaviour::reportTooDeep() const {
  TLOG_ERROR("behaviour " << getName().c_str() << ": runs nested too deep (" << mc::ScriptDepth::depth()
                          << " levels); this run stops as if by BREAK, and so do the runs nested in the"
                             " same outermost run until it ends");
  TLOG_DEBUG("behaviour " << getName().c_str() << ": " << mc::ScriptDepth::stackUsed(mc::ScriptDepth::stackPosition())
                          << " bytes of stack in use, " << mc::ScriptDepth::budget() << " allowed");
}

// One run of the lines once the behaviour was found ready to run; true when it ended by a break.
// Taken inline by its two callers: a loop runs it once per iteration.
[[gnu::always_inline]] inline bool CMC_Behaviour::runLines(CMC_Object* current, CXArray* params) {
  bool tripped = mc::ScriptDepth::tripped();
  if (!mc::ScriptDepth::enterRun()) {
    if (!tripped) reportTooDeep();
    return true;
  }
  ++runDepth_;
  // The lines may be replaced while they run (setParams, init); the replaced ones stay alive in
  // retired_ until the outermost run ends, so walking the array taken here is safe.
  std::unique_ptr<CMC_Behaviour_Entry>* lines = lines_.data();
  size_t count = lines_.size();
  bool broke = false;
  for (size_t i = 0; i < count; ++i) {
    CMC_Object* r = lines[i]->run(current, params);
    int code = mc::controlCode(r);
    if (code) {
      broke = code == mc::CODE_BREAK;
      break;
    }
    mc::release(r);
  }
  if (!tempObjects_.empty()) removeTempObjects(runDepth_);
  --runDepth_;
  if (runDepth_ == 0) retired_.clear();
  mc::ScriptDepth::leave();
  return broke;
}

bool CMC_Behaviour::run(CMC_Object* current, CXArray* params, bool checkCond) {
  if (!enabled_ || lines_.empty() || g_held) return false;
  if (checkCond && !checkCondition()) return false;
  return runLines(current, params);
}

bool CMC_Behaviour::runCounting(CMC_Integer* counter, int64_t from, int64_t to, int64_t step) {
  // A kind of behaviour with a run of its own is run through it.
  bool plain = typeid(*this) == typeid(CMC_Behaviour);
  for (int64_t i = from; step > 0 ? i < to : i > to; i += step) {
    if (counter) counter->assign(static_cast<int32_t>(i));
    if (!plain) {
      if (run(nullptr, nullptr, true)) return true;
      continue;
    }
    // What run(nullptr, nullptr, true) checks, every iteration: the body may disable itself.
    if (!enabled_ || lines_.empty() || g_held || !checkCondition()) continue;
    if (runLines(nullptr, nullptr)) return true;
  }
  return false;
}

void CMC_Behaviour::addTempObject(CMC_Object* object) {
  if (object) tempObjects_.push_back({object, object->getScene(), runDepth_});
}

void CMC_Behaviour::removeTempObjects(int fromDepth) {
  // Only the objects of this run (and of runs nested in it) go; an outer run keeps its own.
  std::vector<TempObject> leaving;
  std::erase_if(tempObjects_, [&](const TempObject& t) {
    if (t.depth < fromDepth) return false;
    leaving.push_back(t);
    return true;
  });
  for (const TempObject& t : leaving) {
    // An object its container no longer holds was replaced (and deleted) there already.
    if (t.scene && t.scene->removeObject(t.object)) delete t.object;
  }
}

namespace {
CXTimer* g_timerService = nullptr;
int nextTimerId() {
  static int next = 0x40000000;
  return ++next;
}
}  // namespace

void CMC_Behaviour::setTimerService(CXTimer* service) { g_timerService = service; }
CXTimer* CMC_Behaviour::getTimerService() { return g_timerService; }

void CMC_Behaviour::runOnTimer(int interval, int count, CXArray* params, CMC_Behaviour* final) {
  CXTimer* service = getTimerService();
  if (!service) {
    TLOG_DEBUG("behaviour " << getName().c_str() << ": no timer service, so it does not run on a timer");
    return;
  }
  if (timerId_ != 0) service->remove(timerId_);
  timerId_ = nextTimerId();
  timerTicks_ = 0;
  timerLimit_ = count;
  timerFinal_ = final;
  timerParams_.clear();
  for (int i = 0; params && i < params->getCount(); ++i)
    if (auto* text = static_cast<CXString*>(params->elementAt(i))) timerParams_.push_back(*text);
  service->add(timerId_, static_cast<uint32_t>(interval < 0 ? 0 : interval), this);
}

void CMC_Behaviour::onTimer(int id) {
  if (id != timerId_ || timerId_ == 0) return;
  ++timerTicks_;
  std::vector<CXString> texts{CXString::toString(timerTicks_)};
  texts.insert(texts.end(), timerParams_.begin(), timerParams_.end());
  CMC_ParamArray params(texts);
  bool broke = run(this, params.get(), false);
  if (timerId_ == 0) return;  // the run stopped it (BEHAVIOUR^BREAK)
  if (!broke && !(timerLimit_ >= 1 && timerTicks_ >= timerLimit_)) return;
  CMC_Behaviour* final = timerFinal_;
  stopTimer();
  if (final) {
    final->run(nullptr, params.get(), true);
    discardTimerCopy(final);
  }
}

void CMC_Behaviour::_break() {
  if (timerId_ == 0) return;
  CMC_Behaviour* final = timerFinal_;
  stopTimer();
  if (final) discardTimerCopy(final);
}

void CMC_Behaviour::stopTimer() {
  if (CXTimer* service = getTimerService()) service->remove(timerId_);
  timerId_ = 0;
  timerFinal_ = nullptr;
  discardTimerCopy(this);
}

void CMC_Behaviour::discardTimerCopy(CMC_Behaviour* copy) {
  // The copy leaves its scene now and is deleted at the end of the tick, after any run of it ended.
  if (CMC_ObjectsContainer* scene = copy->getScene()) scene->removeObject(copy);
  addToTrash(copy);
}

void CMC_Behaviour::initTrash() {}

void CMC_Behaviour::addToTrash(CMC_Object* object) {
  if (!object) return;
  auto& list = trash();
  if (std::find(list.begin(), list.end(), object) == list.end()) list.push_back(object);
}

void CMC_Behaviour::flushTrash() {
  auto& list = trash();
  // Deleting may queue more objects; take the list each round.
  while (!list.empty()) {
    std::vector<CMC_Object*> round;
    round.swap(list);
    for (CMC_Object* object : round) delete object;
  }
}

void CMC_Behaviour::doneTrash() { flushTrash(); }

int CMC_Behaviour::trashSize() { return static_cast<int>(trash().size()); }

CMC_Runner::MethodTable CMC_Behaviour_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"RUN", RUN},
      {"RUNC", RUNC},
      {"RUNLOOPED", RUNLOOPED},
      {"BREAK", BREAK},
      {"ENABLE", ENABLE},
      {"DISABLE", DISABLE},
  };
  return kMethods;
}

std::vector<CXString> CMC_Behaviour_Runner::runParameters(CMC_ObjectsContainer* scope, const CMC_Args* args, int from) {
  std::vector<CXString> texts;
  for (int i = from; i < argCount(args); ++i) {
    CXString text = getParameterString(args, i);
    CMC_Object* named = (scope && !text.isEmpty()) ? scope->getObject(text) : nullptr;
    if (named && !CMC_Variable::isValueType(named->getType())) text = CXString("\"") + text + "\"";
    texts.push_back(std::move(text));
  }
  return texts;
}

CMC_Object* CMC_Behaviour_Runner::runOnce(CMC_Behaviour* behaviour, CMC_ObjectsContainer* scope, const CMC_Args* args,
                                          bool check) {
  CMC_ParamArray params(runParameters(scope, args, 0));
  if (behaviour->run(nullptr, params.get(), check)) return mc::controlResult(mc::CODE_BREAK);
  CMC_ObjectsContainer* where = scope ? scope : behaviour->getScene();
  CMC_Variable* ret = where ? where->getVariable("__RETURN__") : nullptr;
  return ret ? CMC_VariableFactory::copyVariable(ret) : nullptr;
}

CMC_Object* CMC_Behaviour_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_BEHAVIOUR) return CMC_Runner::run(id, target, scope, args);
  auto* behaviour = static_cast<CMC_Behaviour*>(target);
  switch (id) {
    case RUN:
      return runOnce(behaviour, scope, args, false);
    case RUNC:
      return runOnce(behaviour, scope, args, true);
    case RUNLOOPED: {
      int64_t start = getParameterInteger(args, 0);
      int64_t count = getParameterInteger(args, 1);
      int64_t step = getParameterInteger(args, 2, 1);
      if (step <= 0) {
        TLOG_WARN("RUNLOOPED of " << behaviour->getName().c_str() << ": step " << step << " replaced by 1");
        step = 1;
      }
      std::vector<CXString> rest = runParameters(scope, args, 2);
      for (int64_t counter = start; counter < start + count; counter += step) {
        CMC_ParamArray params;
        params.add(CXString::toString(static_cast<int>(counter)));
        for (const CXString& t : rest) params.add(t);
        if (behaviour->run(nullptr, params.get(), true)) break;
      }
      CMC_ObjectsContainer* where = scope ? scope : behaviour->getScene();
      return where ? where->getVariable("__RETURN__") : nullptr;
    }
    case BREAK:
      behaviour->_break();
      return nullptr;
    case ENABLE:
      behaviour->enable(true);
      return nullptr;
    case DISABLE:
      behaviour->enable(false);
      return nullptr;
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

bool CMC_Behaviour::serializeState(CXArchive* archive) {
  CXTimer* service = getTimerService();
  CTimerObject* entry = timerId_ && service ? service->find(timerId_) : nullptr;
  CTimerObject at = entry ? *entry : CTimerObject{};
  bool timed = entry != nullptr;
  int32_t ticks = timerTicks_, limit = timerLimit_, count = static_cast<int32_t>(timerParams_.size());
  CXString final = timerFinal_ ? timerFinal_->getName() : CXString();
  if (!saved::fields(archive, timed, ticks, limit, final, at.interval, at.lastFire, at.pausedElapsed, count) ||
      count < 0 || count > 1024)
    return false;
  std::vector<CXString> params = timerParams_;
  params.resize(static_cast<size_t>(count));
  for (CXString& p : params)
    if (!saved::fields(archive, p)) return false;
  if (archive->isStoring() || !timed || !service) return true;
  CMC_ObjectsContainer* scope = getScene();
  CMC_Object* named = scope && !final.isEmpty() ? scope->getObject(final) : nullptr;
  if (timerId_ != 0) service->remove(timerId_);
  timerId_ = nextTimerId();
  timerTicks_ = ticks;
  timerLimit_ = limit;
  timerParams_ = std::move(params);
  timerFinal_ = named && named->getType() == mc::TYPE_BEHAVIOUR ? static_cast<CMC_Behaviour*>(named) : nullptr;
  service->add(timerId_, at.interval, this);
  if (CTimerObject* now = service->find(timerId_)) {
    now->lastFire = at.lastFire;
    now->pausedElapsed = at.pausedElapsed;
  }
  return true;
}
