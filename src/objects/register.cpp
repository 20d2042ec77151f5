// The types of the structure and object layers, registered in one place.
#include "objects/register.h"

#include "application/mc_application.h"
#include "application/structure_runners.h"
#include "objects/array.h"
#include "objects/class.h"
#include "objects/group.h"
#include "objects/rand.h"
#include "objects/system.h"
#include "objects/timer.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"

namespace tarnvik {

void registerEngineTypes() {
  static bool done = false;
  if (done) return;
  done = true;
  registerStructureRunners();

  CMC_ObjectsContainer::registerType("TIMER", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Timer(scope, element);
  });
  CMC_RunnerFactory::registerRunner(mc::TYPE_TIMER, [] { return std::unique_ptr<CMC_Runner>(new CMC_Timer_Runner); });
  CMC_ObjectsContainer::registerType("ARRAY", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Array(scope, element);
  });
  CMC_ObjectsContainer::registerType("GROUP", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Groupped(scope, element);
  });
  CMC_ObjectsContainer::registerType("CLASS", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Class(scope, element);
  });
  CMC_RunnerFactory::registerRunner(mc::TYPE_ARRAY, [] { return std::unique_ptr<CMC_Runner>(new CMC_Array_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_GROUP, [] { return std::unique_ptr<CMC_Runner>(new CMC_Groupped_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_CLASS, [] { return std::unique_ptr<CMC_Runner>(new CMC_Class_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_CNVLOADER,
                                    [] { return std::unique_ptr<CMC_Runner>(new CMC_CNVLoader_Runner); });
  // The crossed common methods: ADDTOGROUP appends to an ARRAY, ADDTOARRAY adds to a GROUP.
  CMC_Runner::setArrayAdder([](CMC_Object* array, CMC_Object* member) {
    static_cast<CMC_Array*>(array)->add(member);
    return true;
  });
  CMC_Runner::setGroupAdder(
      [](CMC_Object* group, CMC_Object* member) { return static_cast<CMC_Groupped*>(group)->add(member); });
  CMC_Runner::setGroupFiller([](CMC_Object* group, const std::vector<CMC_Object*>& members) {
    auto* g = static_cast<CMC_Groupped*>(group);
    g->removeAll();
    for (CMC_Object* m : members) g->add(m);
    return true;
  });
  CMC_RunnerFactory::registerRunner(mc::TYPE_RANDOM, [] { return std::unique_ptr<CMC_Runner>(new CMC_Rand_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_SYSTEM, [] { return std::unique_ptr<CMC_Runner>(new CMC_System_Runner); });

  // Every application has RANDOM, SYSTEM and the definition-file loader without declaring them.
  CMC_Application::registerBuiltin([](CMC_Application*) -> CMC_Object* { return new CMC_Rand("RANDOM"); });
  CMC_Application::registerBuiltin([](CMC_Application*) -> CMC_Object* { return new CMC_System("SYSTEM"); });
  CMC_Application::registerBuiltin(
      [](CMC_Application*) -> CMC_Object* { return new CMC_CNVLoader(CXString("CNVLOADER")); });
}

}  // namespace tarnvik
