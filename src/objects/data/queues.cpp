// FIFO and LIFO queues of value copies and their shared runner.
#include "objects/data/queues.h"

#include "files/xarchive.h"
#include "foundation/log.h"
#include "objects/data/value_args.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

std::unique_ptr<CQuene> makeQueue(int type) {
  if (type == mc::TYPE_LIFO) return std::make_unique<CXLifoQuene>();
  return std::make_unique<CXFifoQuene>();
}

}  // namespace

CMC_Queue::CMC_Queue(CMC_ObjectsContainer* scope, CMElement* element, int type)
    : CMC_Object(scope, element, type), queue_(makeQueue(type)) {
  initializeBehaviours(scope, element);
}

CMC_Queue::CMC_Queue(const CXString& name, int type) : CMC_Object(name, type), queue_(makeQueue(type)) {}

CMC_Queue::~CMC_Queue() = default;

const CMC_EventList* CMC_Queue::getBehavioursList() const {
  static const CMC_EventList list = makeEventList({"ONEMPTY"});
  return &list;
}

bool CMC_Queue::push(CMC_Object* value) {
  if (getSize() >= kMaxValues) {
    TLOG_WARN(typeToString(getType()).view() << " " << getName().view() << "^PUSH: " << kMaxValues
                                             << " values queued already; the value is dropped");
    return false;
  }
  CMC_Variable* copy = tarnvik::args::ownedCopy(value);
  return copy && queue_->push(copy);
}

bool CMC_Queue::serialize(CXArchive* archive) { return mc::serializeNameRecord(*this, archive) && serializeState(archive); }

bool CMC_Queue::serializeState(CXArchive* archive) {
  if (archive->isStoring()) {
    std::vector<CMC_Variable*> values;
    queue_->forEach([&](CXObject* item) { values.push_back(static_cast<CMC_Variable*>(item)); });
    *archive << static_cast<int32_t>(values.size());
    for (CMC_Variable* v : values)
      if (!mc::storeValueRecord(*v, archive)) return false;
    return archive->isOk();
  }
  std::vector<std::unique_ptr<CMC_Variable>> values;
  if (!mc::restoreValueList(archive, values, kMaxValues)) return false;
  queue_->clear();
  for (auto& v : values) queue_->push(v.release());
  return true;
}

CMC_Variable* CMC_Queue::pop() {
  std::unique_ptr<CXObject> item(queue_->pop());
  if (!item) return nullptr;
  // The caller gets a pooled copy, released like any method result; the stored value goes now.
  return CMC_VariableFactory::copyVariable(static_cast<CMC_Variable*>(item.get()));
}

CMC_Runner::MethodTable CMC_Queue_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"PUSH", PUSH},
      {"POP", POP},
      {"GETSIZE", GETSIZE},
      {"ISEMPTY", ISEMPTY},
  };
  return kMethods;
}

CMC_Object* CMC_Queue_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || (target->getType() != mc::TYPE_FIFO && target->getType() != mc::TYPE_LIFO))
    return CMC_Runner::run(id, target, scope, args);
  auto* q = static_cast<CMC_Queue*>(target);
  switch (id) {
    case PUSH:
      for (int i = 0; i < argCount(args); ++i) q->push(getParameter(args, i));
      return nullptr;
    case POP: {
      if (CMC_Variable* v = q->pop()) return v;
      // The handler may delete the queue: nothing of it is touched after the event.
      q->onSignal(CXString("ONEMPTY"));
      return CMC_VariableFactory::string(CXString("NULL"));
    }
    case GETSIZE: return CMC_VariableFactory::integer(q->getSize());
    case ISEMPTY: return CMC_VariableFactory::boolean(q->isEmpty());
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerQueueTypes() {
  CMC_ObjectsContainer::registerType("FIFO", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Queue(scope, element, mc::TYPE_FIFO);
  });
  CMC_ObjectsContainer::registerType("LIFO", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Queue(scope, element, mc::TYPE_LIFO);
  });
  mc::registerScopedRecordType(mc::TYPE_FIFO, [] { return new CMC_Queue(CXString("temp"), mc::TYPE_FIFO); });
  mc::registerScopedRecordType(mc::TYPE_LIFO, [] { return new CMC_Queue(CXString("temp"), mc::TYPE_LIFO); });
  CMC_RunnerFactory::registerRunner<CMC_Queue_Runner>(mc::TYPE_FIFO);
  CMC_RunnerFactory::registerRunner<CMC_Queue_Runner>(mc::TYPE_LIFO);
}

}  // namespace tarnvik
