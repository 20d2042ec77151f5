// ByteReader and ByteWriter: bounds-checked little-endian access to binary data in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarnvik {

// Reads little-endian values from a byte span. Every count is checked against what remains before
// anything is allocated or copied; a read past the end sets the failure flag, returns a neutral
// value (0, empty) and leaves the position where it was. Once failed, every later read fails too,
// so a parser may read a whole record and check ok() once at the end.
class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
  ByteReader(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data), data ? size : 0) {}

  bool ok() const { return !failed_; }
  bool failed() const { return failed_; }
  void fail() { failed_ = true; }
  size_t position() const { return pos_; }
  size_t size() const { return data_.size(); }
  size_t remaining() const { return data_.size() - pos_; }
  bool atEnd() const { return pos_ >= data_.size(); }
  // True when n more bytes can be read (and the reader has not failed).
  bool has(size_t n) const { return !failed_ && n <= remaining(); }

  // Moves to an absolute position; a position beyond the end fails.
  bool seek(size_t position);
  bool skip(size_t n);

  uint8_t u8();
  int8_t i8() { return static_cast<int8_t>(u8()); }
  uint16_t u16();
  int16_t i16() { return static_cast<int16_t>(u16()); }
  uint32_t u32();
  int32_t i32() { return static_cast<int32_t>(u32()); }
  uint64_t u64();
  int64_t i64() { return static_cast<int64_t>(u64()); }
  float f32();

  // n bytes as a view into the data (empty on failure); valid as long as the data is.
  std::span<const uint8_t> view(size_t n);
  // n bytes copied out; a negative or too large n fails without allocating.
  std::vector<uint8_t> bytes(int64_t n);
  bool bytes(void* out, size_t n);
  // Text of a fixed size n; the bytes from the first zero on are dropped.
  std::string fixedString(size_t n);
  // Length-prefixed strings: 8-bit (unsigned), 16-bit and 32-bit (signed; negative fails) lengths.
  std::string string8();
  std::string string16();
  std::string string32();

 private:
  const uint8_t* take(size_t n);

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool failed_ = false;
};

// Appends little-endian values to a growing buffer; the mirror of ByteReader.
class ByteWriter {
 public:
  void u8(uint8_t v) { data_.push_back(v); }
  void i8(int8_t v) { u8(static_cast<uint8_t>(v)); }
  void u16(uint16_t v);
  void i16(int16_t v) { u16(static_cast<uint16_t>(v)); }
  void u32(uint32_t v);
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  void u64(uint64_t v);
  void i64(int64_t v) { u64(static_cast<uint64_t>(v)); }
  void f32(float v);
  void bytes(const void* data, size_t n);
  void bytes(std::span<const uint8_t> data) { bytes(data.data(), data.size()); }
  // Writes exactly n bytes: the text cut to n, padded with zeros.
  void fixedString(const std::string& text, size_t n);
  // Length-prefixed strings; text longer than the prefix can count is cut to the largest length.
  void string8(const std::string& text);
  void string16(const std::string& text);
  void string32(const std::string& text);
  // Overwrites 4 bytes at a position already written (for sizes known only later); false if out of range.
  bool patchU32(size_t position, uint32_t v);

  size_t size() const { return data_.size(); }
  const std::vector<uint8_t>& data() const { return data_; }
  std::vector<uint8_t> take() { return std::move(data_); }

 private:
  std::vector<uint8_t> data_;
};

}  // namespace tarnvik
