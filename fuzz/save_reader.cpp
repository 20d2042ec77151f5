// Fuzz target: arbitrary bytes read as a save file: the envelope and header checked, the sections
// staged, and every staged object made from its record in a scratch scene and given its state.
// Nothing runs. An odd first byte has the rest's section checksums made right first, so mutations
// reach the readers behind them. Seeds: saves of the test games written by the player (--save-at),
// with a 0 byte in front.
#include <zlib.h>

#include <cstdint>
#include <cstring>
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

// Every section's checksum written again over its tag and bytes, as far as the envelope reads.
void reseal(std::vector<uint8_t>& bytes) {
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    uint32_t length = 0;
    std::memcpy(&length, bytes.data() + at + 4, 4);
    if (length > bytes.size() - at - 8 || bytes.size() - at - 8 - length < 4) return;
    uLong sum = crc32(0L, bytes.data() + at, 4);
    if (length > 0) sum = crc32(sum, bytes.data() + at + 8, length);
    uint32_t sum32 = static_cast<uint32_t>(sum);
    std::memcpy(bytes.data() + at + 8 + length, &sum32, 4);
    at += 8 + length + 4;
  }
}

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
  if (size < 1) return 0;
  std::vector<uint8_t> bytes(data + 1, data + size);
  if (data[0] & 1) reseal(bytes);
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
