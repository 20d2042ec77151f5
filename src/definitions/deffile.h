// Whole-file reads and writes for definition files and their side files.
#pragma once

#include <string>

#include "foundation/xstring.h"

class CFileContext;

namespace tarnvik::definitions {

// Reads the whole file in text mode (carriage-return/line-feed pairs become line feeds).
// Returns 0 on success, otherwise the error code of the failed open (2000: not found).
int readTextFile(CFileContext* window, const CXString& fileName, std::string& out);
// Writes the bytes as the whole file (replacing it atomically); false with a diagnostic on failure.
bool writeTextFile(CFileContext* window, const CXString& fileName, const std::string& bytes);
// How diagnostics name a file the engine reads: relative to the game folder with "/", spelt as the
// file is named on disk when it is there; a file outside the game folder keeps its full path.
std::string sourceName(CFileContext* window, const CXString& fileName);

}  // namespace tarnvik::definitions
