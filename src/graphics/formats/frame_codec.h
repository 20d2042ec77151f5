// Packing and unpacking of animation frame data (the compression types shared with IMG files).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "graphics/pixels/pixel_bytes.h"

namespace tarnvik::framecodec {

// Unpacks a frame's stored colour block (16-bit pixels) and alpha block (empty when the frame has
// none) of the given compression type (0, 2, 3, 4, 5) into width × height pixels and, when an alpha
// block is given, width × height alpha bytes, through the image codecs. False, with both outputs
// empty, for another type or data that do not unpack to the full size.
bool unpack(int compression, std::span<const uint8_t> color, std::span<const uint8_t> alpha, int width, int height,
            std::vector<uint16_t>& pixels, std::vector<uint8_t>& alphaOut);

// The same into the pixels' bytes as they lie in memory (16-bit units, low byte first), which the
// caller can adopt as a drawable's storage without another copy.
bool unpackBytes(int compression, std::span<const uint8_t> color, std::span<const uint8_t> alpha, int width, int height,
                 PixelBytes& colorBytes, PixelBytes& alphaOut);

// Packs width × height pixels (and alpha bytes, when given) with the compression type (0, 2, 3, 4;
// JPEG would not read back the same pixels). Other types give false; the caller then writes type 0.
bool pack(int compression, std::span<const uint16_t> pixels, std::span<const uint8_t> alpha,
          std::vector<uint8_t>& color, std::vector<uint8_t>& alphaOut);

// Whether pack() produces the type.
bool canPack(int compression);

}  // namespace tarnvik::framecodec
