// Bounds-checked little-endian reading and the matching writer.
#include "files/bytereader.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tarnvik {

const uint8_t* ByteReader::take(size_t n) {
  if (!has(n)) {
    failed_ = true;
    return nullptr;
  }
  const uint8_t* p = data_.data() + pos_;
  pos_ += n;
  return p;
}

bool ByteReader::seek(size_t position) {
  if (failed_ || position > data_.size()) {
    failed_ = true;
    return false;
  }
  pos_ = position;
  return true;
}

bool ByteReader::skip(size_t n) { return take(n) != nullptr || (n == 0 && !failed_); }

uint8_t ByteReader::u8() {
  const uint8_t* p = take(1);
  return p ? p[0] : 0;
}

uint16_t ByteReader::u16() {
  const uint8_t* p = take(2);
  return p ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : 0;
}

uint32_t ByteReader::u32() {
  const uint8_t* p = take(4);
  if (!p) return 0;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t ByteReader::u64() {
  const uint8_t* p = take(8);
  if (!p) return 0;
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

float ByteReader::f32() {
  uint32_t bits = u32();
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

std::span<const uint8_t> ByteReader::view(size_t n) {
  const uint8_t* p = take(n);
  return p ? std::span<const uint8_t>(p, n) : std::span<const uint8_t>();
}

std::vector<uint8_t> ByteReader::bytes(int64_t n) {
  if (n < 0 || static_cast<uint64_t>(n) > remaining()) {
    failed_ = true;
    return {};
  }
  auto v = view(static_cast<size_t>(n));
  return std::vector<uint8_t>(v.begin(), v.end());
}

bool ByteReader::bytes(void* out, size_t n) {
  const uint8_t* p = take(n);
  if (!p) return false;
  if (n) std::memcpy(out, p, n);
  return true;
}

std::string ByteReader::fixedString(size_t n) {
  auto v = view(n);
  std::string s(v.begin(), v.end());
  size_t zero = s.find('\0');
  if (zero != std::string::npos) s.resize(zero);
  return s;
}

std::string ByteReader::string8() {
  size_t n = u8();
  auto v = view(n);
  return std::string(v.begin(), v.end());
}

std::string ByteReader::string16() {
  int16_t n = i16();
  if (n < 0) {
    failed_ = true;
    return {};
  }
  auto v = view(static_cast<size_t>(n));
  return std::string(v.begin(), v.end());
}

std::string ByteReader::string32() {
  int32_t n = i32();
  if (n < 0) {
    failed_ = true;
    return {};
  }
  auto v = view(static_cast<size_t>(n));
  return std::string(v.begin(), v.end());
}

void ByteWriter::u16(uint16_t v) {
  data_.push_back(static_cast<uint8_t>(v));
  data_.push_back(static_cast<uint8_t>(v >> 8));
}

void ByteWriter::u32(uint32_t v) {
  for (int i = 0; i < 4; ++i) data_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void ByteWriter::u64(uint64_t v) {
  for (int i = 0; i < 8; ++i) data_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void ByteWriter::f32(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  u32(bits);
}

void ByteWriter::bytes(const void* data, size_t n) {
  if (!data || n == 0) return;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  data_.insert(data_.end(), p, p + n);
}

void ByteWriter::fixedString(const std::string& text, size_t n) {
  size_t k = std::min(text.size(), n);
  bytes(text.data(), k);
  data_.insert(data_.end(), n - k, 0);
}

void ByteWriter::string8(const std::string& text) {
  size_t n = std::min<size_t>(text.size(), std::numeric_limits<uint8_t>::max());
  u8(static_cast<uint8_t>(n));
  bytes(text.data(), n);
}

void ByteWriter::string16(const std::string& text) {
  size_t n = std::min<size_t>(text.size(), std::numeric_limits<int16_t>::max());
  i16(static_cast<int16_t>(n));
  bytes(text.data(), n);
}

void ByteWriter::string32(const std::string& text) {
  size_t n = std::min<size_t>(text.size(), std::numeric_limits<int32_t>::max());
  i32(static_cast<int32_t>(n));
  bytes(text.data(), n);
}

bool ByteWriter::patchU32(size_t position, uint32_t v) {
  if (position > data_.size() || data_.size() - position < 4) return false;
  for (int i = 0; i < 4; ++i) data_[position + i] = static_cast<uint8_t>(v >> (8 * i));
  return true;
}

}  // namespace tarnvik
