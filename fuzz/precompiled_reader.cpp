// Fuzz target: arbitrary bytes read as a precompiled scene file (first byte even) or as
// "application.bin" (first byte odd). Objects are built and deleted; nothing runs.
#include <cstdint>
#include <string>
#include <vector>

#include "application/precompiled.h"
#include "application/scene.h"
#include "application/structure_parser.h"
#include "definitions/melement.h"
#include "files/file.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "objects/register.h"
#include "runtime/runner.h"
#include "runtime/variable_factory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    tarnvik::registerEngineTypes();
    return true;
  }();
  (void)ready;
  if (size < 1) return 0;
  std::vector<uint8_t> bytes(data + 1, data + size);
  if (data[0] & 1) {
    // The structure part is read on its own first: building the parser sets up and tears down the
    // script registries, which costs far more than reading, so only inputs that get past the
    // structure entries pay for it.
    {
      CFile_Stream stream(bytes.data(), static_cast<long>(bytes.size()));
      CXArchive archive(&stream, false);
      CMElements elements;
      std::string why;
      if (!tarnvik::precompiled::readStructureElements(archive, elements, why)) return 0;
    }
    {
      CMC_StructureParser parser(nullptr, bytes, CMC_StructureParser::Precompiled{});
    }
    CMC_VariableFactory::initialize();
    CMC_RunnerFactory::initialize();
    return 0;
  }
  // The registries stay up between scene inputs (the structure parser sets them up and tears them
  // down itself).
  static bool scenesReady = false;
  if (!scenesReady) {
    CMC_VariableFactory::initialize();
    CMC_RunnerFactory::initialize();
    scenesReady = true;
  }
  CMC_Scene scene(nullptr, CXString("SC"), nullptr);
  std::string why;
  tarnvik::precompiled::loadScene(&scene, bytes, why);
  return 0;
}
