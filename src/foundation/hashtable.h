// CHashtable with its key types CStringHashCode and CInteger.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/xarray.h"
#include "foundation/xobject.h"
#include "foundation/xstring.h"

// A string key: a copy of the text with its hash computed once.
class CStringHashCode : public CXObject {
 public:
  CStringHashCode() : hash_(xstringHash("")) {}
  explicit CStringHashCode(const CXString& text) : text_(text), hash_(xstringHash(text.view())) {}
  explicit CStringHashCode(const char* text) : CStringHashCode(CXString(text)) {}

  void set(const CXString& text) {
    text_ = text;
    hash_ = xstringHash(text_.view());
  }
  const CXString& getString() const { return text_; }

  int32_t hashCode() const override { return hash_; }
  // Exact, case-sensitive comparison with another string key.
  bool equals(const CXObject* other) const override;
  int compare(const CXObject* other) const override;
  CXString toString() const override { return text_; }
  CXObject* clone() const override { return new CStringHashCode(*this); }

 private:
  CXString text_;
  int32_t hash_;
};

// A boxed signed 32-bit integer, usable as key (its hash is its value) and as value.
class CInteger : public CXObject {
 public:
  explicit CInteger(int32_t value = 0) : value_(value) {}

  int32_t getValue() const { return value_; }
  int32_t intValue() const { return value_; }
  void setValue(int32_t value) { value_ = value; }

  int32_t hashCode() const override { return value_; }
  bool equals(const CXObject* other) const override;
  int compare(const CXObject* other) const override;
  CXString toString() const override { return CXString::toString(static_cast<int>(value_)); }
  CXObject* clone() const override { return new CInteger(value_); }

 private:
  int32_t value_;
};

// Hash table from key objects to value objects, compared by hashCode and equals.
// Each slot holds one pair directly or, after a collision, a list of pairs scanned in order.
// An owning table deletes its keys and values when they are removed, replaced or cleared.
class CHashtable : public CXObject {
 public:
  explicit CHashtable(int capacity = 101, double loadFactor = 0.75, bool owning = false);
  CHashtable(const CHashtable& other);
  CHashtable& operator=(const CHashtable& other);
  ~CHashtable() override;

  // Stores the pair, replacing the value of an equal key that is already present (an owning table
  // then keeps its stored key, deletes the old value and the passed key). False for a null key:
  // nothing is stored and the caller keeps both objects.
  bool put(CXObject* key, CXObject* value);
  CXObject* get(const CXObject* key) const;
  // Removes the pair (deleting key and value when owning); false when the key is absent.
  bool remove(const CXObject* key);
  // Takes the pair out without deleting anything, even in an owning table; returns the value.
  CXObject* detach(const CXObject* key);
  bool contains(const CXObject* key) const;
  void clear();

  // The stored keys in insertion order; valid until the table changes.
  const CXVector* getKeys() const { return &keys_; }
  int size() const { return count_; }
  int getCount() const { return count_; }
  bool isEmpty() const { return count_ == 0; }
  int getCapacity() const { return static_cast<int>(slots_.size()); }
  double getLoadFactor() const { return loadFactor_; }
  bool isOwner() const { return owning_; }
  // The slot a key falls into: its hash modulo the capacity, non-negative.
  int slotOf(const CXObject* key) const;
  // Number of pairs in a slot (more than one means a collision list).
  int slotSize(int slot) const;

  // A table of the same shape. An owning table's copy holds clones of the keys and values (pairs
  // whose key cannot be cloned are left out); a non-owning copy shares them.
  CXObject* clone() const override { return new CHashtable(*this); }

 private:
  struct Entry {
    CXObject* key;
    CXObject* value;
    int32_t hash;
  };
  using Slot = std::vector<Entry>;

  int slotFor(int32_t hash) const;
  const Entry* findEntry(const CXObject* key, int* slot, int* position) const;
  void rehash(size_t newCapacity);
  void copyFrom(const CHashtable& other);
  void disposePair(CXObject* key, CXObject* value);

  std::vector<Slot> slots_;
  int count_ = 0;
  double loadFactor_;
  bool owning_;
  CXVector keys_{101, 0.75f};
};
