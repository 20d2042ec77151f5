// CMC_Variable_Runner: arithmetic, text, trigonometry and file methods of the value types.
#include "runtime/variable_runner.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "files/file.h"
#include "files/path.h"
#include "foundation/log.h"
#include "foundation/xrandom.h"
#include "runtime/expression.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577950560105;
constexpr double kRadiansPerDegree = 0.017453292;
// INSERTAT inserts at most this many bytes in one call.
constexpr size_t kMaxInsertedBytes = 16u << 20;

// An argument as a value variable for the duration of a method; a missing argument reads as the
// neutral value of `fallbackType`, other objects as their names. Releases what it made.
class ArgValue {
 public:
  ArgValue(const CMC_Args* args, int i, int fallbackType) {
    CMC_Object* p = CMC_Runner::getParameter(args, i);
    value_ = mc::asVariable(p);
    if (!value_) {
      value_ = p ? mc::pooledCopy(p) : CMC_VariableFactory::alloc(fallbackType);
      owned_ = true;
    }
  }
  ~ArgValue() {
    if (owned_) mc::release(value_);
  }
  ArgValue(const ArgValue&) = delete;
  ArgValue& operator=(const ArgValue&) = delete;
  CMC_Variable* get() const { return value_; }

 private:
  CMC_Variable* value_ = nullptr;
  bool owned_ = false;
};

// Stores `value` into the variable (converted, firing the change events) and hands the value back.
CMC_Object* storeAndReturn(CMC_Variable* self, CMC_Variable* value) {
  self->set(value);
  return value;
}

CMC_Object* storeDouble(CMC_Variable* self, double v) { return storeAndReturn(self, CMC_VariableFactory::number(v)); }
CMC_Object* storeInteger(CMC_Variable* self, int32_t v) { return storeAndReturn(self, CMC_VariableFactory::integer(v)); }

bool isNumeric(int type) { return type == mc::TYPE_INTEGER || type == mc::TYPE_DOUBLE; }

// The type whose value this variable yields (an expression yields its result's).
int valueType(CMC_Variable* v) {
  if (v->getType() != mc::TYPE_EXPRESSION) return v->getType();
  CMC_Variable* r = static_cast<CMC_Expression*>(v)->calculate();
  return r ? r->getType() : 0;
}

CXString textValue(CMC_Variable* v) { return v->asString(); }

void storeText(CMC_Variable* self, const CXString& text) {
  if (self->getType() == mc::TYPE_STRING) static_cast<CMC_String*>(self)->assign(text);
}

int32_t wrapInt(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

}  // namespace

CMC_Runner::MethodTable CMC_Variable_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"SET", SET},
      {"SWITCH", SWITCH},
      {"INC", INC},
      {"DEC", DEC},
      {"CLEAR", CLEAR},
      {"ADD", ADD},
      {"MUL", MUL},
      {"SUB", SUB},
      {"DIV", DIV},
      {"MOD", MOD},
      {"RESETINI", RESETINI},
      {"SETDEFAULT", SETDEFAULT},
      {"ABS", ABS},
      {"AND", AND},
      {"OR", OR},
      {"NOT", NOT},
      {"XOR", XOR},
      {"POWER", POWER},
      {"LOG", LOG},
      {"SQRT", SQRT},
      {"SGN", SGN},
      {"CLAMP", CLAMP},
      {"LENGTH", LENGTH},
      {"ARCTAN", ARCTAN},
      {"ARCTANEX", ARCTANEX},
      {"GET", GET},
      {"MAXA", MAXA},
      {"MINA", MINA},
      {"SINUS", SINUS},
      {"COSINUS", COSINUS},
      {"UPPER", UPPER},
      {"LOWER", LOWER},
      {"FIND", FIND},
      {"CUT", CUT},
      {"REPLACEAT", REPLACEAT},
      {"INSERTAT", INSERTAT},
      {"REPLACE", REPLACE},
      {"ROUND", ROUND},
      {"ISUPPERLETTER", ISUPPERLETTER},
      {"COPYFILE", COPYFILE},
      {"RANDOM", RANDOM},
  };
  return kMethods;
}

CMC_Object* CMC_Variable_Runner::arithmetic(CMC_Variable* self, const CMC_Args* args, int op, bool discard) {
  if (self->getType() == mc::TYPE_INTEGER) {
    // The common case computed in place, without temporaries (same rules as CMC_Integer::calculate).
    CMC_Object* p = getParameter(args, 0);
    CMC_Variable* v = mc::asVariable(p);
    if (v || !p) {
      auto* i = static_cast<CMC_Integer*>(self);
      i->assign(CMC_Integer::arithmetic(i->getValue(), v ? v->asInteger() : 0, op));
      return discard ? nullptr : mc::pooledCopy(self);
    }
  }
  ArgValue value(args, 0, valueType(self) ? valueType(self) : mc::TYPE_INTEGER);
  CMC_Variable* result = self->calculate(value.get(), op);
  if (!result) return nullptr;
  self->set(result);
  return result;
}

CMC_Object* CMC_Variable_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  bool discard = mc::ResultUse::takeDiscard(target);
  CMC_Variable* self = mc::asVariable(target);
  if (!self) return CMC_Runner::run(id, target, scope, args);
  // The most frequent methods first, in a small frame.
  if (id == SET && self->getType() != mc::TYPE_EXPRESSION) {
    CMC_Variable* v = mc::asVariable(getParameter(args, 0));
    if (v) {
      // INTEGER from INTEGER, the usual case, without the conversions.
      if (self->getType() == mc::TYPE_INTEGER && v->getType() == mc::TYPE_INTEGER)
        static_cast<CMC_Integer*>(self)->assign(static_cast<CMC_Integer*>(v)->getValue());
      else
        self->set(v);
      return nullptr;
    }
  } else if (id == ADD && self->getType() == mc::TYPE_INTEGER) {
    return arithmetic(self, args, mc::OP_ADD, discard);
  }
  return runOther(id, self, scope, args, discard);
}

CMC_Object* CMC_Variable_Runner::runOther(int id, CMC_Variable* self, CMC_ObjectsContainer* scope,
                                          const CMC_Args* args, bool discard) {
  CMC_Object* target = self;
  int type = valueType(self);
  int n = argCount(args);
  switch (id) {
    case SET: {
      if (n < 1) return nullptr;
      ArgValue value(args, 0, type);
      self->set(value.get());
      return nullptr;
    }
    case SWITCH: {
      ArgValue a(args, 0, type);
      ArgValue b(args, 1, type);
      self->swap(a.get(), b.get());
      return nullptr;
    }
    case INC:
      self->inc();
      return nullptr;
    case DEC:
      self->dec();
      return nullptr;
    case CLEAR:
      self->clear();
      return nullptr;
    case ADD:
      return arithmetic(self, args, mc::OP_ADD, discard);
    case MUL:
      return arithmetic(self, args, mc::OP_MUL, discard);
    case DIV:
      return arithmetic(self, args, mc::OP_DIV, discard);
    case MOD:
      return arithmetic(self, args, mc::OP_MOD, discard);
    case SUB:
      if (type == mc::TYPE_STRING) return runString(id, self, args);
      return arithmetic(self, args, mc::OP_SUB, discard);
    case RESETINI:
      self->resetINI();
      return nullptr;
    case SETDEFAULT: {
      ArgValue value(args, 0, type);
      self->setDefault(value.get());
      return nullptr;
    }
    case ABS: {
      int64_t v = getParameterInteger(args, 0);
      return storeInteger(self, wrapInt(v < 0 ? -v : v));
    }
    case AND:
      return storeInteger(self, self->asInteger() & getParameterInteger(args, 0));
    case OR:
      return storeInteger(self, self->asInteger() | getParameterInteger(args, 0));
    case XOR:
      return storeInteger(self, self->asInteger() ^ getParameterInteger(args, 0));
    case NOT:
      if (type == mc::TYPE_INTEGER) return storeInteger(self, self->asInteger() == 0 ? 1 : 0);
      if (type == mc::TYPE_BOOL) return storeAndReturn(self, CMC_VariableFactory::boolean(!self->asBool()));
      if (type == mc::TYPE_STRING) return runString(id, self, args);
      return nullptr;
    case POWER: {
      if (!isNumeric(type)) return nullptr;
      double v = std::pow(self->asDouble(), getParameterDouble(args, 0));
      if (type == mc::TYPE_INTEGER) return storeInteger(self, CMC_Variable::roundToInt(v));
      return storeDouble(self, v);
    }
    case LOG: {
      if (type != mc::TYPE_DOUBLE) return nullptr;
      double x = getParameterDouble(args, 0);
      if (!(x > 0.0)) {
        TLOG_DEBUG("LOG of " << x << " on " << self->getName().c_str() << ": no logarithm; 0 stored");
        return storeDouble(self, 0.0);
      }
      return storeDouble(self, std::log(x));
    }
    case SQRT: {
      if (type != mc::TYPE_DOUBLE) return nullptr;
      double x = self->asDouble();
      return storeDouble(self, x > 0.0 ? std::sqrt(x) : 0.0);
    }
    case SGN: {
      if (type != mc::TYPE_DOUBLE) return nullptr;
      double x = self->asDouble();
      return CMC_VariableFactory::integer(x > 0.0 ? 1 : (x < 0.0 ? -1 : 0));
    }
    case CLAMP: {
      if (type == mc::TYPE_INTEGER) {
        int32_t v = self->asInteger(), lo = getParameterInteger(args, 0), hi = getParameterInteger(args, 1);
        int32_t r = v < lo ? lo : (v > hi ? hi : v);
        return storeInteger(self, r);
      }
      if (type == mc::TYPE_DOUBLE) {
        double v = self->asDouble(), lo = getParameterDouble(args, 0), hi = getParameterDouble(args, 1);
        double r = v < lo ? lo : (v > hi ? hi : v);
        return storeDouble(self, r);
      }
      return nullptr;
    }
    case LENGTH: {
      if (type == mc::TYPE_STRING) return CMC_VariableFactory::integer(textValue(self).length());
      if (!isNumeric(type)) return nullptr;
      double x = getParameterDouble(args, 0), y = getParameterDouble(args, 1);
      double len = std::sqrt(x * x + static_cast<double>(static_cast<float>(y * y)));
      return storeDouble(self, len);
    }
    case ARCTAN: {
      double angle = std::atan2(getParameterDouble(args, 0), 1.0) * kDegreesPerRadian;
      return storeDouble(self, angle);
    }
    case ARCTANEX: {
      double angle = std::atan2(getParameterDouble(args, 0), getParameterDouble(args, 1)) * kDegreesPerRadian;
      if (angle < 0.0) angle += 360.0;
      if (n >= 3) angle = std::fmod(std::trunc(angle) + getParameterDouble(args, 2), 360.0);
      return storeDouble(self, angle);
    }
    case GET:
      if (type == mc::TYPE_STRING) return runString(id, self, args);
      return mc::pooledCopy(self);
    case MAXA:
    case MINA: {
      if (n < 1) return nullptr;
      double best = getParameterDouble(args, 0);
      for (int i = 1; i < n; ++i) {
        double v = getParameterDouble(args, i);
        best = id == MAXA ? std::max(best, v) : std::min(best, v);
      }
      return storeDouble(self, best);
    }
    case SINUS:
    case COSINUS: {
      double rad = getParameterDouble(args, 0) * kRadiansPerDegree;
      double v = id == SINUS ? std::sin(rad) : std::cos(rad);
      return storeDouble(self, v);
    }
    case UPPER:
    case LOWER:
    case FIND:
    case CUT:
    case REPLACEAT:
    case INSERTAT:
    case REPLACE:
      if (type != mc::TYPE_STRING) return nullptr;
      return runString(id, self, args);
    case ISUPPERLETTER:
      if (type != mc::TYPE_STRING) return CMC_VariableFactory::boolean(false);
      return runString(id, self, args);
    case ROUND: {
      if (type != mc::TYPE_DOUBLE) return nullptr;
      double v = self->asDouble();
      if (!std::isfinite(v) || v >= 2147483647.0 || v <= -2147483648.0) return CMC_VariableFactory::integer(CMC_Variable::roundToInt(v));
      int64_t whole = static_cast<int64_t>(v);
      int64_t decimals = static_cast<int64_t>(v * 100.0) % 100;
      return CMC_VariableFactory::integer(wrapInt(whole + (decimals >= 50 ? 1 : 0)));
    }
    case COPYFILE:
      return copyFile(args);
    case RANDOM: {
      int32_t r = 0;
      if (n == 1) r = CXRandom::random(getParameterInteger(args, 0));
      else if (n >= 2) r = CXRandom::random(getParameterInteger(args, 0), getParameterInteger(args, 1));
      if (self->getType() == mc::TYPE_INTEGER) static_cast<CMC_Integer*>(self)->assign(r);
      return CMC_VariableFactory::integer(r);
    }
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

CMC_Object* CMC_Variable_Runner::runString(int id, CMC_Variable* self, const CMC_Args* args) {
  CXString text = textValue(self);
  std::string& s = text.str();
  const int len = text.length();
  switch (id) {
    case SUB: {
      int pos = getParameterInteger(args, 0), count = getParameterInteger(args, 1);
      if (pos < 0 || pos >= len || count <= 0) return mc::pooledCopy(self);
      s.erase(static_cast<size_t>(pos), static_cast<size_t>(std::min(count, len - pos)));
      storeText(self, text);
      return mc::pooledCopy(self);
    }
    case NOT:
      std::reverse(s.begin(), s.end());
      storeText(self, text);
      return mc::pooledCopy(self);
    case GET: {
      int n = argCount(args);
      if (n < 1) return mc::pooledCopy(self);
      int index = getParameterInteger(args, 0);
      int count = n >= 2 ? getParameterInteger(args, 1) : 1;
      CMC_String* out = CMC_VariableFactory::allocString();
      if (index >= 0 && index < len && count > 0) out->setValue(CXString(s.substr(index, std::min(count, len - index))));
      else out->setValue(CXString());
      return out;
    }
    case UPPER:
      storeText(self, text.Upper());
      return nullptr;
    case LOWER:
      storeText(self, text.Lower());
      return nullptr;
    case FIND: {
      CXString what = getParameterString(args, 0);
      int start = getParameterInteger(args, 1, 0);
      if (start < 0) start = 0;
      return CMC_VariableFactory::integer(what.isEmpty() && start <= len ? start : text.FindSubString(what, start));
    }
    case CUT: {
      int start = getParameterInteger(args, 0), count = getParameterInteger(args, 1);
      if (start < 0 || count <= 0 || start >= len || count > len - start) return nullptr;
      storeText(self, CXString(s.substr(start, count)));
      return nullptr;
    }
    case REPLACEAT: {
      int pos = getParameterInteger(args, 0);
      CXString with = getParameterString(args, 1);
      if (pos < 0 || pos > len) return nullptr;
      s.replace(static_cast<size_t>(pos), std::min<size_t>(with.str().size(), static_cast<size_t>(len - pos)), with.str());
      storeText(self, text);
      return nullptr;
    }
    case INSERTAT: {
      int pos = getParameterInteger(args, 0);
      CXString with = getParameterString(args, 1);
      int times = std::clamp(getParameterInteger(args, 2, 1), 0, INSERT_REPEAT_LIMIT);
      if (pos < 0 || pos > len || times == 0) return nullptr;
      if (with.str().size() * static_cast<size_t>(times) > kMaxInsertedBytes) {
        TLOG_WARN("INSERTAT on " << self->getName().c_str() << ": " << times << " copies of a text of "
                                 << with.length() << " characters refused");
        return nullptr;
      }
      std::string inserted;
      for (int i = 0; i < times; ++i) inserted += with.str();
      s.insert(static_cast<size_t>(pos), inserted);
      storeText(self, text);
      return nullptr;
    }
    case REPLACE: {
      CXString from = getParameterString(args, 0);
      if (from.isEmpty()) return nullptr;
      storeText(self, text.replace(from, getParameterString(args, 1)));
      return nullptr;
    }
    case ISUPPERLETTER: {
      int index = getParameterInteger(args, 0);
      char c = (index >= 0 && index < len) ? s[index] : '\0';
      return CMC_VariableFactory::boolean(c >= 'A' && c <= 'Z');
    }
    default:
      return nullptr;
  }
}

CMC_Object* CMC_Variable_Runner::copyFile(const CMC_Args* args) {
  if (argCount(args) < 2) return nullptr;
  CXString source = CPath::resolveFileNameEx(nullptr, getParameterString(args, 0));
  CXString destination = CPath::resolveFileNameEx(nullptr, getParameterString(args, 1));
  if (source.isEmpty() || destination.isEmpty()) return nullptr;
  if (!CPath::isWritable(destination)) {
    TLOG_ERROR("COPYFILE: " << destination.c_str() << " lies outside the game's writable places; not copied");
    return nullptr;
  }
  std::vector<uint8_t> bytes;
  if (!CFile::readAll(nullptr, source, bytes)) {
    TLOG_WARN("COPYFILE: cannot read " << source.c_str());
    return nullptr;
  }
  if (!CFile::writeFileAtomic(destination, bytes.data(), bytes.size()))
    TLOG_WARN("COPYFILE: cannot write " << destination.c_str());
  return nullptr;
}
