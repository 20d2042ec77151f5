// The types of the structure and object layers, registered in one place.
#include "objects/register.h"

#include "application/mc_application.h"
#include "application/structure_runners.h"
#include "graphics/window.h"
#include "objects/data/array.h"
#include "objects/data/database.h"
#include "objects/data/mc_vector.h"
#include "objects/data/multiarray.h"
#include "objects/data/queues.h"
#include "objects/data/structure.h"
#include "objects/drawables/animo.h"
#include "objects/drawables/canvas_observer.h"
#include "objects/drawables/mc_image.h"
#include "objects/input/keyboard.h"
#include "objects/input/mc_button.h"
#include "objects/input/mouse.h"
#include "objects/program/class.h"
#include "objects/program/group.h"
#include "objects/program/rand.h"
#include "objects/program/system.h"
#include "objects/program/timer.h"
#include "objects/sound/mc_sequence.h"
#include "objects/sound/sound.h"
#include "runtime/instruction_runner.h"

namespace tarnvik {

namespace {

// CREATE makes empty objects of the graphic and sound types that exist.
CMC_Object* createEmpty(CMC_ObjectsContainer* scope, const CXString& type, const CXString& name) {
  if (!scope) return nullptr;
  CMC_Object* made = nullptr;
  if (type == "IMAGE") made = new CMC_Image(scope, name);
  else if (type == "ANIMO") made = new CMC_Animo(scope, name);
  else if (type == "SOUND") made = new CMC_Sound(scope, name);
  if (made) scope->addObject(made);
  return made;
}

// Every application has RANDOM, SYSTEM and the definition-file loader without declaring them, and
// the canvas observer that scenes bind their CANVAS_OBSERVER handlers to.
void registerBuiltinObjects() {
  CMC_Application::registerBuiltin([](CMC_Application*) -> CMC_Object* { return new CMC_Rand("RANDOM"); });
  CMC_Application::registerBuiltin([](CMC_Application*) -> CMC_Object* { return new CMC_System("SYSTEM"); });
  CMC_Application::registerBuiltin(
      [](CMC_Application*) -> CMC_Object* { return new CMC_CNVLoader(CXString("CNVLOADER")); });
  CMC_Application::registerBuiltin(
      [](CMC_Application*) -> CMC_Object* { return new CMC_CanvasObserver(CXString("CANVASOBSERVER")); });
}

}  // namespace

void registerEngineTypes() {
  static bool done = false;
  if (done) return;
  done = true;
  CMC_Object::setWindowSource([] { return CWindow::getCurrent(); });
  registerStructureRunners();
  // program/
  registerTimerType();
  registerRandType();
  registerSystemType();
  registerClassType();
  registerGroupType();
  // drawables/
  registerImageType();
  registerAnimoType();
  registerCanvasObserverType();
  // input/
  registerMouseType();
  registerKeyboardType();
  registerButtonType();
  // sound/
  registerSoundType();
  registerSequenceType();
  // data/
  registerArrayType();
  registerStructureType();
  registerDatabaseType();
  registerMultiArrayType();
  registerVectorType();
  registerQueueTypes();

  CMC_Instruction_Runner::setCreator(&createEmpty);
  registerBuiltinObjects();
}

}  // namespace tarnvik
