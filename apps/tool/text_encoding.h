// Windows-1250 game text converted to UTF-8 for the tool's output.
#pragma once

#include <string>
#include <string_view>

namespace tarnvik::tool {

// Every byte maps to one character; bytes the code page leaves undefined become U+FFFD.
std::string windows1250ToUtf8(std::string_view text);
// The way back; characters the code page lacks (and broken UTF-8) become "?".
std::string utf8ToWindows1250(std::string_view text);

}  // namespace tarnvik::tool
