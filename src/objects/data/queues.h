// FIFO and LIFO: value queues that give values back in push order or in reverse, with one runner.
#pragma once

#include <memory>

#include "foundation/quene.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Variable;

class CMC_Queue : public CMC_Object {
 public:
  static constexpr int EVI_ONEMPTY = 3;
  // PUSH stores at most this many values; further ones are dropped with a warning.
  static constexpr int kMaxValues = 1000000;

  // type is mc::TYPE_FIFO or mc::TYPE_LIFO.
  CMC_Queue(CMC_ObjectsContainer* scope, CMElement* element, int type);
  CMC_Queue(const CXString& name, int type);
  ~CMC_Queue() override;

  const CMC_EventList* getBehavioursList() const override;

  // Stores a copy of the value; false when the queue is full or the value is none.
  bool push(CMC_Object* value);
  // The next value as a pooled temporary, or null when the queue is empty (nothing fired).
  CMC_Variable* pop();
  int getSize() const { return queue_->size(); }
  bool isEmpty() const { return queue_->isEmpty(); }
  // Saved-state record: the handlers, the name, then the values in the order they were pushed.
  bool serialize(CXArchive* archive) override;
  // Run-time state: the record's content after the name (the handlers are the save's own).
  bool serializeState(CXArchive* archive) override;

 private:
  std::unique_ptr<CQuene> queue_;
};

class CMC_Queue_Runner : public CMC_Runner {
 public:
  enum Method { PUSH = 1, POP, GETSIZE, ISEMPTY };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers FIFO and LIFO, one runner for both: its maker, its saved-state record and its runner.
void registerQueueTypes();
}  // namespace tarnvik
