// Pixel codecs shared by IMG files and animation frames: the engine's run-length codec (16-bit and
// byte units), PackBits rows of PSD documents, LZO1X blocks (through liblzo2) and the LZW codec.
// Every decoder checks each group or code against both its input and the expected output size and
// refuses (returns false) instead of reading or writing past either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnvik::imagelimits {
// Largest pixel count any image reader accepts (64 MB of 16-bit pixels).
constexpr size_t kMaxPixels = size_t(1) << 25;
// Output bytes one byte of LZO1X input can stand for at most (a long match's length bytes add 255 each).
constexpr size_t kLzoMaxRatio = 256;
}  // namespace tarnvik::imagelimits

// Base of the codecs: the input data and its length.
class CCompression {
 public:
  virtual ~CCompression() = default;
  void setData(const uint8_t* data, size_t size) {
    data_ = data;
    size_ = data ? size : 0;
  }
  const uint8_t* getData() const { return data_; }
  size_t getSize() const { return size_; }

 protected:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Run-length groups: a control byte n; n >= 128 repeats the next unit n - 128 times, n < 128 is
// followed by n literal units. Runs shorter than 4 are stored as literals.
class CRLECompression : public CCompression {
 public:
  // 16-bit units; sizes are in bytes (an odd last byte is not encoded).
  static std::vector<uint8_t> __compress(const uint8_t* data, size_t bytes);
  // Decodes until `outBytes` bytes are written; a group that would write past them is cut there.
  // False when the input ends first (the output is then incomplete and must not be used).
  static bool __decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outBytes);
  // Byte units.
  static std::vector<uint8_t> __compresschar(const uint8_t* data, size_t bytes);
  static bool __decompresschar(const uint8_t* in, size_t inSize, uint8_t* out, size_t outBytes);
  // The most output `inSize` bytes of run-length data can produce (unit size 1 or 2), to refuse
  // absurd sizes before allocating.
  static size_t maxExpansion(size_t inSize, size_t unit);
};

// PackBits rows (PSD): a signed control byte n >= 0 copies n + 1 bytes, n < 0 (except -128, which
// is skipped) repeats the next byte -n + 1 times.
class CRLECompression2 : public CCompression {
 public:
  // Decodes one row of exactly `outBytes` bytes from `inSize` packed bytes.
  static bool decodeRow(const uint8_t* in, size_t inSize, uint8_t* out, size_t outBytes);
  static std::vector<uint8_t> encodeRow(const uint8_t* data, size_t bytes);
};

// LZO1X block: unpacked size (4 bytes), packed size (4 bytes), the LZO1X-1 stream.
class CLZWCompression2 : public CCompression {
 public:
  // Empty on failure.
  static std::vector<uint8_t> compress(const uint8_t* data, size_t size);
  // Decodes a block whose unpacked size must lie in [minSize, maxSize] (checked before allocating);
  // `consumed` is the block's length. False for a block that is short, too large or fails to decode.
  static bool decompress(const uint8_t* in, size_t inSize, size_t minSize, size_t maxSize, std::vector<uint8_t>& out,
                         size_t* consumed = nullptr);
  // Same, into a caller's buffer of exactly `outBytes` bytes.
  static bool decompressInto(const uint8_t* in, size_t inSize, uint8_t* out, size_t outBytes);
};

// LZW block: unpacked size, packed size in bytes, number of codes (4 bytes each), then the codes,
// least-significant bit first, 9 to 16 bits wide; 256 clears the dictionary.
class CLZWCompression : public CCompression {
 public:
  static constexpr int kClear = 256;
  static constexpr int kFirstFree = 257;
  static constexpr int kMaxCodes = 65536;

  static std::vector<uint8_t> compress(const uint8_t* data, size_t size);
  // The unpacked size must equal `expected`; false for codes past their data, unknown codes, or
  // output longer or shorter than stated.
  static bool decompress(const uint8_t* in, size_t inSize, size_t expected, std::vector<uint8_t>& out,
                         size_t* consumed = nullptr);
};
