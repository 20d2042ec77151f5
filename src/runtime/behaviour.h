// CMC_Behaviour: a named piece of script code bound to events and run with parameters.
#pragma once

#include "foundation/xstring.h"
#include "runtime/object.h"

class CXArray;
class CMElement;
class CMC_ObjectsContainer;

class CMC_Behaviour : public CMC_Object {
 public:
  // From a definition element: CODE (trimmed, one pair of outer braces removed), CONDITION.
  CMC_Behaviour(CMC_ObjectsContainer* scope, CMElement* element);
  // Made by the engine from code text (inline code, loop bodies, timer copies).
  CMC_Behaviour(CMC_ObjectsContainer* scope, CXString name, CXString code);
  // Empty, for loading saved state.
  explicit CMC_Behaviour(CMC_ObjectsContainer* scope);
  ~CMC_Behaviour() override;

  const CMC_EventList* getBehavioursList() const override;
  void init() override;

  // Runs the code for `current` with the parameter texts; true when the run ended by a break.
  virtual bool run(CMC_Object* current, CXArray* params, bool checkCondition);

  const CXString& getCode() const { return code_; }
  bool isEnabled() const { return enabled_; }
  void enable(bool enabled) { enabled_ = enabled; }
  const CXString& getConditionName() const { return conditionName_; }
  CMC_Object* getCondition() const { return condition_; }
  // Binds the CONDITION name to the condition object visible in the scope.
  void resolveCondition();

 protected:
  CXString code_;
  CXString conditionName_;
  CMC_Object* condition_ = nullptr;
  bool enabled_ = true;
};
