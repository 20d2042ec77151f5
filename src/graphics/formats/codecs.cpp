// Run-length (16-bit and byte units), PackBits rows and LZO1X blocks.
#include "graphics/formats/codecs.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "files/bytereader.h"

namespace {

// Encoder shared by both unit sizes. Unit values are compared as whole units.
template <size_t Unit>
std::vector<uint8_t> rleEncode(const uint8_t* data, size_t bytes) {
  std::vector<uint8_t> out;
  const size_t n = bytes / Unit;
  if (!data || n == 0) return out;
  out.reserve(n * Unit + n / 64 + 16);
  auto same = [&](size_t a, size_t b) { return std::memcmp(data + a * Unit, data + b * Unit, Unit) == 0; };
  size_t pendingStart = 0, pending = 0;
  auto flushPending = [&]() {
    if (pending == 0) return;
    out.push_back(static_cast<uint8_t>(pending));
    out.insert(out.end(), data + pendingStart * Unit, data + (pendingStart + pending) * Unit);
    pending = 0;
  };
  size_t i = 0;
  while (i < n) {
    bool equalsNext = i + 1 < n && same(i, i + 1);
    if (!equalsNext && pending < 127) {
      if (pending == 0) pendingStart = i;
      ++pending;
      ++i;
      continue;
    }
    flushPending();
    // The run starting here: only units equal to the first one extend it. When the pending group was
    // full and this unit differs from the next, two units still go out together (as literals).
    size_t run = 1;
    while (i + run < n && run < 127 && same(i, i + run)) ++run;
    if (run < 2 && i + 1 < n) run = 2;
    if (run < 4) {
      out.push_back(static_cast<uint8_t>(run));
      out.insert(out.end(), data + i * Unit, data + (i + run) * Unit);
    } else {
      out.push_back(static_cast<uint8_t>(128 + run));
      out.insert(out.end(), data + i * Unit, data + (i + 1) * Unit);
    }
    i += run;
  }
  flushPending();
  return out;
}

// Stores `bytes` bytes of a repeated 16-byte pattern, rounded up to whole 16-byte chunks: the caller
// guarantees room for the rounding (the excess is overwritten by later groups).
inline void storeChunks(uint8_t* d, size_t bytes, const uint8_t* pattern16) {
#if defined(__SSE2__)
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern16));
  for (size_t k = 0; k < bytes; k += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(d + k), v);
#else
  for (size_t k = 0; k < bytes; k += 16) std::memcpy(d + k, pattern16, 16);
#endif
}

// Copies `bytes` bytes rounded up to whole 16-byte chunks (room on both sides checked by the caller).
inline void copyChunks(uint8_t* d, const uint8_t* s, size_t bytes) {
  for (size_t k = 0; k < bytes; k += 16) std::memcpy(d + k, s + k, 16);
}

// Decoding works group by group; short groups, the common case in detailed art, are copied in whole
// 16-byte chunks where both buffers have room for the rounding, so no group pays for a library call.
template <size_t Unit>
bool rleDecode(const uint8_t* in, size_t inSize, uint8_t* out, size_t outBytes) {
  if (outBytes == 0) return true;
  if (!in || !out) return false;
  const uint8_t* p = in;
  const uint8_t* const end = in + inSize;
  uint8_t* d = out;
  uint8_t* const dEnd = out + outBytes;
  constexpr size_t kSlack = 128 * Unit + 16;  // the largest group rounded up to a chunk
  alignas(16) uint8_t pattern[16];
  while (d < dEnd) {
    if (p >= end) return false;
    const unsigned control = *p++;
    if (control >= 128) {
      // A group that runs past the expected size is cut there: other encoders end with a full group.
      size_t bytes = std::min((control - 128) * Unit, static_cast<size_t>(dEnd - d));
      if (static_cast<size_t>(end - p) < Unit) return false;
      // A flat area is a chain of full repeat groups of one unit: fill it in one go.
      const uint8_t* next = p + Unit;
      if (control == 255) {
        while (static_cast<size_t>(end - next) > Unit && next[0] == 255 && std::memcmp(next + 1, p, Unit) == 0 &&
               bytes + 127 * Unit <= static_cast<size_t>(dEnd - d)) {
          bytes += 127 * Unit;
          next += 1 + Unit;
        }
      }
      if (static_cast<size_t>(dEnd - d) >= bytes + 16) {
        if constexpr (Unit == 1) {
          std::memset(pattern, *p, 16);
          if (bytes > 64) {
            std::memset(d, *p, bytes);
            p = next;
            d += bytes;
            continue;
          }
        } else {
          for (int k = 0; k < 16; k += 2) pattern[k] = p[0], pattern[k + 1] = p[1];
        }
        storeChunks(d, bytes, pattern);
      } else if constexpr (Unit == 1) {
        std::memset(d, *p, bytes);
      } else {
        for (size_t k = 0; k < bytes; k += 2) d[k] = p[0], d[k + 1] = p[1];
      }
      p = next;
      d += bytes;
    } else {
      const size_t bytes = std::min(control * Unit, static_cast<size_t>(dEnd - d));
      const size_t room = static_cast<size_t>(end - p);
      if (room < bytes) return false;
      if (room >= kSlack && static_cast<size_t>(dEnd - d) >= kSlack) copyChunks(d, p, bytes);
      else std::memcpy(d, p, bytes);
      p += bytes;
      d += bytes;
    }
  }
  return true;
}

bool lzoReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = lzo_init() == LZO_E_OK; });
  return ready;
}

}  // namespace

std::vector<uint8_t> CRLECompression::__compress(const uint8_t* data, size_t bytes) { return rleEncode<2>(data, bytes); }
std::vector<uint8_t> CRLECompression::__compresschar(const uint8_t* data, size_t bytes) {
  return rleEncode<1>(data, bytes);
}
bool CRLECompression::__decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outBytes) {
  return rleDecode<2>(in, inSize, out, outBytes);
}
bool CRLECompression::__decompresschar(const uint8_t* in, size_t inSize, uint8_t* out, size_t outBytes) {
  return rleDecode<1>(in, inSize, out, outBytes);
}

size_t CRLECompression::maxExpansion(size_t inSize, size_t unit) {
  // The densest group is a repeat: one control byte and one unit for 127 units.
  return (inSize / (1 + unit) + 1) * 127 * unit;
}

bool CRLECompression2::decodeRow(const uint8_t* in, size_t inSize, uint8_t* out, size_t outBytes) {
  size_t p = 0, o = 0;
  while (o < outBytes) {
    if (p >= inSize) return false;
    const int n = static_cast<int8_t>(in[p++]);
    if (n >= 0) {
      const size_t count = static_cast<size_t>(n) + 1;
      if (inSize - p < count || outBytes - o < count) return false;
      std::memcpy(out + o, in + p, count);
      p += count;
      o += count;
    } else if (n != -128) {
      const size_t count = static_cast<size_t>(1 - n);
      if (p >= inSize || outBytes - o < count) return false;
      std::memset(out + o, in[p++], count);
      o += count;
    }
  }
  return true;
}

std::vector<uint8_t> CRLECompression2::encodeRow(const uint8_t* data, size_t bytes) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < bytes) {
    size_t run = 1;
    while (i + run < bytes && run < 128 && data[i + run] == data[i]) ++run;
    if (run >= 3) {
      out.push_back(static_cast<uint8_t>(static_cast<int8_t>(1 - static_cast<int>(run))));
      out.push_back(data[i]);
      i += run;
      continue;
    }
    // Literals up to the next run of three or 128 bytes.
    size_t start = i, count = 0;
    while (i < bytes && count < 128) {
      if (i + 2 < bytes && data[i] == data[i + 1] && data[i] == data[i + 2]) break;
      ++i;
      ++count;
    }
    out.push_back(static_cast<uint8_t>(count - 1));
    out.insert(out.end(), data + start, data + start + count);
  }
  return out;
}

std::vector<uint8_t> CLZWCompression2::compress(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  if (!lzoReady() || (!data && size) || size > 0x7FFFFFFF) return out;
  // Twice the input, and never less than LZO1X-1's worst case (which small inputs exceed).
  const size_t capacity = std::max(size * 2, size + size / 16 + 67);
  out.resize(8 + capacity);
  std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
  lzo_uint packed = capacity;
  if (lzo1x_1_compress(data, size, out.data() + 8, &packed, work.data()) != LZO_E_OK) return {};
  out.resize(8 + packed);
  tarnvik::ByteWriter header;
  header.u32(static_cast<uint32_t>(size));
  header.u32(static_cast<uint32_t>(packed));
  std::memcpy(out.data(), header.data().data(), 8);
  return out;
}

namespace {

// Reads and checks the 8-byte prefix; the stream follows at in + 8.
bool lzoHeader(const uint8_t* in, size_t inSize, size_t& unpacked, size_t& packed) {
  tarnvik::ByteReader reader(in, inSize);
  unpacked = reader.u32();
  packed = reader.u32();
  return reader.ok() && packed <= reader.remaining() &&
         unpacked <= packed * tarnvik::imagelimits::kLzoMaxRatio + 64;
}

bool lzoDecode(const uint8_t* stream, size_t packed, uint8_t* out, size_t unpacked) {
  if (!lzoReady()) return false;
  lzo_uint produced = unpacked;
  int result = lzo1x_decompress_safe(stream, packed, out, &produced, nullptr);
  return result == LZO_E_OK && produced == unpacked;
}

}  // namespace

bool CLZWCompression2::decompress(const uint8_t* in, size_t inSize, size_t minSize, size_t maxSize,
                                  std::vector<uint8_t>& out, size_t* consumed) {
  out.clear();
  size_t unpacked = 0, packed = 0;
  if (!lzoHeader(in, inSize, unpacked, packed) || unpacked < minSize || unpacked > maxSize) return false;
  out.resize(unpacked);
  if (!lzoDecode(in + 8, packed, out.data(), unpacked)) {
    out.clear();
    return false;
  }
  if (consumed) *consumed = 8 + packed;
  return true;
}

bool CLZWCompression2::decompressInto(const uint8_t* in, size_t inSize, uint8_t* out, size_t outBytes) {
  size_t unpacked = 0, packed = 0;
  return lzoHeader(in, inSize, unpacked, packed) && unpacked == outBytes && lzoDecode(in + 8, packed, out, unpacked);
}
