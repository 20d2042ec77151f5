// Key names: the engine key codes (PC keyboard scan codes) and the names scripts see.
#pragma once

#include <string_view>

namespace tarnvik::keys {

constexpr int kCount = 256;

// The script name of a key ("A", "7", "ESC", "LEFT", ...), or null for a key without one. The
// numeric-keypad digits are named like the main-row digits.
const char* nameOf(int code);
// The code of a key name (case ignored); for digits the main-row key, for "SHIFT", "CTRL" and "ALT"
// the left key of the pair. -1 for an unknown name.
int codeOf(std::string_view name);
// Whether the key a query name stands for is down: the names of nameOf, and "shift", "ctrl" and
// "alt" for either key of the pair (case ignored). False for unknown names.
bool isDown(std::string_view name, const bool (&down)[kCount]);

}  // namespace tarnvik::keys
