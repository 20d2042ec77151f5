// CNameIndex: things that carry their own names, found by name in one probe of a flat table.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

// Maps the name of each entered thing to the thing, without copying names: the key is read from
// the thing itself (`Name`), so a name must not change while its thing is entered. The table is
// one array of (hash, pointer) slots with linear probing: a scene file of 100,000 objects is
// indexed without an allocation per name, and a lookup of an absent name touches one or two cache
// lines instead of a chain of nodes. Only one thing per name is kept (the first entered).
template <typename T, std::string_view (*Name)(const T*)>
class CNameIndex {
 public:
  T* find(std::string_view name) const {
    if (slots_.empty()) return nullptr;
    const size_t hash = hashOf(name);
    for (size_t at = hash & mask();; at = (at + 1) & mask()) {
      const Slot& slot = slots_[at];
      if (!slot.item) return nullptr;
      if (slot.hash == hash && Name(slot.item) == name) return slot.item;
    }
  }

  // Enters `item` unless a thing of its name is entered already; true when entered.
  bool insert(T* item) {
    if (!item) return false;
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const std::string_view name = Name(item);
    const size_t hash = hashOf(name);
    size_t at = hash & mask();
    for (; slots_[at].item; at = (at + 1) & mask())
      if (slots_[at].hash == hash && Name(slots_[at].item) == name) return false;
    slots_[at] = Slot{hash, item};
    ++count_;
    return true;
  }

  // Takes out the entry of that name, if any.
  void erase(std::string_view name) {
    if (slots_.empty()) return;
    const size_t hash = hashOf(name);
    size_t at = hash & mask();
    for (;; at = (at + 1) & mask()) {
      if (!slots_[at].item) return;
      if (slots_[at].hash == hash && Name(slots_[at].item) == name) break;
    }
    // Backward-shift deletion: later members of the probe run move up, so no tombstones build up.
    for (size_t next = (at + 1) & mask(); slots_[next].item; next = (next + 1) & mask()) {
      const size_t home = slots_[next].hash & mask();
      // The member at `next` may fill the hole when its home is not in the cyclic range (at, next].
      const bool homeAfterHole = at <= next ? (at < home && home <= next) : (at < home || home <= next);
      if (homeAfterHole) continue;
      slots_[at] = slots_[next];
      at = next;
    }
    slots_[at] = Slot{};
    --count_;
  }

  void clear() {
    slots_.clear();
    count_ = 0;
  }
  size_t size() const { return count_; }

 private:
  struct Slot {
    size_t hash = 0;
    T* item = nullptr;
  };

  static size_t hashOf(std::string_view name) { return std::hash<std::string_view>{}(name); }
  size_t mask() const { return slots_.size() - 1; }

  void grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.resize(old.empty() ? 16 : old.size() * 2);
    for (const Slot& slot : old) {
      if (!slot.item) continue;
      size_t at = slot.hash & mask();
      while (slots_[at].item) at = (at + 1) & mask();
      slots_[at] = slot;
    }
  }

  std::vector<Slot> slots_;  // a power of two long, at most half full
  size_t count_ = 0;
};
