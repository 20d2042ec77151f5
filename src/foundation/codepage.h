// The game's code page, Windows-1250: single characters and texts to and from Unicode and UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnvik {

// The code point of a byte (U+FFFD for the five bytes the code page leaves undefined).
char32_t windows1250ToUnicode(uint8_t byte);
// The byte of a code point, or -1 when the code page lacks it.
int unicodeToWindows1250(char32_t code);

// Every byte maps to one character; bytes the code page leaves undefined become U+FFFD.
std::string windows1250ToUtf8(std::string_view text);
// The way back; characters the code page lacks (and broken UTF-8) become "?".
std::string utf8ToWindows1250(std::string_view text);

}  // namespace tarnvik
