// CMC_Behaviour: construction from elements and code text; the run is a stub the script layer fills.
#include "runtime/behaviour.h"

#include "foundation/log.h"
#include "runtime/objects_container.h"

namespace {

// Trims blanks, drops one leading "{" and one trailing "}", trims again.
CXString cleanCode(CXString code) {
  code.AllTrim(' ');
  if (code.GetAt(0) == '{') code = code.Right(1);
  if (code.lastChar() == '}') code = code.Left(code.length() - 1);
  code.AllTrim(' ');
  return code;
}

}  // namespace

CMC_Behaviour::CMC_Behaviour(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Object(scope, element, mc::TYPE_BEHAVIOUR) {
  code_ = cleanCode(elementValue(element, "CODE"));
  conditionName_ = elementValue(element, "CONDITION");
  initializeBehaviours(scope, element);
}

CMC_Behaviour::CMC_Behaviour(CMC_ObjectsContainer* scope, CXString name, CXString code)
    : CMC_Object(std::move(name), mc::TYPE_BEHAVIOUR), code_(std::move(code)) {
  setScene(scope);
}

CMC_Behaviour::CMC_Behaviour(CMC_ObjectsContainer* scope) : CMC_Object(CXString(), mc::TYPE_BEHAVIOUR) {
  setScene(scope);
}

CMC_Behaviour::~CMC_Behaviour() = default;

const CMC_EventList* CMC_Behaviour::getBehavioursList() const { return baseEventList(); }

void CMC_Behaviour::init() { CMC_Object::init(); }

bool CMC_Behaviour::run(CMC_Object* /*current*/, CXArray* /*params*/, bool /*checkCondition*/) {
  if (!enabled_) return false;
  TLOG_TRACE("behaviour " << getName().c_str() << " run");
  return false;
}

void CMC_Behaviour::resolveCondition() {
  condition_ = nullptr;
  if (conditionName_.isEmpty() || !getScene()) return;
  condition_ = getScene()->getObject(conditionName_);
  if (!condition_) TLOG_DEBUG("behaviour " << getName().c_str() << ": no condition named " << conditionName_.c_str());
}
