// CMC_Behaviour: a named piece of script code bound to events and run with parameters; its runner.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/xstring.h"
#include "foundation/xtimer.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CXArray;
class CMElement;
class CMC_ObjectsContainer;
class CMC_Behaviour_Entry;
class CMC_BasicCondition;
class CMC_Integer;

class CMC_Behaviour : public CMC_Object, public CTimerNotificator {
 public:
  // From a definition element: CODE (trimmed, one pair of outer braces removed), CONDITION.
  CMC_Behaviour(CMC_ObjectsContainer* scope, CMElement* element);
  // Made by the engine from code text (inline code, loop bodies, timer copies).
  CMC_Behaviour(CMC_ObjectsContainer* scope, CXString name, CXString code);
  // Empty, for loading saved state.
  explicit CMC_Behaviour(CMC_ObjectsContainer* scope);
  ~CMC_Behaviour() override;

  const CMC_EventList* getBehavioursList() const override;
  // Fires ONINIT, then parses the code into lines (once; runs reuse them).
  void init() override;
  // Drops the parsed lines, then finishes like any object.
  bool done(bool unloading) override;

  // Runs the lines for `current` with the parameter texts; true when the run ended by a break.
  // Does nothing (false) while disabled, without lines, or when checkCondition is set and the
  // condition does not hold.
  virtual bool run(CMC_Object* current, CXArray* params, bool checkCondition);
  // The runs of a counting loop: for i from `from` towards `to` (excluded) by `step` (negative when
  // counting down), the counter (when given) takes i, then the lines run as run(nullptr, nullptr,
  // true) runs them. True when a run ended by a break (the loop stops there).
  bool runCounting(CMC_Integer* counter, int64_t from, int64_t to, int64_t step);
  // Registers an object made during the run (deleted when the run that made it ends).
  virtual void addTempObject(CMC_Object* object);
  // Starts this behaviour on the timer service: on every tick it runs (its condition not evaluated)
  // with the tick number as its first parameter. After a tick whose run ends by BREAK, or on tick
  // `count` when count is at least 1, it stops, `final` (when given) runs with the same parameters
  // (its condition evaluated), and both leave their scene. Nothing starts without a timer service.
  virtual void runOnTimer(int interval, int count, CXArray* params, CMC_Behaviour* final);
  // Stops a timer copy without running its final behaviour; both leave their scene.
  virtual void _break();
  void onTimer(int id) override;
  bool isOnTimer() const { return timerId_ != 0; }
  // Run-time state: a timed run (ticks, limit, parameters, the final behaviour by name and its
  // entry of the timer service), so a copy made by RUNONTIMER goes on ticking after a load.
  bool serializeState(CXArchive* archive) override;
  int getTimerTicks() const { return timerTicks_; }
  // The application's timer service, which RUNONTIMER copies run on.
  static void setTimerService(CXTimer* service);
  static CXTimer* getTimerService();

  // While held (a save being loaded rebuilds the scene it names), no behaviour runs: the saved
  // state, not the scripts of entering, decides what the game holds.
  static void holdAll(bool held);
  static bool isHeld();

  // Record: name, code, condition name, enabled flag, breakpoint.
  bool serialize(CXArchive* archive) override;
  // A line number kept for debuggers; the run path does not read it. -1 when none is set.
  int getBreakpoint() const { return breakpoint_; }
  void setBreakpoint(int line) { breakpoint_ = line; }
  void resetBreakpoint() { breakpoint_ = -1; }

  const CXString& getCode() const { return code_; }
  void setCode(const CXString& code) { code_ = code; }
  bool isEnabled() const { return enabled_; }
  void enable(bool enabled) { enabled_ = enabled; }
  const CXString& getConditionName() const { return conditionName_; }
  void setConditionName(const CXString& name) { conditionName_ = name; }
  CMC_Object* getCondition() const { return condition_; }
  // Binds the CONDITION name to the CONDITION or COMPLEXCONDITION visible in the scope.
  void resolveCondition();
  // Replaces "$1".."$9" in the code by the parameter texts and parses the result into new lines.
  void setParams(CXArray* params);
  // Parses the code now (init does it; engine-made behaviours that skip init may call it).
  void parse();
  const std::vector<std::unique_ptr<CMC_Behaviour_Entry>>& getLines() const { return lines_; }
  bool isRunning() const { return runDepth_ > 0; }

  // Process-wide list of objects waiting to be deleted at the end of the tick.
  static void initTrash();
  static void addToTrash(CMC_Object* object);
  static void flushTrash();
  static void doneTrash();
  static int trashSize();

 protected:
  CXString code_;
  CXString conditionName_;
  CMC_Object* condition_ = nullptr;
  bool enabled_ = true;
  int breakpoint_ = -1;

 private:
  void setLines(std::vector<std::unique_ptr<CMC_Behaviour_Entry>> lines);
  bool runLines(CMC_Object* current, CXArray* params);
  [[gnu::noinline, gnu::cold]] void reportTooDeep() const;
  void removeTempObjects(int fromDepth);
  bool checkCondition();

  // Ends a timer run: off the service, out of the scene, into the trash.
  void stopTimer();
  static void discardTimerCopy(CMC_Behaviour* copy);

  std::vector<std::unique_ptr<CMC_Behaviour_Entry>> lines_;
  int timerId_ = 0;
  int timerTicks_ = 0;
  int timerLimit_ = 0;
  std::vector<CXString> timerParams_;
  CMC_Behaviour* timerFinal_ = nullptr;
  // Lines replaced while the behaviour was running; freed when the outermost run ends.
  std::vector<std::vector<std::unique_ptr<CMC_Behaviour_Entry>>> retired_;
  struct TempObject {
    CMC_Object* object;
    CMC_ObjectsContainer* scene;
    int depth;
  };
  std::vector<TempObject> tempObjects_;
  int runDepth_ = 0;
  bool substituted_ = false;
};

// Methods of BEHAVIOUR objects: RUN, RUNC, RUNLOOPED, BREAK, ENABLE, DISABLE.
class CMC_Behaviour_Runner : public CMC_Runner {
 public:
  enum Method { RUN = 1, RUNC = 2, RUNLOOPED = 3, BREAK = 4, ENABLE = 5, DISABLE = 6 };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;

  // Parameter texts of RUN: each argument's text, wrapped in double quotes when it names a visible
  // object that is not a value variable.
  static std::vector<CXString> runParameters(CMC_ObjectsContainer* scope, const CMC_Args* args, int from);

 private:
  CMC_Object* runOnce(CMC_Behaviour* behaviour, CMC_ObjectsContainer* scope, const CMC_Args* args, bool check);
};

// A parameter array (CXArray of CXString pointers) that owns its texts.
class CMC_ParamArray {
 public:
  CMC_ParamArray() = default;
  explicit CMC_ParamArray(std::vector<CXString> texts);
  CMC_ParamArray(const CMC_ParamArray&) = delete;
  CMC_ParamArray& operator=(const CMC_ParamArray&) = delete;
  ~CMC_ParamArray();
  void add(const CXString& text);
  CXArray* get() { return array_.get(); }
  int size() const;

 private:
  std::vector<std::unique_ptr<CXString>> texts_;
  std::unique_ptr<CXArray> array_;
};
