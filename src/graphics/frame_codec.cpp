// Frame data codecs: stored blocks as they are (type 0) and the run-length codec (type 4).
#include "graphics/frame_codec.h"

#include <cstring>

namespace tarnvik::framecodec {

namespace {

constexpr int kNone = 0;
constexpr int kRLE = 4;

// Reads units of size U (1 or 2 bytes, little-endian) from the packed groups.
template <typename U>
bool rleDecode(std::span<const uint8_t> in, size_t count, std::vector<U>& out) {
  out.clear();
  // No group gives more than 127 units: a count the data cannot reach is refused before allocating.
  if (count / 127 > in.size()) return false;
  out.reserve(count);
  size_t at = 0;
  auto unit = [&](U& value) {
    if (in.size() - at < sizeof(U)) return false;
    value = sizeof(U) == 1 ? static_cast<U>(in[at]) : static_cast<U>(in[at] | (in[at + 1] << 8));
    at += sizeof(U);
    return true;
  };
  while (out.size() < count) {
    if (at >= in.size()) {
      out.clear();
      return false;
    }
    int n = in[at++];
    U value{};
    if (n >= 128) {
      if (!unit(value)) {
        out.clear();
        return false;
      }
      // A run never writes past the expected size.
      out.insert(out.end(), std::min<size_t>(static_cast<size_t>(n - 128), count - out.size()), value);
    } else {
      for (int i = 0; i < n && out.size() < count; ++i) {
        if (!unit(value)) {
          out.clear();
          return false;
        }
        out.push_back(value);
      }
    }
  }
  return true;
}

template <typename U>
void put(std::vector<uint8_t>& out, U value) {
  out.push_back(static_cast<uint8_t>(value));
  if constexpr (sizeof(U) == 2) out.push_back(static_cast<uint8_t>(value >> 8));
}

template <typename U>
void rleEncode(std::span<const U> in, std::vector<uint8_t>& out) {
  out.clear();
  std::vector<U> pending;
  auto flush = [&] {
    if (pending.empty()) return;
    out.push_back(static_cast<uint8_t>(pending.size()));
    for (U v : pending) put(out, v);
    pending.clear();
  };
  size_t i = 0;
  const size_t n = in.size();
  while (i < n) {
    bool runStarts = i + 1 < n && in[i] == in[i + 1];
    if (!runStarts && pending.size() < 127) {
      pending.push_back(in[i++]);
      continue;
    }
    flush();
    size_t run = i + 1 < n ? 2 : 1;
    if (!runStarts) run = 1;
    while (i + run < n && run < 127 && in[i + run] == in[i]) ++run;
    if (run < 4) {
      out.push_back(static_cast<uint8_t>(run));
      for (size_t k = 0; k < run; ++k) put(out, in[i]);
    } else {
      out.push_back(static_cast<uint8_t>(128 + run));
      put(out, in[i]);
    }
    i += run;
  }
  flush();
}

}  // namespace

bool rleDecode16(std::span<const uint8_t> in, size_t count, std::vector<uint16_t>& out) { return rleDecode(in, count, out); }
bool rleDecode8(std::span<const uint8_t> in, size_t count, std::vector<uint8_t>& out) { return rleDecode(in, count, out); }
void rleEncode16(std::span<const uint16_t> in, std::vector<uint8_t>& out) { rleEncode(in, out); }
void rleEncode8(std::span<const uint8_t> in, std::vector<uint8_t>& out) { rleEncode(in, out); }

bool canPack(int compression) { return compression == kNone || compression == kRLE; }

bool unpack(int compression, std::span<const uint8_t> color, std::span<const uint8_t> alpha, int width, int height,
            std::vector<uint16_t>& pixels, std::vector<uint8_t>& alphaOut) {
  pixels.clear();
  alphaOut.clear();
  if (width < 1 || height < 1) return false;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  bool ok = false;
  switch (compression) {
    case kNone:
      ok = color.size() >= count * 2 && (alpha.empty() || alpha.size() >= count);
      if (ok) {
        pixels.resize(count);
        for (size_t i = 0; i < count; ++i) pixels[i] = static_cast<uint16_t>(color[2 * i] | (color[2 * i + 1] << 8));
        if (!alpha.empty()) alphaOut.assign(alpha.begin(), alpha.begin() + static_cast<ptrdiff_t>(count));
      }
      break;
    case kRLE:
      ok = rleDecode16(color, count, pixels) && (alpha.empty() || rleDecode8(alpha, count, alphaOut));
      break;
    default:
      // LZO (2, 3) and JPEG (5) blocks are unpacked by the image codecs once they are linked in here.
      ok = false;
      break;
  }
  if (!ok) {
    pixels.clear();
    alphaOut.clear();
  }
  return ok;
}

bool pack(int compression, std::span<const uint16_t> pixels, std::span<const uint8_t> alpha, std::vector<uint8_t>& color,
          std::vector<uint8_t>& alphaOut) {
  color.clear();
  alphaOut.clear();
  if (compression == kRLE) {
    rleEncode16(pixels, color);
    if (!alpha.empty()) rleEncode8(alpha, alphaOut);
    return true;
  }
  if (compression != kNone) return false;
  color.reserve(pixels.size() * 2);
  for (uint16_t p : pixels) put(color, p);
  alphaOut.assign(alpha.begin(), alpha.end());
  return true;
}

}  // namespace tarnvik::framecodec
