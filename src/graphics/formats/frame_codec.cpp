// Frame data through the image codecs: stored as they are (0), LZO1X (2), LZO1X over run-length (3),
// run-length (4) and JPEG colour with LZO1X alpha (5).
#include "graphics/formats/frame_codec.h"

#include <cstring>

#include "graphics/formats/codecs.h"
#include "graphics/formats/jpeg.h"

namespace tarnvik::framecodec {

namespace {

constexpr int kNone = 0, kLZO = 2, kLZORLE = 3, kRLE = 4, kJPEG = 5;

// Unpacks one block of `bytes` bytes (colour: 2 per pixel, alpha: 1) of the given type into out.
bool unpackBlock(int compression, std::span<const uint8_t> in, size_t bytes, bool words, uint8_t* out) {
  switch (compression) {
    case kNone:
      if (in.size() < bytes) return false;
      std::memcpy(out, in.data(), bytes);
      return true;
    case kRLE:
      return words ? CRLECompression::__decompress(in.data(), in.size(), out, bytes)
                   : CRLECompression::__decompresschar(in.data(), in.size(), out, bytes);
    case kLZO:
    case kJPEG:  // the alpha block of a JPEG frame
      return CLZWCompression2::decompressInto(in.data(), in.size(), out, bytes);
    case kLZORLE: {
      // The run-length data inside are at most a control byte per unit longer than the pixels.
      std::vector<uint8_t> packed;
      if (!CLZWCompression2::decompress(in.data(), in.size(), 0, bytes * 2 + 16, packed)) return false;
      return words ? CRLECompression::__decompress(packed.data(), packed.size(), out, bytes)
                   : CRLECompression::__decompresschar(packed.data(), packed.size(), out, bytes);
    }
    default: return false;
  }
}

}  // namespace

bool canPack(int compression) {
  return compression == kNone || compression == kLZO || compression == kLZORLE || compression == kRLE;
}

bool unpackBytes(int compression, std::span<const uint8_t> color, std::span<const uint8_t> alpha, int width, int height,
                 PixelBytes& colorBytes, PixelBytes& alphaOut) {
  colorBytes.clear();
  alphaOut.clear();
  if (width < 1 || height < 1) return false;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (count > imagelimits::kMaxPixels) return false;
  bool ok = false;
  if (compression == kJPEG) {
    JPEG jpeg(color.data(), color.size());
    std::vector<uint16_t> pixels;
    ok = jpeg.readHeader() && jpeg.getWidth() == width && jpeg.getHeight() == height && jpeg.decompress(16, pixels) &&
         pixels.size() == count;
    if (ok) {
      colorBytes.resize(count * 2);
      for (size_t i = 0; i < count; ++i) {
        colorBytes[2 * i] = static_cast<uint8_t>(pixels[i]);
        colorBytes[2 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
      }
    }
  } else if (canPack(compression)) {
    colorBytes.resize(count * 2);
    ok = unpackBlock(compression, color, colorBytes.size(), true, colorBytes.data());
  }
  if (ok && !alpha.empty()) {
    alphaOut.resize(count);
    ok = unpackBlock(compression, alpha, count, false, alphaOut.data());
  }
  if (!ok) {
    colorBytes.clear();
    alphaOut.clear();
  }
  return ok;
}

bool unpack(int compression, std::span<const uint8_t> color, std::span<const uint8_t> alpha, int width, int height,
            std::vector<uint16_t>& pixels, std::vector<uint8_t>& alphaOut) {
  pixels.clear();
  alphaOut.clear();
  PixelBytes bytes, alphaBytes;
  if (!unpackBytes(compression, color, alpha, width, height, bytes, alphaBytes)) return false;
  alphaOut.assign(alphaBytes.begin(), alphaBytes.end());
  pixels.resize(bytes.size() / 2);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return true;
}

bool pack(int compression, std::span<const uint16_t> pixels, std::span<const uint8_t> alpha, std::vector<uint8_t>& color,
          std::vector<uint8_t>& alphaOut) {
  color.clear();
  alphaOut.clear();
  if (!canPack(compression)) return false;
  std::vector<uint8_t> bytes;
  bytes.reserve(pixels.size() * 2);
  for (uint16_t p : pixels) {
    bytes.push_back(static_cast<uint8_t>(p));
    bytes.push_back(static_cast<uint8_t>(p >> 8));
  }
  auto block = [&](const std::vector<uint8_t>& raw, bool words) -> std::vector<uint8_t> {
    if (compression == kNone) return raw;
    std::vector<uint8_t> rle;
    if (compression != kLZO)
      rle = words ? CRLECompression::__compress(raw.data(), raw.size())
                  : CRLECompression::__compresschar(raw.data(), raw.size());
    if (compression == kRLE) return rle;
    const std::vector<uint8_t>& inner = compression == kLZO ? raw : rle;
    return CLZWCompression2::compress(inner.data(), inner.size());
  };
  color = block(bytes, true);
  if (!alpha.empty()) alphaOut = block(std::vector<uint8_t>(alpha.begin(), alpha.end()), false);
  return !color.empty() || pixels.empty();
}

}  // namespace tarnvik::framecodec
