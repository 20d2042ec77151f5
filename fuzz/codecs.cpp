// Fuzz target: the raw codecs. The first byte picks the codec, the next two the expected output
// size; the rest is packed data to decode, and also plain data that must survive each encoder.
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "graphics/formats/codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int codec = data[0] % 5;
  const size_t expected = static_cast<size_t>(data[1] | (data[2] << 8)) * 4;
  const uint8_t* in = data + 3;
  const size_t n = size - 3;
  std::vector<uint8_t> out(expected);
  switch (codec) {
    case 0: {
      CRLECompression::__decompress(in, n, out.data(), expected & ~size_t(1));
      std::vector<uint8_t> packed = CRLECompression::__compress(in, n & ~size_t(1));
      std::vector<uint8_t> back(n & ~size_t(1));
      if (!CRLECompression::__decompress(packed.data(), packed.size(), back.data(), back.size())) std::abort();
      if (!std::equal(back.begin(), back.end(), in)) std::abort();
      break;
    }
    case 1: {
      CRLECompression::__decompresschar(in, n, out.data(), expected);
      std::vector<uint8_t> packed = CRLECompression::__compresschar(in, n);
      std::vector<uint8_t> back(n);
      if (!CRLECompression::__decompresschar(packed.data(), packed.size(), back.data(), back.size())) std::abort();
      if (!std::equal(back.begin(), back.end(), in)) std::abort();
      break;
    }
    case 2: {
      std::vector<uint8_t> decoded;
      CLZWCompression::decompress(in, n, expected, decoded);
      std::vector<uint8_t> packed = CLZWCompression::compress(in, n);
      if (!CLZWCompression::decompress(packed.data(), packed.size(), n, decoded)) std::abort();
      if (!std::equal(decoded.begin(), decoded.end(), in) || decoded.size() != n) std::abort();
      break;
    }
    case 3: {
      std::vector<uint8_t> decoded;
      CLZWCompression2::decompress(in, n, 0, expected, decoded);
      CLZWCompression2::decompressInto(in, n, out.data(), expected);
      std::vector<uint8_t> packed = CLZWCompression2::compress(in, n);
      if (!CLZWCompression2::decompress(packed.data(), packed.size(), n, n, decoded)) std::abort();
      if (!std::equal(decoded.begin(), decoded.end(), in)) std::abort();
      break;
    }
    case 4: {
      CRLECompression2::decodeRow(in, n, out.data(), expected);
      std::vector<uint8_t> packed = CRLECompression2::encodeRow(in, n);
      std::vector<uint8_t> back(n);
      if (!CRLECompression2::decodeRow(packed.data(), packed.size(), back.data(), back.size())) std::abort();
      if (!std::equal(back.begin(), back.end(), in)) std::abort();
      break;
    }
  }
  return 0;
}
