// Fuzz target: arbitrary bytes read as a save file: the envelope and header checked, the sections
// staged, and every staged object made from its record in a scratch scene and given its state.
// Nothing runs. Seeds: saves of the test games written by the player (--save-at).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "application/saves/game_state.h"
#include "application/saves/save_file.h"
#include "application/scene.h"
#include "files/file.h"
#include "files/xarchive.h"
#include "objects/register.h"
#include "runtime/records/object_records.h"
#include "runtime/runner.h"
#include "runtime/variable_factory.h"

namespace {

// Reads the bytes into the object through its reader; false when they do not read whole.
template <typename Read>
bool readsWhole(const std::string& bytes, Read&& read) {
  CFile_Stream stream(bytes.data(), static_cast<long>(bytes.size()));
  CXArchive archive(&stream, false);
  return read(archive) && stream.Tell() == stream.Length();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    tarnvik::registerEngineTypes();
    CMC_VariableFactory::initialize();
    CMC_RunnerFactory::initialize();
    return true;
  }();
  (void)ready;
  std::vector<uint8_t> bytes(data, data + size);
  tarnvik::saves::SaveImage image;
  tarnvik::saves::StagedGame staged;
  std::string why;
  if (!tarnvik::saves::decodeSave(bytes, image, why) || !tarnvik::saves::stageGame(image, staged, why)) return 0;
  CMC_Scene scene(nullptr, CXString("SC"), nullptr);
  for (const tarnvik::saves::StagedContainer& container : staged.containers)
    for (const tarnvik::saves::StagedObject& saved : container.objects) {
      std::unique_ptr<CMC_Object> object(mc::makeRecordObject(saved.type, &scene));
      if (!object || !readsWhole(saved.record, [&](CXArchive& a) { return object->serialize(&a); })) continue;
      readsWhole(saved.state, [&](CXArchive& a) { return object->serializeState(&a); });
      object->done(true);
    }
  return 0;
}
