// The key-name table.
#include "input/keys.h"

#include <array>
#include <cctype>
#include <string>

namespace tarnvik::keys {
namespace {

struct Named {
  int code;
  const char* name;
};

constexpr Named kNamed[] = {
    {0x01, "ESC"},      {0x0F, "TAB"},     {0x1C, "ENTER"},  {0x39, "SPACE"},  {0x3A, "CAPSLOCK"},
    {0x2A, "LSHIFT"},   {0x36, "RSHIFT"},  {0x1D, "LCTRL"},  {0x9D, "RCTRL"},  {0x38, "LALT"},
    {0xB8, "RALT"},     {0x3B, "F1"},      {0x3C, "F2"},     {0x3D, "F3"},     {0x3E, "F4"},
    {0x3F, "F5"},       {0x40, "F6"},      {0x41, "F7"},     {0x42, "F8"},     {0x43, "F9"},
    {0x44, "F10"},      {0x57, "F11"},     {0x58, "F12"},    {0xC7, "HOME"},   {0xCF, "END"},
    {0xC9, "PGUP"},     {0xD1, "PGDN"},    {0xD2, "INSERT"}, {0xD3, "DELETE"}, {0xCB, "LEFT"},
    {0xCD, "RIGHT"},    {0xC8, "UP"},      {0xD0, "DOWN"},    {0x0E, "BACKSPACE"},
    // Main-row digits 1..9, 0, then the keypad digits under the same names.
    {0x02, "1"}, {0x03, "2"}, {0x04, "3"}, {0x05, "4"}, {0x06, "5"}, {0x07, "6"}, {0x08, "7"}, {0x09, "8"},
    {0x0A, "9"}, {0x0B, "0"}, {0x47, "7"}, {0x48, "8"}, {0x49, "9"}, {0x4B, "4"}, {0x4C, "5"}, {0x4D, "6"},
    {0x4F, "1"}, {0x50, "2"}, {0x51, "3"}, {0x52, "0"},
    // Letters by their place on the keyboard.
    {0x10, "Q"}, {0x11, "W"}, {0x12, "E"}, {0x13, "R"}, {0x14, "T"}, {0x15, "Y"}, {0x16, "U"}, {0x17, "I"},
    {0x18, "O"}, {0x19, "P"}, {0x1E, "A"}, {0x1F, "S"}, {0x20, "D"}, {0x21, "F"}, {0x22, "G"}, {0x23, "H"},
    {0x24, "J"}, {0x25, "K"}, {0x26, "L"}, {0x2C, "Z"}, {0x2D, "X"}, {0x2E, "C"}, {0x2F, "V"}, {0x30, "B"},
    {0x31, "N"}, {0x32, "M"},
};

const std::array<const char*, kCount>& table() {
  static const std::array<const char*, kCount> names = [] {
    std::array<const char*, kCount> t{};
    for (const Named& n : kNamed) t[n.code] = n.name;
    return t;
  }();
  return names;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

const char* nameOf(int code) { return code >= 0 && code < kCount ? table()[code] : nullptr; }

int codeOf(std::string_view name) {
  std::string wanted = upper(name);
  // The first entry wins, so a digit names its main-row key.
  for (const Named& n : kNamed)
    if (wanted == n.name) return n.code;
  // A pair's plain name is its left key ("keydown CTRL" in a script of input).
  if (wanted == "SHIFT") return 0x2A;
  if (wanted == "CTRL") return 0x1D;
  if (wanted == "ALT") return 0x38;
  return -1;
}

bool isDown(std::string_view name, const bool (&down)[kCount]) {
  std::string wanted = upper(name);
  if (wanted == "SHIFT") return down[0x2A] || down[0x36];
  if (wanted == "CTRL") return down[0x1D] || down[0x9D];
  if (wanted == "ALT") return down[0x38] || down[0xB8];
  // Digits are down when either of their keys is.
  for (const Named& n : kNamed)
    if (wanted == n.name && down[n.code]) return true;
  return false;
}

}  // namespace tarnvik::keys
