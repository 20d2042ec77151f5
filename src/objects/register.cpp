// The types of the structure and object layers, registered in one place.
#include "objects/register.h"

#include "application/mc_application.h"
#include "application/structure_runners.h"
#include "objects/canvas_observer.h"
#include "objects/image.h"
#include "objects/rand.h"
#include "objects/system.h"
#include "objects/timer.h"
#include "runtime/instruction_runner.h"
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
  CMC_RunnerFactory::registerRunner(mc::TYPE_RANDOM, [] { return std::unique_ptr<CMC_Runner>(new CMC_Rand_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_SYSTEM, [] { return std::unique_ptr<CMC_Runner>(new CMC_System_Runner); });

  registerImageType();
  // CREATE makes empty objects of the graphic and sound types that exist.
  CMC_Instruction_Runner::setCreator(
      [](CMC_ObjectsContainer* scope, const CXString& type, const CXString& name) -> CMC_Object* {
        if (!scope || type != "IMAGE") return nullptr;
        auto* image = new CMC_Image(scope, name);
        scope->addObject(image);
        return image;
      });
  for (const char* name : {"CANVAS_OBSERVER", "CANVASOBSERVER"})
    CMC_ObjectsContainer::registerType(name, [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
      return new CMC_CanvasObserver(scope, element);
    });
  CMC_RunnerFactory::registerRunner(mc::TYPE_CANVASOBSERVER,
                                    [] { return std::unique_ptr<CMC_Runner>(new CMC_CanvasObserver_Runner); });

  // Every application has RANDOM, SYSTEM and the definition-file loader without declaring them.
  CMC_Application::registerBuiltin([](CMC_Application*) -> CMC_Object* { return new CMC_Rand("RANDOM"); });
  CMC_Application::registerBuiltin([](CMC_Application*) -> CMC_Object* { return new CMC_System("SYSTEM"); });
  CMC_Application::registerBuiltin(
      [](CMC_Application*) -> CMC_Object* { return new CMC_Object(CXString("CNVLOADER"), mc::TYPE_CNVLOADER); });
  // ... and the canvas observer that scenes bind their CANVAS_OBSERVER handlers to.
  CMC_Application::registerBuiltin(
      [](CMC_Application*) -> CMC_Object* { return new CMC_CanvasObserver(CXString("CANVASOBSERVER")); });
}

}  // namespace tarnvik
