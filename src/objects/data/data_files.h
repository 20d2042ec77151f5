// Files that the data objects (DATABASE, MULTIARRAY) read and write on a script's request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/xstring.h"

class CMC_ObjectsContainer;

namespace tarnvik::datafiles {

// Reads a file a script names through the resource name rules (letter case ignored, language
// variants, archives). A file longer than maxBytes is refused before anything is read. `who` names
// the caller in the diagnostics ("DATABASE DB^LOAD").
bool readFile(CMC_ObjectsContainer* scope, const CXString& name, size_t maxBytes, std::vector<uint8_t>& out,
              const CXString& who);
// Replaces a file a script names, whole and atomically, only inside the game's writable places.
bool writeFile(CMC_ObjectsContainer* scope, const CXString& name, const void* data, size_t size, const CXString& who);

}  // namespace tarnvik::datafiles
