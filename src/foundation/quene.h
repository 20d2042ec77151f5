// Queues of engine objects: CQuene and its first-in-first-out and last-in-first-out kinds.
#pragma once

#include <deque>

#include "foundation/xobject.h"

// The base of all queues: pushes append, pops take the oldest (FIFO) or the newest (LIFO) item.
// CFifoQuene and CLifoQuene only point to their items; CXFifoQuene and CXLifoQuene own them and
// delete what is left on clear and destruction (a popped item belongs to the caller).
class CQuene : public CXObject {
 public:
  CQuene(const CQuene&) = delete;
  CQuene& operator=(const CQuene&) = delete;
  ~CQuene() override;

  // False for a null item, which is not stored.
  bool push(CXObject* item);
  // The next item, removed from the queue; null when empty.
  CXObject* pop();
  // The next item, left in the queue; null when empty.
  CXObject* peek() const;
  int size() const { return static_cast<int>(items_.size()); }
  int getSize() const { return size(); }
  bool isEmpty() const { return items_.empty(); }
  // Calls f(item) for every item, in the order they were pushed.
  template <class F>
  void forEach(F f) const {
    for (CXObject* item : items_) f(item);
  }
  void clear();
  bool isLifo() const { return lifo_; }
  bool isOwner() const { return owning_; }

 protected:
  CQuene(bool lifo, bool owning) : lifo_(lifo), owning_(owning) {}

 private:
  std::deque<CXObject*> items_;
  bool lifo_;
  bool owning_;
};

class CFifoQuene : public CQuene {
 public:
  CFifoQuene() : CQuene(false, false) {}

 protected:
  explicit CFifoQuene(bool owning) : CQuene(false, owning) {}
};

class CLifoQuene : public CQuene {
 public:
  CLifoQuene() : CQuene(true, false) {}

 protected:
  explicit CLifoQuene(bool owning) : CQuene(true, owning) {}
};

class CXFifoQuene : public CFifoQuene {
 public:
  CXFifoQuene() : CFifoQuene(true) {}
};

class CXLifoQuene : public CLifoQuene {
 public:
  CXLifoQuene() : CLifoQuene(true) {}
};
