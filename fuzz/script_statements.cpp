// Fuzz target: arbitrary code text parsed and run as a behaviour in a fixed scene of variables.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "definitions/melementsloader.h"
#include "definitions/textfilereader.h"
#include "runtime/behaviour.h"
#include "runtime/instruction_runner.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable_factory.h"

namespace {

const char* kScene =
    "OBJECT=I1\nI1:TYPE=INTEGER\nI1:VALUE=5\n"
    "OBJECT=I2\nI2:TYPE=INTEGER\nI2:VALUE=-3\n"
    "OBJECT=S1\nS1:TYPE=STRING\nS1:VALUE=I1\n"
    "OBJECT=B1\nB1:TYPE=BOOL\nB1:VALUE=TRUE\n"
    "OBJECT=D1\nD1:TYPE=DOUBLE\nD1:VALUE=0.5\n"
    "OBJECT=E1\nE1:TYPE=EXPRESSION\nE1:OPERAND1=I1\nE1:OPERAND2=I2\nE1:OPERATOR=MUL\n"
    "OBJECT=C1\nC1:TYPE=CONDITION\nC1:OPERAND1=I1\nC1:OPERAND2=5\nC1:OPERATOR=EQUAL\n"
    "OBJECT=BEH1\nBEH1:TYPE=BEHAVIOUR\nBEH1:CODE={I1^INC();S1^ADD(\"x\");}\nBEH1:CONDITION=C1\n"
    "OBJECT=BEH2\nBEH2:TYPE=BEHAVIOUR\nBEH2:CODE={@RETURN(I2);}\n";

// Inputs that could only run for a very long time, not fail: long numbers (loop bounds) and more
// than two loops or runs (nested loops, behaviours running themselves twice per level).
bool tooSlow(const std::string& code) {
  int digits = 0;
  for (char c : code) {
    digits = (c >= '0' && c <= '9') ? digits + 1 : 0;
    if (digits > 2) return true;
  }
  int repeaters = 0;
  for (const char* word : {"LOOP", "FOR", "WHILE", "RUN"}) {
    for (size_t at = code.find(word); at != std::string::npos; at = code.find(word, at + 1)) ++repeaters;
  }
  return repeaters > 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 512) return 0;
  std::string code(reinterpret_cast<const char*>(data), size);
  if (tooSlow(code)) return 0;
  static bool ready = [] {
    CMC_VariableFactory::initialize();
    CMC_RunnerFactory::initialize();
    CMC_Instruction_Runner::setWhileLimit(1000);
    return true;
  }();
  (void)ready;

  CMC_ObjectsContainer scene(nullptr, CXString("SCENE"), nullptr, mc::TYPE_SCENE);
  CTextFileReader reader{std::string(kScene)};
  std::unique_ptr<CMElements> elements(CMElementsLoader::load(nullptr, &reader));
  scene.resolveObjects(elements.get());
  for (CMC_Object* object : std::vector<CMC_Object*>(scene.objects())) object->init();

  auto* behaviour = new CMC_Behaviour(&scene, CXString("FUZZ"), CXString(code));
  scene.addObject(behaviour);
  behaviour->init();
  CMC_ParamArray params({CXString("I1"), CXString("7")});
  behaviour->run(nullptr, params.get(), true);
  behaviour->run(&scene, nullptr, false);
  scene.unload();
  CMC_Behaviour::flushTrash();
  CMC_VariableFactory::clearPool();
  return 0;
}
