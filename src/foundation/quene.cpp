// CQuene operations shared by every queue kind.
#include "foundation/quene.h"

#include "foundation/log.h"

CQuene::~CQuene() { clear(); }

bool CQuene::push(CXObject* item) {
  if (!item) {
    TLOG_DEBUG("queue: null item not pushed");
    return false;
  }
  items_.push_back(item);
  return true;
}

CXObject* CQuene::pop() {
  if (items_.empty()) return nullptr;
  CXObject* item;
  if (lifo_) {
    item = items_.back();
    items_.pop_back();
  } else {
    item = items_.front();
    items_.pop_front();
  }
  return item;
}

CXObject* CQuene::peek() const {
  if (items_.empty()) return nullptr;
  return lifo_ ? items_.back() : items_.front();
}

void CQuene::clear() {
  if (owning_)
    for (CXObject* item : items_) delete item;
  items_.clear();
}
