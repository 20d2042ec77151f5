// Packing and unpacking of animation frame data (the compression types shared with IMG files).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tarnvik::framecodec {

// Unpacks a frame's stored colour block (16-bit pixels) and alpha block (empty when the frame has
// none) of the given compression type into width × height pixels and, when an alpha block is given,
// width × height alpha bytes. False, with both outputs empty, when the type is not supported here or
// the data do not unpack to the full size. This is the one place where further codecs plug in.
bool unpack(int compression, std::span<const uint8_t> color, std::span<const uint8_t> alpha, int width, int height,
            std::vector<uint16_t>& pixels, std::vector<uint8_t>& alphaOut);

// Packs width × height pixels (and alpha bytes, when given) with the compression type. Types that
// cannot be produced here give false; the caller then writes type 0.
bool pack(int compression, std::span<const uint16_t> pixels, std::span<const uint8_t> alpha,
          std::vector<uint8_t>& color, std::vector<uint8_t>& alphaOut);

// Whether pack() produces the type.
bool canPack(int compression);

// The run-length codec of type 4 over 16-bit units or bytes: groups start with a control byte n;
// n >= 128 repeats the next unit n - 128 times, n < 128 copies n units. Decoding stops once `count`
// units are out; false when the data end first.
bool rleDecode16(std::span<const uint8_t> in, size_t count, std::vector<uint16_t>& out);
bool rleDecode8(std::span<const uint8_t> in, size_t count, std::vector<uint8_t>& out);
void rleEncode16(std::span<const uint16_t> in, std::vector<uint8_t>& out);
void rleEncode8(std::span<const uint8_t> in, std::vector<uint8_t>& out);

}  // namespace tarnvik::framecodec
