// The static check of a game: loaded through the engine as the player loads it, nothing entered or
// run, the located warnings gathered instead of printed.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/xstring.h"

class CMC_Object;
class CWindow;

namespace tarnvik {

// The definition files an object of a type brings into the game when it runs (a class's files),
// as the engine names them; the check reads each and checks what it declares. Registered by the type.
using ImportedFiles = std::function<std::vector<CXString>(CMC_Object& object)>;
void registerImportedFiles(int typeId, std::string_view typeName, ImportedFiles files);

struct CheckDiagnostic {
  std::string file;  // relative to the game folder; empty when no origin is known
  int line = 0;      // from 1; 0 for a precompiled file (or no line known)
  bool error = true;
  std::string message;
};

// Checks the game in `folder` (with `archive` opened for the process when not empty) over a window
// the caller made, once the script types are registered. Returns the diagnostics sorted by file,
// line and text without duplicates; false with `why` when the game cannot be read at all (no
// application, a damaged archive, a binary file in place of a definition file).
bool checkGame(CWindow* window, const std::string& folder, const std::string& archive,
               std::vector<CheckDiagnostic>& out, std::string& why);

// "FILE:LINE: error|warning: MESSAGE" lines (a precompiled file as "FILE (precompiled)") and the
// summary line "N errors, M warnings"; or the JSON array of file, line, severity and message.
std::string formatDiagnostics(const std::vector<CheckDiagnostic>& list, bool json);

}  // namespace tarnvik
