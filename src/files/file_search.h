// How diagnostics name files: relative to the game folder, and the places a name was looked for.
#pragma once

#include <string>

#include "foundation/xstring.h"

class CFileContext;

namespace tarnvik::files {

// A native path relative to the game folder (the data root) with "/"; a path outside it unchanged.
std::string gameRelative(const std::string& native);
// The places CFile looks for the name, as "a, b, c" (game-relative, the language variants
// included), followed by " and the archive" when one is open.
std::string searchedPlaces(CFileContext* window, const CXString& name);

}  // namespace tarnvik::files
