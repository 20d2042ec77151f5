// The types of the structure and object layers, registered in one place.
#include "objects/register.h"

#include "application/mc_application.h"
#include "application/structure_runners.h"
#include "objects/rand.h"
#include "objects/system.h"
#include "objects/timer.h"
#include "runtime/object_records.h"
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
  // Saved-state records of the types above (the precompiled form creates them empty, then reads).
  mc::registerRecordType(mc::TYPE_TIMER, [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new CMC_Timer(scope, nullptr); });
  mc::registerRecordType(mc::TYPE_RANDOM, [](CMC_ObjectsContainer*) -> CMC_Object* { return new CMC_Rand(CXString("temp")); });
  mc::registerRecordType(mc::TYPE_SYSTEM, [](CMC_ObjectsContainer*) -> CMC_Object* { return new CMC_System(CXString("temp")); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_TIMER, [] { return std::unique_ptr<CMC_Runner>(new CMC_Timer_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_RANDOM, [] { return std::unique_ptr<CMC_Runner>(new CMC_Rand_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_SYSTEM, [] { return std::unique_ptr<CMC_Runner>(new CMC_System_Runner); });

  // Every application has RANDOM, SYSTEM and the definition-file loader without declaring them.
  CMC_Application::registerBuiltin([](CMC_Application*) -> CMC_Object* { return new CMC_Rand("RANDOM"); });
  CMC_Application::registerBuiltin([](CMC_Application*) -> CMC_Object* { return new CMC_System("SYSTEM"); });
  CMC_Application::registerBuiltin(
      [](CMC_Application*) -> CMC_Object* { return new CMC_Object(CXString("CNVLOADER"), mc::TYPE_CNVLOADER); });
}

}  // namespace tarnvik
