// CMC_Runner: method dispatch by name for one script type, the common methods, and the registry of runners.
#pragma once

#ifdef __EMSCRIPTEN__
#include <emscripten/stack.h>
#endif

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/xstring.h"
#include "runtime/object.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

class CMC_ObjectsContainer;

// Arguments of a method call, one object per argument in order: value variables, expressions, or any
// other object an argument named. A call written without argument text passes null.
using CMC_Args = std::vector<CMC_Object*>;

namespace mc {

// Control codes a statement or method returns in place of an object.
inline constexpr int CODE_BREAK = -1;      // stops the behaviour and reports a break to its caller
inline constexpr int CODE_ONE_BREAK = -2;  // stops the current behaviour only
inline constexpr int CODE_CONTINUE = -3;   // ends the current run of a loop body

inline CMC_Object* controlResult(int code) { return reinterpret_cast<CMC_Object*>(static_cast<intptr_t>(code)); }
// The control code a result carries, or 0 for an object pointer or null.
inline int controlCode(const CMC_Object* result) {
  intptr_t v = reinterpret_cast<intptr_t>(result);
  return (v < 0 && v >= -16) ? static_cast<int>(v) : 0;
}
inline bool isControl(const CMC_Object* result) { return controlCode(result) != 0; }

// The object as a value variable (INTEGER, STRING, BOOL, DOUBLE or EXPRESSION), else null.
inline CMC_Variable* asVariable(CMC_Object* object) {
  if (!object || isControl(object)) return nullptr;
  int type = object->getType();
  if ((type >= TYPE_INTEGER && type <= TYPE_DOUBLE) || type == TYPE_EXPRESSION)
    return static_cast<CMC_Variable*>(object);
  return nullptr;
}
// Returns a pooled temporary result to its pool; named objects, control codes and null are left alone.
void releaseObject(CMC_Object* result);
// The same, with the usual null result (a line of a behaviour) decided without a call.
inline void release(CMC_Object* result) {
  if (result) releaseObject(result);
}
// The text of a value: a STRING's own text, other values converted; any other object gives its name.
CXString textOf(CMC_Object* object);
// A fresh pooled temporary holding the value of `object` (a computed expression gives its result).
// Runners return such copies rather than an argument itself, since the caller releases both.
CMC_Variable* pooledCopy(CMC_Object* object);
// A new variable of a value type (INTEGER, STRING, BOOL, DOUBLE) that is not pooled; null otherwise.
CMC_Variable* makeVariable(int type, const CXString& name);
// Copies the value of `from` into `to` (converted when the types differ) without firing events.
void copyValue(CMC_Variable* to, CMC_Variable* from);
// Whether a code line may keep a pointer to the object from parse time: temporary objects and the
// "__RETURN__" variable (replaced by every RETURN) are looked up again on every run instead.
bool isBindable(const CMC_Object* object);

// A token that expires when the object is deleted: statements keep one for every object they bound
// at parse time and look the name up again once it has expired.
std::weak_ptr<char> lifeOf(CMC_Object* object);

// Finds the variable of a field of a STRUCTURE object ("STRUCT|FIELD"); installed by the structure type.
using FieldResolver = CMC_Object* (*)(CMC_ObjectsContainer* scope, const CXString& structure, const CXString& field);
void setFieldResolver(FieldResolver resolver);
// The field variable named by "STRUCT|FIELD", or null (also while no structure type is installed).
CMC_Object* resolveField(CMC_ObjectsContainer* scope, const CXString& text);

// Nesting depth of behaviour runs, expression computations and condition evaluations on the (one)
// script thread. Nesting deeper than LIMIT levels, or using more than a share of the thread's stack
// (frames are larger in sanitizer builds), is refused so that endless recursion cannot overflow it.
class ScriptDepth {
 public:
  static constexpr int LIMIT = 2000;
  // Enters one level; false (and nothing entered) at the limit.
  static bool enter() {
    if (depth_ >= LIMIT) return false;
    uintptr_t here = stackPosition();
    if (depth_ == 0) {
      base_ = here;
      if (budget_ == 0) budget_ = stackBudget();
    } else if (base_ > here && base_ - here > budget_) {
      return false;
    }
    ++depth_;
    return true;
  }
  // For behaviour runs: once a run was refused, every run nested in the same outermost run is refused
  // too, so that loops around a runaway recursion unwind at once instead of starting it again.
  static bool enterRun() {
    if (tripped_ && depth_ > 0) return false;
    if (enter()) return true;
    tripped_ = true;
    return false;
  }
  static bool tripped() { return tripped_; }
  static void leave() {
    if (--depth_ == 0) tripped_ = false;
  }
  static int depth() { return depth_; }
  // Bytes of stack between the outermost run's entry and the position given, and the budget.
  static size_t stackUsed(uintptr_t at) { return base_ > at ? base_ - at : 0; }
  static size_t budget() { return budget_; }
  static uintptr_t stackPosition() {
#ifdef __EMSCRIPTEN__
    // WebAssembly keeps its C stack in memory of its own; its pointer is emscripten's to tell.
    return emscripten_stack_get_current();
#else
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
#endif
  }
  // Bytes of stack nested runs may use: three quarters of the thread's stack.
  static size_t stackBudget();

 private:
  static inline int depth_ = 0;
  static inline uintptr_t base_ = 0;
  static inline size_t budget_ = 0;
  static inline bool tripped_ = false;
};

// A statement whose result nobody reads (a line of a behaviour) says so right before it calls a
// method on `target`; the method may then skip making a result. Only a call on that same target, as
// the first thing it does, can take the note, and taking it clears it.
class ResultUse {
 public:
  static void discardNext(const CMC_Object* target) { discardTarget_ = target; }
  static bool takeDiscard(const CMC_Object* target) {
    bool match = target && discardTarget_ == target;
    discardTarget_ = nullptr;
    return match;
  }
  static void clear() { discardTarget_ = nullptr; }

 private:
  static inline const CMC_Object* discardTarget_ = nullptr;
};

// Value variables, one per value type, that an argument statement owns for the results it hands to
// the statement it is an argument of. A method whose result is a copy of a plain value (an element,
// a field) writes it here instead of into a pooled temporary, and so needs no pool slot taken and
// given back. One copy is out at a time: from the run that returns it until the owning statement
// gives it back; a nested run of the same statement meanwhile copies into the pool.
class ValueHolder {
 public:
  ValueHolder() = default;
  ValueHolder(const ValueHolder&) = delete;
  ValueHolder& operator=(const ValueHolder&) = delete;

  bool lent() const { return lent_ != nullptr; }
  // The holder of `from`'s type set to its value (without events: nothing listens to a holder), now
  // lent; null when `from` is no value variable.
  CMC_Variable* copyOf(CMC_Variable* from) {
    auto* integer = static_cast<CMC_Integer*>(byType_[0].get());
    if (!integer || from->getType() != TYPE_INTEGER) return copyOther(from);
    integer->setValue(static_cast<CMC_Integer*>(from)->getValue());
    lent_ = integer;
    return integer;
  }
  // Takes back the copy that is out; false when `value` is not it (the caller releases it as usual).
  bool giveBack(const CMC_Object* value) {
    if (!value || value != lent_) return false;
    lent_ = nullptr;
    return true;
  }

 private:
  // The other types, and a holder's first use (which makes it).
  [[gnu::noinline]] CMC_Variable* copyOther(CMC_Variable* from);

  CMC_Variable* lent_ = nullptr;
  std::unique_ptr<CMC_Variable> byType_[4];
};

// An argument statement with a free holder offers it right before it calls a method that copies into
// holders (CMC_Runner::copiesIntoHolder) on `target`. The method takes the offer before it does
// anything else (before reading its arguments, which may run code), so no other call can take it.
class ResultInto {
 public:
  static void offer(const CMC_Object* target, ValueHolder* holder) {
    target_ = target;
    holder_ = holder;
  }
  static ValueHolder* take(const CMC_Object* target) {
    ValueHolder* h = target && target_ == target ? holder_ : nullptr;
    target_ = nullptr;
    holder_ = nullptr;
    return h;
  }

 private:
  static inline const CMC_Object* target_ = nullptr;
  static inline ValueHolder* holder_ = nullptr;
};

// A copy of `value` for a method's result: in the offered holder when there is one, else a pooled
// temporary; null when `value` is no value variable.
inline CMC_Variable* resultCopy(CMC_Variable* value, ValueHolder* into) {
  return into ? into->copyOf(value) : CMC_VariableFactory::copyVariable(value);
}

}  // namespace mc

class CMC_Runner : public CXObject {
 public:
  // Numbers of the methods every type shares.
  enum Common {
    M_SEND = 96,
    M_ADDTOGROUP = 97,
    M_ADDTOARRAY = 98,
    M_GETNAME = 99,
    M_CLONE = 100,
    M_ADDBEHAVIOUR = 101,
    M_GETCLONEINDEX = 102,
    M_MSGBOX = 103,
    M_RESETCLONES = 104,
    M_REMOVEBEHAVIOUR = 105,
    M_GETCLONESNO = 106,
    M_REMOVEALLBEHAVIOURS = 107,
    M_REMOVEBEHAVIOURFORCE = 108,
    M_OVERIDESIGNALS = 109,
  };

  // One row of a method table: the script name and the number the runner's switch handles. Each type
  // lists its rows once, so a number never follows from a position in a second list.
  struct MethodRow {
    const char* name;
    int id;
  };
  using MethodTable = std::span<const MethodRow>;

  CMC_Runner() = default;
  CMC_Runner(const CMC_Runner&) = delete;
  CMC_Runner& operator=(const CMC_Runner&) = delete;
  ~CMC_Runner() override = default;

  // Fills the method table from methodTable().
  void prepareMthHashSet();
  // The type's own rows; a name that is also a common method's replaces that one.
  virtual MethodTable ownMethods() const { return {}; }
  // Whether scripts reach the common methods on this type (all but the built-in instructions do).
  virtual bool hasCommonMethods() const { return true; }
  static MethodTable commonMethods();
  // The table as scripts see it: the common rows the type does not rename, then the type's own rows.
  std::vector<MethodRow> methodTable() const;
  virtual void toDebug(const CXString& /*name*/, const CMC_Args* /*args*/) {}

  // Number of arguments of a call (0 for null).
  static int argCount(const CMC_Args* args) { return args ? static_cast<int>(args->size()) : 0; }
  // The i-th argument; an EXPRESSION is computed and its result given instead. Null when absent.
  static CMC_Object* getParameter(const CMC_Args* args, int i) {
    if (i < 0 || i >= argCount(args)) return nullptr;
    CMC_Object* arg = (*args)[i];
    if (mc::isControl(arg)) return nullptr;
    if (arg && arg->getType() == mc::TYPE_EXPRESSION) return computed(arg);
    return arg;
  }
  // The i-th argument converted (conversion rules of the value types); `fallback` when absent.
  static bool getParameterBool(const CMC_Args* args, int i, bool fallback = false);
  static double getParameterDouble(const CMC_Args* args, int i, double fallback = 0.0);
  [[gnu::always_inline]] static int32_t getParameterInteger(const CMC_Args* args, int i, int32_t fallback = 0) {
    // An INTEGER, the usual argument of indices and counts, is read in place.
    if (i >= 0 && i < argCount(args)) {
      CMC_Object* arg = (*args)[i];
      if (arg && !mc::isControl(arg) && arg->getType() == mc::TYPE_INTEGER) return static_cast<CMC_Integer*>(arg)->getValue();
    }
    return convertedInteger(args, i, fallback);
  }
  static CXString getParameterString(const CMC_Args* args, int i, const CXString& fallback = CXString());
  // The object the i-th argument names: an object other than a pooled or literal value passed itself
  // (a named variable included), else the object of the argument's text visible in the scope.
  static CMC_Object* getParameterObject(const CMC_Args* args, int i, CMC_ObjectsContainer* scope);

  // Runs the method with this number. The base handles the common methods and yields null for any
  // other number. A pooled result belongs to the caller; negative values are control codes.
  virtual CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args);
  CMC_Object* run(const CXString& name, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
    return run(resolveMethod(name.view()), target, scope, args);
  }
  // The number registered under exactly this name, or -1. Runners that pass calls on by name give
  // other names numbers of their own.
  virtual int resolveMethod(std::string_view name) const;
  // Whether method `id` returns a copy of a plain value and writes it into the holder a calling
  // statement offers (mc::ResultInto), taking the offer first thing.
  virtual bool copiesIntoHolder(int /*id*/) const { return false; }
  // The names of the method table (for "did you mean" in diagnostics), sorted.
  std::vector<std::string> methodNames() const;

  // Adds a member to a container object of another type (ARRAY, GROUP). Installed by those types.
  using MemberAdder = bool (*)(CMC_Object* container, CMC_Object* member);
  static void setArrayAdder(MemberAdder adder);
  static void setGroupAdder(MemberAdder adder);
  // Empties a GROUP and fills it with the given objects (container GETOBJECTS). Installed by GROUP.
  using GroupFiller = bool (*)(CMC_Object* group, const std::vector<CMC_Object*>& members);
  static void setGroupFiller(GroupFiller filler);
  static bool fillGroup(CMC_Object* group, const std::vector<CMC_Object*>& members);

 protected:
  void addMethods(MethodTable rows);
  static int32_t convertedInteger(const CMC_Args* args, int i, int32_t fallback);
  // The result of an EXPRESSION argument.
  static CMC_Object* computed(CMC_Object* expression);

 private:
  CMC_NameMap<int> methods_;
};

// One runner per script type number, shared by all objects of the type.
class CMC_RunnerFactory {
 public:
  using Maker = std::unique_ptr<CMC_Runner> (*)();

  // Creates a runner for every registered type (the script layer's own and those later layers
  // registered) and fills their method tables; also registers the script layer's object types.
  static void initialize();
  static void done();
  // The runner for the type number, or null.
  static CMC_Runner* getRunner(int type);
  // The registry's runner for the object's type, else the object's own.
  static CMC_Runner* getRunnerFor(CMC_Object* object);
  // Registers (or replaces) the runner of a type; created at once when the registry is initialised.
  static void registerRunner(int type, Maker maker);
  template <class Runner>
  static void registerRunner(int type) {
    registerRunner(type, [] { return std::unique_ptr<CMC_Runner>(new Runner); });
  }
  static bool isInitialized();
  // The type numbers that have a runner, in ascending order.
  static std::vector<int> registeredTypes();
};
