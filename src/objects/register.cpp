// The types of the structure and object layers, registered in one place.
#include "objects/register.h"

#include "application/mc_application.h"
#include "application/structure_runners.h"
#include "objects/drawables/animo.h"
#include "objects/input/mc_button.h"
#include "objects/input/keyboard.h"
#include "objects/input/mouse.h"
#include "objects/drawables/canvas_observer.h"
#include "objects/drawables/mc_image.h"
#include "objects/data/database.h"
#include "objects/data/mc_vector.h"
#include "objects/data/multiarray.h"
#include "objects/data/queues.h"
#include "objects/data/array.h"
#include "objects/program/class.h"
#include "objects/program/group.h"
#include "objects/program/rand.h"
#include "objects/sound/mc_sequence.h"
#include "objects/sound/sound.h"
#include "objects/data/structure.h"
#include "objects/program/system.h"
#include "objects/program/timer.h"
#include "runtime/instruction_runner.h"
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
  mc::registerRecordType(mc::TYPE_ANIMO,
                         [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new CMC_Animo(scope, CXString("temp")); });
  mc::registerRecordType(mc::TYPE_SOUND,
                         [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new CMC_Sound(scope, CXString("temp")); });
  mc::registerRecordType(mc::TYPE_SEQUENCE,
                         [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new CMC_Sequence(scope, nullptr); });
  mc::registerRecordType(mc::TYPE_IMAGE,
                         [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new CMC_Image(scope, CXString("temp")); });
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

  registerImageType();
  registerAnimoType();
  // Input: MOUSE, KEYBOARD and BUTTON.
  CMC_ObjectsContainer::registerType("MOUSE", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Mouse(scope, element);
  });
  CMC_ObjectsContainer::registerType("KEYBOARD", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Keyboard(scope, element);
  });
  CMC_ObjectsContainer::registerType("BUTTON", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Button(scope, element);
  });
  mc::registerRecordType(mc::TYPE_MOUSE, [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new CMC_Mouse(scope, nullptr); });
  mc::registerRecordType(mc::TYPE_KEYBOARD,
                         [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new CMC_Keyboard(scope, nullptr); });
  mc::registerRecordType(mc::TYPE_BUTTON, [](CMC_ObjectsContainer* scope) -> CMC_Object* { return new CMC_Button(scope, nullptr); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_MOUSE, [] { return std::unique_ptr<CMC_Runner>(new CMC_Mouse_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_KEYBOARD, [] { return std::unique_ptr<CMC_Runner>(new CMC_Keyboard_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_BUTTON, [] { return std::unique_ptr<CMC_Runner>(new CMC_Button_Runner); });
  registerSoundType();
  registerSequenceType();
  // CREATE makes empty objects of the graphic and sound types that exist.
  CMC_Instruction_Runner::setCreator(
      [](CMC_ObjectsContainer* scope, const CXString& type, const CXString& name) -> CMC_Object* {
        if (!scope) return nullptr;
        CMC_Object* made = nullptr;
        if (type == "IMAGE") made = new CMC_Image(scope, name);
        else if (type == "ANIMO") made = new CMC_Animo(scope, name);
        else if (type == "SOUND") made = new CMC_Sound(scope, name);
        if (made) scope->addObject(made);
        return made;
      });
  for (const char* name : {"CANVAS_OBSERVER", "CANVASOBSERVER"})
    CMC_ObjectsContainer::registerType(name, [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
      return new CMC_CanvasObserver(scope, element);
    });
  CMC_RunnerFactory::registerRunner(mc::TYPE_CANVASOBSERVER,
                                    [] { return std::unique_ptr<CMC_Runner>(new CMC_CanvasObserver_Runner); });
  // Data tables and values: STRUCT, DATABASE, MULTIARRAY, VECTOR, FIFO, LIFO.
  CMC_ObjectsContainer::registerType("STRUCT", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Structure(scope, element);
  });
  CMC_ObjectsContainer::registerType("DATABASE", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Database(scope, element);
  });
  CMC_ObjectsContainer::registerType("MULTIARRAY", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_MultiArray(scope, element);
  });
  CMC_ObjectsContainer::registerType("VECTOR", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Vector(scope, element);
  });
  CMC_ObjectsContainer::registerType("FIFO", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Queue(scope, element, mc::TYPE_FIFO);
  });
  CMC_ObjectsContainer::registerType("LIFO", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Queue(scope, element, mc::TYPE_LIFO);
  });
  CMC_RunnerFactory::registerRunner(mc::TYPE_STRUCTURE, [] { return std::unique_ptr<CMC_Runner>(new CMC_Structure_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_DATABASE, [] { return std::unique_ptr<CMC_Runner>(new CMC_Database_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_MULTIARRAY, [] { return std::unique_ptr<CMC_Runner>(new CMC_MultiArray_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_VECTOR, [] { return std::unique_ptr<CMC_Runner>(new CMC_Vector_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_FIFO, [] { return std::unique_ptr<CMC_Runner>(new CMC_Queue_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_LIFO, [] { return std::unique_ptr<CMC_Runner>(new CMC_Queue_Runner); });
  CMC_Structure::installFieldResolver();
  // Saved-state records of the data types, the class declarations and the canvas observer.
  auto record = [](int type, auto make) {
    mc::registerRecordType(type, [make](CMC_ObjectsContainer* scope) -> CMC_Object* {
      CMC_Object* made = make(scope);
      made->setScene(scope);
      return made;
    });
  };
  const CXString temp("temp");
  record(mc::TYPE_ARRAY, [temp](CMC_ObjectsContainer*) { return new CMC_Array(temp); });
  record(mc::TYPE_GROUP, [temp](CMC_ObjectsContainer* scope) { return new CMC_Groupped(temp, scope); });
  record(mc::TYPE_CLASS, [temp](CMC_ObjectsContainer* scope) { return new CMC_Class(temp, scope, nullptr); });
  record(mc::TYPE_CNVLOADER, [temp](CMC_ObjectsContainer*) { return new CMC_CNVLoader(temp); });
  record(mc::TYPE_CANVASOBSERVER, [temp](CMC_ObjectsContainer*) { return new CMC_CanvasObserver(temp); });
  record(mc::TYPE_STRUCTURE, [temp](CMC_ObjectsContainer*) { return new CMC_Structure(temp); });
  record(mc::TYPE_DATABASE, [temp](CMC_ObjectsContainer*) { return new CMC_Database(temp, nullptr); });
  record(mc::TYPE_MULTIARRAY, [temp](CMC_ObjectsContainer*) { return new CMC_MultiArray(temp, 1); });
  record(mc::TYPE_VECTOR, [temp](CMC_ObjectsContainer*) { return new CMC_Vector(temp, {}); });
  record(mc::TYPE_FIFO, [temp](CMC_ObjectsContainer*) { return new CMC_Queue(temp, mc::TYPE_FIFO); });
  record(mc::TYPE_LIFO, [temp](CMC_ObjectsContainer*) { return new CMC_Queue(temp, mc::TYPE_LIFO); });

  // Every application has RANDOM, SYSTEM and the definition-file loader without declaring them.
  CMC_Application::registerBuiltin([](CMC_Application*) -> CMC_Object* { return new CMC_Rand("RANDOM"); });
  CMC_Application::registerBuiltin([](CMC_Application*) -> CMC_Object* { return new CMC_System("SYSTEM"); });
  CMC_Application::registerBuiltin(
      [](CMC_Application*) -> CMC_Object* { return new CMC_CNVLoader(CXString("CNVLOADER")); });
  // ... and the canvas observer that scenes bind their CANVAS_OBSERVER handlers to.
  CMC_Application::registerBuiltin(
      [](CMC_Application*) -> CMC_Object* { return new CMC_CanvasObserver(CXString("CANVASOBSERVER")); });
}

}  // namespace tarnvik
