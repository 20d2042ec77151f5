// CXArray and CXVector: growable pointer arrays with the engine's doubling growth rule.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "foundation/log.h"
#include "foundation/xobject.h"

class CXString;

// The shared shape of CXArray (untyped pointers) and CXVector (objects): `capacity` slots, the first
// `count` in use, all others null. The container never owns what it points to.
template <class T>
class CXArrayBase : public CXObject {
 public:
  using Item = T*;

  explicit CXArrayBase(int capacity = 10, float factor = 0.75f) {
    if (capacity < 1) {
      TLOG_DEBUG("array capacity " << capacity << " raised to 1");
      capacity = 1;
    }
    // Tiny or invalid factors would double the buffer on every add.
    if (!(factor >= 0.1f) || !std::isfinite(factor)) {
      TLOG_WARN("array growth factor " << factor << " replaced by 0.75");
      factor = 0.75f;
    }
    factor_ = factor;
    slots_.assign(static_cast<size_t>(capacity), nullptr);
  }

  // Appends; the capacity doubles once the count reaches capacity x factor. Returns the new index.
  int add(Item item) {
    if (count_ >= capacity()) grow();
    slots_[count_++] = item;
    if (static_cast<float>(count_) >= threshold()) grow();
    return count_ - 1;
  }

  // Inserts before `index` (0..count); other indexes are refused.
  bool insertAt(int index, Item item) {
    if (index < 0 || index > count_) {
      TLOG_DEBUG("insertAt index " << index << " outside 0.." << count_);
      return false;
    }
    while (static_cast<float>(index) >= threshold() && capacity() < INT32_MAX) grow();
    if (count_ >= capacity()) grow();
    for (int i = count_; i > index; --i) slots_[i] = slots_[i - 1];
    slots_[index] = item;
    ++count_;
    return true;
  }

  // Removes the first occurrence; false when absent.
  bool remove(Item item) {
    int index = find(item);
    if (index < 0) return false;
    removeAt(index);
    return true;
  }

  // Removes and returns the item at the index; null (and nothing changes) when out of range.
  Item removeAt(int index) {
    if (index < 0 || index >= count_) return nullptr;
    Item old = slots_[index];
    for (int i = index; i < count_ - 1; ++i) slots_[i] = slots_[i + 1];
    slots_[--count_] = nullptr;
    return old;
  }

  // Forgets every item without deleting it.
  void removeAll() {
    for (int i = 0; i < count_; ++i) slots_[i] = nullptr;
    count_ = 0;
  }

  int find(const T* item) const {
    for (int i = 0; i < count_; ++i)
      if (slots_[i] == item) return i;
    return -1;
  }
  bool contains(const T* item) const { return find(item) >= 0; }

  // Replaces the item at the index and returns the previous one; null when out of range.
  Item setAt(int index, Item item) {
    if (index < 0 || index >= count_) {
      TLOG_DEBUG("setAt index " << index << " outside 0.." << count_ - 1);
      return nullptr;
    }
    Item old = slots_[index];
    slots_[index] = item;
    return old;
  }

  // Replaces the first occurrence of `from` by `to`; false when `from` is absent.
  bool replace(const T* from, Item to) {
    int index = find(from);
    if (index < 0) return false;
    slots_[index] = to;
    return true;
  }

  // Null for an index out of range.
  Item elementAt(int index) const { return (index >= 0 && index < count_) ? slots_[index] : nullptr; }
  Item operator[](int index) const { return elementAt(index); }
  Item firstElement() const { return elementAt(0); }
  Item lastElement() const { return elementAt(count_ - 1); }

  int size() const { return count_; }
  int getCount() const { return count_; }
  bool isEmpty() const { return count_ == 0; }
  int getCapacity() const { return capacity(); }
  float getFactor() const { return factor_; }

  Item* begin() { return slots_.data(); }
  Item* end() { return slots_.data() + count_; }
  const Item* begin() const { return slots_.data(); }
  const Item* end() const { return slots_.data() + count_; }

 protected:
  int capacity() const { return static_cast<int>(slots_.size()); }
  float threshold() const { return static_cast<float>(capacity()) * factor_; }
  void grow() {
    size_t doubled = slots_.size() * 2;
    if (doubled > static_cast<size_t>(INT32_MAX)) doubled = INT32_MAX;
    slots_.resize(doubled, nullptr);
  }

  std::vector<Item> slots_;
  int count_ = 0;
  float factor_ = 0.75f;
};

// Untyped pointers. containsString and stringAt treat the items as CXString pointers, as the
// engine's string lists (parameters, split texts) are.
class CXArray : public CXArrayBase<void> {
 public:
  explicit CXArray(int capacity = 10, float factor = 0.75f) : CXArrayBase(capacity, factor) {}

  bool containsString(const CXString& text) const;
  CXString* stringAt(int index) const;
  // A new array with the same pointers (the items are shared, not copied).
  CXObject* clone() const override { return new CXArray(*this); }
};

// Engine objects.
class CXVector : public CXArrayBase<CXObject> {
 public:
  explicit CXVector(int capacity = 10, float factor = 0.75f) : CXArrayBase(capacity, factor) {}

  // Compares the text of the items that are strings.
  bool containsString(const CXString& text) const;
  // The item as a string; null when out of range or not a string.
  CXString* stringAt(int index) const;
  // Copies up to `targetSize` item pointers into `target`; returns how many were copied.
  int copyInto(CXObject** target, int targetSize) const;
  // Makes `target` hold the same items in the same order.
  void copyInto(CXVector& target) const;
  // A new vector with the same pointers (the items are shared, not copied).
  CXObject* clone() const override { return new CXVector(*this); }
};
