// CMC_VariableFactory: the four rings of pooled temporaries.
#include "runtime/variable_factory.h"

#include <cstring>
#include <memory>
#include <vector>

#include "foundation/log.h"
#include "runtime/runner.h"

namespace {

template <typename T>
class Pool {
 public:
  constexpr explicit Pool(const char* typeName) : typeName_(typeName) {}

  bool empty() const { return slots_.empty(); }

  void grow() {
    size_t base = slots_.size();
    slots_.reserve(base + CMC_VariableFactory::POOL_SIZE);
    for (int i = 0; i < CMC_VariableFactory::POOL_SIZE; ++i) {
      auto v = std::make_unique<T>(CXString());
      v->setPoolIndex(static_cast<int>(base) + i);
      slots_.push_back(std::move(v));
    }
    used_.resize(slots_.size(), 0);
  }

  T* alloc() {
    if (slots_.empty()) grow();
    int size = static_cast<int>(slots_.size());
    if (inUse_ >= size) {
      // Every slot holds a live temporary of this tick: grow rather than hand one out twice.
      growWhenFull();
      size = static_cast<int>(slots_.size());
    }
    for (int step = 0; step < size; ++step) {
      cursor_ = cursor_ + 1 >= size ? 0 : cursor_ + 1;
      if (!used_[cursor_]) {
        used_[cursor_] = 1;
        ++inUse_;
        T* v = slots_[cursor_].get();
        v->resetForPool();
        v->setPoolIndex(cursor_);
        return v;
      }
    }
    return nullptr;  // not reached: inUse_ < size guarantees a free slot
  }

  // Out of the way of alloc, which then needs no room for the message.
  [[gnu::noinline, gnu::cold]] void growWhenFull() {
    int size = static_cast<int>(slots_.size());
    grow();
    TLOG_WARN("pool of " << typeName_ << " temporaries exhausted; grown to " << slots_.size());
    cursor_ = size - 1;
  }

  bool free(CMC_Variable* v) {
    int i = v->getPoolIndex();
    if (i < 0 || i >= static_cast<int>(slots_.size()) || slots_[i].get() != v) return false;
    if (used_[i]) {
      used_[i] = 0;
      --inUse_;
    }
    return true;
  }

  void clear() {
    std::fill(used_.begin(), used_.end(), 0);
    inUse_ = 0;
  }

  void destroy() {
    slots_.clear();
    used_.clear();
    cursor_ = -1;
    inUse_ = 0;
  }

  int inUse() const { return inUse_; }
  int capacity() const { return static_cast<int>(slots_.size()); }

 private:
  const char* typeName_;
  std::vector<std::unique_ptr<T>> slots_;
  std::vector<uint8_t> used_;
  int cursor_ = -1;
  int inUse_ = 0;
};

struct Pools {
  Pool<CMC_Bool> bools{"BOOL"};
  Pool<CMC_Double> doubles{"DOUBLE"};
  Pool<CMC_Integer> integers{"INTEGER"};
  Pool<CMC_String> strings{"STRING"};
};

// Made before any code runs (no guard on every use), gone after every other static object. The
// browser build's library (libc++ 13) has no constant vector constructor: there it is made when the
// program starts, before any script runs.
#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
Pools g_pools;
#else
constinit Pools g_pools;
#endif

Pools& pools() { return g_pools; }

bool isControlCode(const void* p) { return reinterpret_cast<uintptr_t>(p) >= static_cast<uintptr_t>(-16); }

int32_t readInt32(const unsigned char* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

}  // namespace

void CMC_VariableFactory::initialize() {
  Pools& p = pools();
  if (p.bools.empty()) p.bools.grow();
  if (p.doubles.empty()) p.doubles.grow();
  if (p.integers.empty()) p.integers.grow();
  if (p.strings.empty()) p.strings.grow();
}

void CMC_VariableFactory::done() {
  Pools& p = pools();
  p.bools.destroy();
  p.doubles.destroy();
  p.integers.destroy();
  p.strings.destroy();
}

CMC_Bool* CMC_VariableFactory::allocBool() { return pools().bools.alloc(); }
CMC_Double* CMC_VariableFactory::allocDouble() { return pools().doubles.alloc(); }
CMC_Integer* CMC_VariableFactory::allocInteger() { return pools().integers.alloc(); }
CMC_String* CMC_VariableFactory::allocString() { return pools().strings.alloc(); }

CMC_Variable* CMC_VariableFactory::alloc(int type) {
  switch (type) {
    case mc::TYPE_BOOL: return allocBool();
    case mc::TYPE_DOUBLE: return allocDouble();
    case mc::TYPE_INTEGER: return allocInteger();
    case mc::TYPE_STRING: return allocString();
    default: return nullptr;
  }
}

namespace {
// Out of the way of free, which then needs no room for the message.
[[gnu::noinline, gnu::cold]] void reportForeignSlot(CMC_Variable* variable) {
  TLOG_DEBUG("variable " << variable->getName().c_str() << " claims pool slot " << variable->getPoolIndex()
                         << " it does not own");
}
}  // namespace

void CMC_VariableFactory::free(CMC_Variable* variable) {
  if (!variable || isControlCode(variable) || variable->getPoolIndex() < 0) return;
  Pools& p = pools();
  bool ok = false;
  switch (variable->getType()) {
    case mc::TYPE_BOOL: ok = p.bools.free(variable); break;
    case mc::TYPE_DOUBLE: ok = p.doubles.free(variable); break;
    case mc::TYPE_INTEGER: ok = p.integers.free(variable); break;
    case mc::TYPE_STRING: ok = p.strings.free(variable); break;
    default: break;
  }
  if (!ok) reportForeignSlot(variable);
}

CMC_Variable* CMC_VariableFactory::copyVariable(CMC_Variable* variable) {
  if (!variable || isControlCode(variable) || !CMC_Variable::isValueType(variable->getType())) return nullptr;
  // A fresh temporary has no handlers, settings entry or peers: its value is set without events.
  if (variable->getType() == mc::TYPE_INTEGER) return integer(static_cast<CMC_Integer*>(variable)->getValue());
  CMC_Variable* copy = alloc(variable->getType());
  mc::copyValue(copy, variable);
  return copy;
}

void CMC_VariableFactory::clearPool() {
  Pools& p = pools();
  p.bools.clear();
  p.doubles.clear();
  p.integers.clear();
  p.strings.clear();
}

CMC_Variable* CMC_VariableFactory::netrestore(const void* buffer, int length) {
  if (!buffer || length < 4) return nullptr;
  const auto* p = static_cast<const unsigned char*>(buffer);
  int type = readInt32(p);
  switch (type) {
    case mc::TYPE_INTEGER: {
      if (length < 8) return nullptr;
      CMC_Integer* v = allocInteger();
      v->setValue(readInt32(p + 4));
      return v;
    }
    case mc::TYPE_DOUBLE: {
      if (length < 12) return nullptr;
      double d;
      std::memcpy(&d, p + 4, sizeof d);
      CMC_Double* v = allocDouble();
      v->setValue(d);
      return v;
    }
    case mc::TYPE_BOOL: {
      if (length < 5) return nullptr;
      CMC_Bool* v = allocBool();
      v->setValue(p[4] != 0);
      return v;
    }
    case mc::TYPE_STRING: {
      if (length < 8) return nullptr;
      int32_t n = readInt32(p + 4);
      if (n < 0 || n > length - 8) return nullptr;
      CMC_String* v = allocString();
      v->getValueRef().str().assign(reinterpret_cast<const char*>(p + 8), static_cast<size_t>(n));
      return v;
    }
    default:
      TLOG_DEBUG("network value of unknown type " << type);
      return nullptr;
  }
}

int CMC_VariableFactory::inUse(int type) {
  Pools& p = pools();
  switch (type) {
    case mc::TYPE_BOOL: return p.bools.inUse();
    case mc::TYPE_DOUBLE: return p.doubles.inUse();
    case mc::TYPE_INTEGER: return p.integers.inUse();
    case mc::TYPE_STRING: return p.strings.inUse();
    default: return 0;
  }
}

int CMC_VariableFactory::capacity(int type) {
  Pools& p = pools();
  switch (type) {
    case mc::TYPE_BOOL: return p.bools.capacity();
    case mc::TYPE_DOUBLE: return p.doubles.capacity();
    case mc::TYPE_INTEGER: return p.integers.capacity();
    case mc::TYPE_STRING: return p.strings.capacity();
    default: return 0;
  }
}
