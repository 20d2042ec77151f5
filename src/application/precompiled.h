// The precompiled form of a game: "application.bin" (the structure) and one ".bin" per scene file,
// written by -2bin / STOREBINARY and read instead of the definition files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/xstring.h"

class CXArchive;
class CMElements;
class CMC_Application;
class CMC_Object;
class CMC_ObjectsContainer;
class CMC_Scene;
class CMC_StructureParser;

namespace tarnvik::precompiled {

// Every precompiled file opens with this text and the layout number; a file with another layout
// (older, newer or not ours) is refused and the definition files are read instead.
inline constexpr const char* kMagic = "TARNVIK PRECOMPILED";
inline constexpr int32_t kLayoutVersion = 1;
enum Kind : int32_t { kApplicationFile = 1, kSceneFile = 2 };

void writeHeader(CXArchive& archive, Kind kind);
bool readHeader(CXArchive& archive, Kind kind, std::string& why);

// Objects as type number plus record. Writing fails (nothing useful written) when an object's type
// has no record; reading creates each object empty in `scope`, lets it read its record and appends
// it to `out` (not yet added to the scope; the caller owns them).
bool canWrite(const std::vector<CMC_Object*>& objects, std::string& why);
bool writeObjects(CXArchive& archive, const std::vector<CMC_Object*>& objects);
bool readObjects(CXArchive& archive, CMC_ObjectsContainer* scope, std::vector<CMC_Object*>& out, std::string& why);

// Compiles the scene-level object's definition file (found as when the scene is entered) into its
// ".bin" beside it. False when it has no definition file or holds a type without a record; a stale
// ".bin" beside a definition file that cannot be compiled is then removed, so the definition file is
// read at run time; without a definition file an existing ".bin" is left alone.
bool storeScene(CMC_Scene* scene, std::string& why);
// Reads a scene's precompiled file into the scene. A file that does not match is refused whole:
// nothing is added and `why` says what was wrong.
bool loadScene(CMC_Scene* scene, const CXString& path, std::string& why);
bool loadScene(CMC_Scene* scene, const std::vector<uint8_t>& bytes, std::string& why);

// Writes "application.bin" into the folder (the game's "Dane") and a ".bin" for every scene-level
// object; returns the number of scene files written through `scenes`.
bool storeApplication(CMC_Application* application, const std::vector<CMC_Scene*>& structure,
                      const CXString& daneFolder, int* scenes, std::string& why);
// Reads the structure part of "application.bin": the elements the structure parser builds from.
bool readStructureElements(CXArchive& archive, CMElements& elements, std::string& why);
// Reads the rest once the structure exists: the application's own objects and every structure
// object's handlers.
bool readStructureTail(CXArchive& archive, CMC_StructureParser& parser, const std::vector<CMC_Scene*>& structure,
                       std::string& why);

}  // namespace tarnvik::precompiled
