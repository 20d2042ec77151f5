// The shape of script code as an author wrote it: unbalanced brackets, braces and quotes, and
// statements the splitter would swallow or drop for want of a ';'.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foundation/log.h"

namespace mc {

// The problems of code as written in a definition (with or without its outer braces), one message
// each, in the order met; none for code the statement parser reads as written.
std::vector<std::string> codeProblems(std::string_view code);
// Warns about each problem at `where`, naming the code's owner (`what`: "behaviour X", "handler
// ONCLICK of Y").
void reportCodeProblems(std::string_view code, const tarnvik::log::Origin& where, std::string_view what);

}  // namespace mc
