// Names from Windows: Windows-1250 bytes (what definition files hold) and UTF-8 (what disks usually
// hold) read as text, compared without letter case for every letter of the code page, and shown in UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnvik::cp1250 {

// The Unicode code point of one Windows-1250 byte (0 for the five bytes the code page leaves unused).
char32_t toUnicode(unsigned char byte);
bool isValidUtf8(std::string_view bytes);
// Appends a code point in UTF-8.
void appendUtf8(std::string& out, char32_t c);
// The valid UTF-8 sequence at `at`: its length (0 when there is none there) and its code point.
size_t utf8At(std::string_view bytes, size_t at, char32_t& c);
// Windows-1250 bytes as UTF-8 (the five unused bytes as U+FFFD).
std::string toUtf8(std::string_view bytes);
// UTF-8 as Windows-1250 bytes; a character the code page lacks, or broken UTF-8, becomes "?".
std::string fromUtf8(std::string_view text);
// Text for a person: valid UTF-8 stays, every byte outside a valid sequence is read as Windows-1250.
std::string displayUtf8(std::string_view bytes);
// The lower-case letter of a code point, for the letters of the code page (and all of Latin-1 and
// Latin Extended-A); other code points unchanged.
char32_t foldCase(char32_t c);

// The comparison key of a name found on disk: its text (UTF-8 when valid, else Windows-1250 bytes)
// with letter case folded, as UTF-8. Equal keys name the same file on a Windows system.
std::string diskKey(std::string_view name);
// The keys a requested name may match, most likely first: its bytes read as Windows-1250 (as a
// definition file writes them), then, when they also form valid UTF-8 with letters beyond ASCII, read
// as UTF-8. One key for plain ASCII.
std::vector<std::string> requestKeys(std::string_view name);

}  // namespace tarnvik::cp1250
