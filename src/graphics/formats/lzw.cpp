// The LZW codec of "NVI" image files: 9 to 16-bit codes, least-significant bit first.
//
// Both sides keep the same dictionary: codes 0-255 are bytes, 256 clears, entries start at 257.
// The decoder adds an entry for every code but the first after a clear; the width grows by one as
// soon as its next free code reaches 2^width (16 at most), and no entry is added past code 65535.
// The encoder is one entry ahead of the decoder, so it tracks the decoder's count to pick widths.
#include <algorithm>
#include <cstring>
#include <memory>

#include "files/bytereader.h"
#include "graphics/formats/codecs.h"

namespace {

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void put(uint32_t code, int width) {
    acc_ |= static_cast<uint64_t>(code) << bits_;
    bits_ += width;
    total_ += width;
    while (bits_ >= 8) {
      out_.push_back(static_cast<uint8_t>(acc_));
      acc_ >>= 8;
      bits_ -= 8;
    }
  }
  void finish() {
    if (bits_ > 0) out_.push_back(static_cast<uint8_t>(acc_));
    acc_ = 0;
    bits_ = 0;
  }
  uint64_t totalBits() const { return total_; }

 private:
  std::vector<uint8_t>& out_;
  uint64_t acc_ = 0;
  int bits_ = 0;
  uint64_t total_ = 0;
};

// The encoder's dictionary: (prefix code, byte) -> code, open addressing.
class Dictionary {
 public:
  Dictionary() : keys_(new uint32_t[kSlots]), codes_(new uint16_t[kSlots]) { clear(); }
  void clear() { std::memset(keys_.get(), 0, kSlots * sizeof(uint32_t)); }
  // The code of (prefix, byte), or -1; `slot` is where it would be inserted.
  int find(uint32_t prefix, uint8_t byte, size_t& slot) const {
    const uint32_t key = ((prefix << 8) | byte) + 1;
    size_t h = (key * 2654435761u) & (kSlots - 1);
    while (keys_[h] != 0) {
      if (keys_[h] == key) return codes_[h];
      h = (h + 1) & (kSlots - 1);
    }
    slot = h;
    return -1;
  }
  void insert(size_t slot, uint32_t prefix, uint8_t byte, uint32_t code) {
    keys_[slot] = ((prefix << 8) | byte) + 1;
    codes_[slot] = static_cast<uint16_t>(code);
  }

 private:
  static constexpr size_t kSlots = size_t(1) << 17;
  std::unique_ptr<uint32_t[]> keys_;
  std::unique_ptr<uint16_t[]> codes_;
};

}  // namespace

std::vector<uint8_t> CLZWCompression::compress(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out(12, 0);
  if (!data || size == 0 || size > 0x7FFFFFFF) {
    if (size != 0) return {};
    tarnvik::ByteWriter header;
    header.u32(0);
    header.u32(0);
    header.u32(0);
    return header.take();
  }
  BitWriter bits(out);
  Dictionary dictionary;
  uint32_t codes = 0;
  int width = 9;
  uint32_t next = kFirstFree;         // the encoder's next entry
  uint32_t decoderNext = kFirstFree;  // the decoder's next entry when it reads the next code
  bool first = true;
  // Compression of the block since the last check and of everything since the last clear.
  uint64_t blockIn = 0, blockOutStart = 0, clearIn = 0, clearOutStart = 0;
  uint32_t codesSinceCheck = 0;

  auto emit = [&](uint32_t code) {
    bits.put(code, width);
    ++codes;
    ++codesSinceCheck;
  };
  auto restart = [&]() {
    emit(kClear);
    width = 9;
    next = decoderNext = kFirstFree;
    first = true;
    dictionary.clear();
    blockIn = clearIn = 0;
    blockOutStart = clearOutStart = bits.totalBits();
    codesSinceCheck = 0;
  };
  restart();

  size_t pos = 0;
  while (pos < size) {
    // The longest known string at pos.
    uint32_t code = data[pos];
    size_t length = 1, slot = 0;
    while (pos + length < size) {
      int found = dictionary.find(code, data[pos + length], slot);
      if (found < 0) break;
      code = static_cast<uint32_t>(found);
      ++length;
    }
    emit(code);
    blockIn += length * 8;
    clearIn += length * 8;
    if (!first) {
      if (decoderNext < static_cast<uint32_t>(kMaxCodes)) ++decoderNext;
      if (width < 16 && decoderNext == (1u << width)) ++width;
    }
    first = false;
    if (pos + length < size && next < static_cast<uint32_t>(kMaxCodes)) {
      dictionary.find(code, data[pos + length], slot);
      dictionary.insert(slot, code, data[pos + length], next++);
    }
    pos += length;
    // Two codes before each growth of the width, and every 2048 codes at width 16, compare the last
    // block's compression with the whole since the clear; start again when the block did worse.
    bool check = (width < 16 && decoderNext + 2 == (1u << width)) || (width == 16 && codesSinceCheck >= 2048);
    if (check && pos < size) {
      uint64_t blockOut = bits.totalBits() - blockOutStart, clearOut = bits.totalBits() - clearOutStart;
      bool worse = blockOut > 0 && clearOut > 0 && blockIn * 100 / blockOut < clearIn * 100 / clearOut;
      if (width >= 12 && worse) {
        restart();
        continue;
      }
      blockIn = 0;
      blockOutStart = bits.totalBits();
      codesSinceCheck = 0;
    }
  }
  bits.finish();
  tarnvik::ByteWriter header;
  header.u32(static_cast<uint32_t>(size));
  header.u32(static_cast<uint32_t>(out.size() - 12));
  header.u32(codes);
  std::memcpy(out.data(), header.data().data(), 12);
  return out;
}

namespace {

bool decodeLzw(const uint8_t* in, size_t inSize, size_t expected, std::vector<uint8_t>& out, size_t* consumed) {
  constexpr int kClear = CLZWCompression::kClear, kFirstFree = CLZWCompression::kFirstFree,
                kMaxCodes = CLZWCompression::kMaxCodes;
  tarnvik::ByteReader reader(in, inSize);
  const size_t unpacked = reader.u32();
  const size_t packed = reader.u32();
  const uint64_t codeCount = reader.u32();
  if (!reader.ok() || unpacked != expected || packed > reader.remaining()) return false;
  // Every code takes at least 9 bits; a count the packed bytes cannot hold is refused at once.
  if (codeCount > packed * 8 / 9 + 1) return false;
  const uint8_t* stream = in + 12;
  const uint64_t streamBits = static_cast<uint64_t>(packed) * 8;

  // Fixed tables: each entry is a prefix code and a last byte; strings are spelt through a stack.
  std::unique_ptr<uint16_t[]> prefix(new uint16_t[kMaxCodes]);
  std::unique_ptr<uint8_t[]> suffix(new uint8_t[kMaxCodes]);
  std::unique_ptr<uint8_t[]> stack(new uint8_t[kMaxCodes]);
  for (int i = 0; i < 256; ++i) suffix[i] = static_cast<uint8_t>(i);
  out.resize(expected);
  size_t o = 0;

  uint64_t bitPos = 0;
  int width = 9;
  uint32_t next = kFirstFree;
  int64_t previous = -1;  // none after a clear
  uint8_t previousFirst = 0;
  for (uint64_t n = 0; n < codeCount; ++n) {
    if (bitPos + width > streamBits) return false;
    uint32_t code = 0;
    for (int b = 0; b < width;) {
      const uint64_t at = bitPos + b;
      const int take = std::min(8 - static_cast<int>(at & 7), width - b);
      code |= ((static_cast<uint32_t>(stream[at >> 3]) >> (at & 7)) & ((1u << take) - 1)) << b;
      b += take;
    }
    bitPos += width;
    if (code == kClear) {
      width = 9;
      next = kFirstFree;
      previous = -1;
      continue;
    }
    if (previous < 0) {
      // The literal byte that starts a new string after a clear.
      if (code > 255 || o >= expected) return false;
      out[o++] = static_cast<uint8_t>(code);
      previous = code;
      previousFirst = static_cast<uint8_t>(code);
      continue;
    }
    if (code > next || (code == next && next >= static_cast<uint32_t>(kMaxCodes))) return false;
    // Spell the string backwards onto the stack; a code equal to the next free one stands for the
    // previous string plus its own first byte.
    size_t depth = 0;
    uint32_t walk = code;
    if (code == next) {
      stack[depth++] = previousFirst;  // provisional: replaced below by the first byte of previous
      walk = static_cast<uint32_t>(previous);
    }
    while (walk > 255) {
      stack[depth++] = suffix[walk];
      walk = prefix[walk];
    }
    stack[depth++] = static_cast<uint8_t>(walk);
    const uint8_t firstByte = static_cast<uint8_t>(walk);
    if (code == next) stack[0] = firstByte;
    if (depth > expected - o) return false;
    for (size_t k = depth; k > 0; --k) out[o++] = stack[k - 1];
    if (next < static_cast<uint32_t>(kMaxCodes)) {
      prefix[next] = static_cast<uint16_t>(previous);
      suffix[next] = firstByte;
      ++next;
      if (width < 16 && next == (1u << width)) ++width;
    }
    previous = code;
    previousFirst = firstByte;
  }
  if (o != expected) return false;
  if (consumed) *consumed = 12 + packed;
  return true;
}

}  // namespace

bool CLZWCompression::decompress(const uint8_t* in, size_t inSize, size_t expected, std::vector<uint8_t>& out,
                                 size_t* consumed) {
  out.clear();
  if (decodeLzw(in, inSize, expected, out, consumed)) return true;
  out.clear();
  return false;
}
