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

// The files carry no header and no version: a file is taken when it parses whole and every record
// matches its type, and refused otherwise (the definition files are then read instead).

// Objects as type number plus record. Writing fails (nothing useful written) when an object's type
// has no record; reading creates each object empty in `scope`, lets it read its record and appends
// it to `out` (not yet added to the scope; the caller owns them).
bool canWrite(const std::vector<CMC_Object*>& objects, std::string& why);
bool writeObjects(CXArchive& archive, const std::vector<CMC_Object*>& objects);
bool readObjects(CXArchive& archive, CMC_ObjectsContainer* scope, std::vector<CMC_Object*>& out, std::string& why);

// Compiles the scene-level object's definition file (found as when the scene is entered) into its
// ".bin" beside it: DLLS, BACKGROUND, MUSIC, the object count, then each object's type number and
// record. The handlers of the file's element named like the scene go to `fileHandlers` (a handler
// record; "application.bin" keeps it). False when it has no definition file (`why` then starts with
// "no ") or holds an object without a record (`why` names it); a stale ".bin" beside a definition
// file that cannot be compiled is removed; without a definition file an existing ".bin" is left alone.
bool storeScene(CMC_Scene* scene, std::string& why, std::vector<uint8_t>* fileHandlers = nullptr);
// Reads a scene's precompiled file into the scene, then binds the scene's file handlers (see
// `CMC_Scene::getFileHandlers`). A file that does not match is refused whole: nothing is added and
// `why` says what was wrong.
bool loadScene(CMC_Scene* scene, const CXString& path, std::string& why);
bool loadScene(CMC_Scene* scene, const std::vector<uint8_t>& bytes, std::string& why);

// When a precompiled file is older than the definition file beside it (both on disk), says so at
// warning level, once per run and file, naming both: the precompiled file is still the one used.
void warnIfOlder(const CXString& precompiledFile, const CXString& definitionFile);

// Writes "application.bin" into the folder (the game's "Dane") and a ".bin" for every scene-level
// object with a definition file; returns the number of scene files written through `scenes`. Fails,
// writing no "application.bin", when an object of the application or of a scene has no record; `why`
// names the object and its scene.
bool storeApplication(CMC_Application* application, const std::vector<CMC_Scene*>& structure,
                      const CXString& daneFolder, int* scenes, std::string& why);
// Reads the structure part of "application.bin": the elements the structure parser builds from.
bool readStructureElements(CXArchive& archive, CMElements& elements, std::string& why);
// Reads the rest once the structure exists: the application's own objects and every structure
// object's handlers.
bool readStructureTail(CXArchive& archive, CMC_StructureParser& parser, const std::vector<CMC_Scene*>& structure,
                       std::string& why);

}  // namespace tarnvik::precompiled
