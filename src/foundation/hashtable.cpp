// CHashtable, CStringHashCode and CInteger.
#include "foundation/hashtable.h"

#include <cmath>

#include "foundation/log.h"

bool CStringHashCode::equals(const CXObject* other) const {
  auto* key = dynamic_cast<const CStringHashCode*>(other);
  return key && key->hash_ == hash_ && key->text_.str() == text_.str();
}

int CStringHashCode::compare(const CXObject* other) const {
  auto* key = dynamic_cast<const CStringHashCode*>(other);
  if (!key) return CXObject::compare(other);
  int c = text_.str().compare(key->text_.str());
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool CInteger::equals(const CXObject* other) const {
  auto* number = dynamic_cast<const CInteger*>(other);
  return number && number->value_ == value_;
}

int CInteger::compare(const CXObject* other) const {
  auto* number = dynamic_cast<const CInteger*>(other);
  if (!number) return CXObject::compare(other);
  return value_ < number->value_ ? -1 : (value_ > number->value_ ? 1 : 0);
}

CHashtable::CHashtable(int capacity, double loadFactor, bool owning) : loadFactor_(loadFactor), owning_(owning) {
  if (capacity < 1) {
    TLOG_WARN("hash table capacity " << capacity << " raised to 1");
    capacity = 1;
  }
  // A load factor near zero (or invalid) would make every put double the table.
  if (!(loadFactor_ >= 0.1) || !std::isfinite(loadFactor_)) {
    TLOG_WARN("hash table load factor " << loadFactor << " replaced by 0.75");
    loadFactor_ = 0.75;
  }
  slots_.resize(static_cast<size_t>(capacity));
}

CHashtable::CHashtable(const CHashtable& other)
    : CXObject(other), loadFactor_(other.loadFactor_), owning_(other.owning_) {
  slots_.resize(other.slots_.size());
  copyFrom(other);
}

CHashtable& CHashtable::operator=(const CHashtable& other) {
  if (this == &other) return *this;
  clear();
  CXObject::operator=(other);
  loadFactor_ = other.loadFactor_;
  owning_ = other.owning_;
  slots_.assign(other.slots_.size(), Slot());
  copyFrom(other);
  return *this;
}

CHashtable::~CHashtable() { clear(); }

void CHashtable::copyFrom(const CHashtable& other) {
  for (CXObject* key : other.keys_) {
    CXObject* value = other.get(key);
    if (!owning_) {
      put(key, value);
      continue;
    }
    CXObject* keyCopy = key->clone();
    if (!keyCopy) {
      TLOG_WARN("hash table copy: a key cannot be cloned; its pair is left out");
      continue;
    }
    CXObject* valueCopy = nullptr;
    if (value) {
      valueCopy = value == key ? keyCopy : value->clone();
      if (!valueCopy) TLOG_WARN("hash table copy: value of key '" << key->toString().view() << "' cannot be cloned");
    }
    put(keyCopy, valueCopy);
  }
}

int CHashtable::slotFor(int32_t hash) const {
  int capacity = getCapacity();
  int slot = hash % capacity;
  return slot < 0 ? slot + capacity : slot;
}

int CHashtable::slotOf(const CXObject* key) const { return key ? slotFor(key->hashCode()) : -1; }

int CHashtable::slotSize(int slot) const {
  if (slot < 0 || slot >= getCapacity()) return 0;
  return static_cast<int>(slots_[slot].size());
}

const CHashtable::Entry* CHashtable::findEntry(const CXObject* key, int* slot, int* position) const {
  if (!key) return nullptr;
  int32_t hash = key->hashCode();
  int s = slotFor(hash);
  const Slot& entries = slots_[s];
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    if (e.hash == hash && (e.key == key || e.key->equals(key))) {
      if (slot) *slot = s;
      if (position) *position = static_cast<int>(i);
      return &e;
    }
  }
  return nullptr;
}

void CHashtable::disposePair(CXObject* key, CXObject* value) {
  if (!owning_) return;
  if (value != key) delete value;
  delete key;
}

bool CHashtable::put(CXObject* key, CXObject* value) {
  if (!key) {
    TLOG_WARN("hash table: put with a null key ignored");
    return false;
  }
  int slot = 0, position = 0;
  if (findEntry(key, &slot, &position)) {
    Entry& e = slots_[slot][position];
    if (owning_) {
      if (e.value != value && e.value != e.key) delete e.value;
      if (key != e.key && key != value) delete key;
    }
    e.value = value;
    return true;
  }
  // Grow before the new pair is counted, then place it into the new layout.
  if (static_cast<double>(count_) + 1.0 > static_cast<double>(getCapacity()) * loadFactor_ &&
      slots_.size() <= static_cast<size_t>(INT32_MAX / 2))
    rehash(slots_.size() * 2);
  int32_t hash = key->hashCode();
  slots_[slotFor(hash)].push_back(Entry{key, value, hash});
  keys_.add(key);
  ++count_;
  return true;
}

void CHashtable::rehash(size_t newCapacity) {
  std::vector<Slot> old(newCapacity);
  old.swap(slots_);
  for (Slot& entries : old)
    for (const Entry& e : entries) slots_[slotFor(e.hash)].push_back(e);
}

CXObject* CHashtable::get(const CXObject* key) const {
  const Entry* e = findEntry(key, nullptr, nullptr);
  return e ? e->value : nullptr;
}

bool CHashtable::contains(const CXObject* key) const { return findEntry(key, nullptr, nullptr) != nullptr; }

CXObject* CHashtable::detach(const CXObject* key) {
  int slot = 0, position = 0;
  if (!findEntry(key, &slot, &position)) return nullptr;
  Entry e = slots_[slot][position];
  slots_[slot].erase(slots_[slot].begin() + position);
  keys_.remove(e.key);
  --count_;
  return e.value;
}

bool CHashtable::remove(const CXObject* key) {
  int slot = 0, position = 0;
  if (!findEntry(key, &slot, &position)) return false;
  // The caller's key may be the stored one: take the pair out before deleting anything.
  Entry e = slots_[slot][position];
  slots_[slot].erase(slots_[slot].begin() + position);
  keys_.remove(e.key);
  --count_;
  disposePair(e.key, e.value);
  return true;
}

void CHashtable::clear() {
  for (Slot& entries : slots_) {
    for (const Entry& e : entries) disposePair(e.key, e.value);
    entries.clear();
  }
  keys_.removeAll();
  count_ = 0;
}
