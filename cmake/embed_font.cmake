# Writes the built-in font file as a C++ source: its bytes and the call that hands them to the engine.
# Run with -DIN=font file -DOUT=source file.
file(READ ${IN} bytes HEX)
string(LENGTH "${bytes}" length)
math(EXPR count "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT} "// The built-in font (generated at build time from DejaVu Sans by tarnvik-tool ttf2font).
#include <cstdint>

#include \"objects/text/mc_font.h\"

namespace {
const uint8_t kBuiltinFont[${count}] = {
${bytes}
};
}  // namespace

namespace tarnvik {
void installBuiltinFont() { setBuiltinFontData(kBuiltinFont, sizeof kBuiltinFont); }
}  // namespace tarnvik
")
