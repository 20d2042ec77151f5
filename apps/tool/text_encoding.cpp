// Windows-1250 game text converted to UTF-8 for the tool's output, and back.
#include "text_encoding.h"

#include "foundation/cp1250.h"

namespace tarnvik::tool {

std::string windows1250ToUtf8(std::string_view text) { return cp1250::toUtf8(text); }

std::string utf8ToWindows1250(std::string_view text) { return cp1250::fromUtf8(text); }

}  // namespace tarnvik::tool
