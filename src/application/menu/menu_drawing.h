// Drawing the player's menu over the composed screen: the screen dimmed, the panel, its entries in
// the built-in font, the selected one highlighted.
#pragma once

#include <cstdint>
#include <vector>

class CSimpleFont6;

namespace tarnvik {

class PlayerMenu;

// The colours of the menu (5-6-5).
inline constexpr uint16_t kMenuPanel = 0x18E3;      // a dark grey-blue
inline constexpr uint16_t kMenuBorder = 0x8410;     // mid grey
inline constexpr uint16_t kMenuHighlight = 0x3292;  // teal: the selected entry
inline constexpr uint16_t kMenuField = 0x0000;      // where a save's name is typed

// The screen behind the menu: every channel at half its value.
inline uint16_t dimmed565(uint16_t pixel) { return static_cast<uint16_t>((pixel >> 1) & 0x7BEF); }

// Draws the open menu over `behind` (pitch in pixels) into `out`, `width` x `height` pixels packed
// row after row. The font may be null (no words are drawn).
void drawPlayerMenu(const PlayerMenu& menu, const uint16_t* behind, int pitch, int width, int height,
                    CSimpleFont6* font, std::vector<uint16_t>& out);

}  // namespace tarnvik
