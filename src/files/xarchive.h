// CXArchive: the engine's little-endian serializer over a CFile.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/geometry.h"
#include "foundation/xstring.h"

class CFile;

// Writes or reads primitive values with no tags or alignment. A read that runs short, or a length
// that is negative or larger than what remains in the file, fails cleanly: the value becomes neutral
// (0, false, empty), nothing is allocated for it, and the archive stays failed so later reads are
// neutral too. Check isOk() after a record. The archive does not own the file.
class CXArchive {
 public:
  static constexpr int maxShortString = 127;

  CXArchive(CFile* file, bool storing) : file_(file), storing_(storing) {}

  bool isStoring() const { return storing_; }
  bool isLoading() const { return !storing_; }
  CFile* getFile() const { return file_; }
  bool isOk() const { return !failed_; }
  // Kept for callers that write it themselves; the primitives never write it.
  void Separator(char c) { separator_ = c; }
  char getSeparator() const { return separator_; }

  // int32: four bytes, two's complement.
  CXArchive& operator<<(int32_t v);
  CXArchive& operator>>(int32_t& v);
  // bool: one byte, 0 or 1 (any other byte reads as true).
  CXArchive& operator<<(bool v);
  CXArchive& operator>>(bool& v);
  // 64-bit integer: eight bytes.
  CXArchive& operator<<(int64_t v);
  CXArchive& operator>>(int64_t& v);
  // double: the int32 of the value times 1000, truncated toward zero. Values beyond the int32 range
  // saturate at its ends and NaN is stored as 0. Read back as the int32 times 0.001.
  CXArchive& operator<<(double v);
  CXArchive& operator>>(double& v);
  // That double encoding on its own, for formats written through other writers.
  static int32_t scaledDouble(double v);
  // Strings: int32 length, then the bytes, no terminator.
  CXArchive& operator<<(const CXString& v);
  CXArchive& operator>>(CXString& v);
  // Char arrays: as strings; read back as a new terminated array of length + 1 bytes.
  CXArchive& operator<<(const char* v);
  CXArchive& operator>>(std::unique_ptr<char[]>& v);
  // Rectangles: four int32 in the order left, top, right, bottom.
  CXArchive& operator<<(const CXRect& v);
  CXArchive& operator>>(CXRect& v);

  // One length byte (at most 127), then the bytes. Longer text is refused: nothing is written and
  // the call returns false, as a length byte above 127 would read back as negative.
  bool writeShortString(const CXString& v);
  bool readShortString(CXString& v);

  // A string's bytes with no length: FRead fills the string's current length, or n bytes.
  bool FWrite(const CXString& v);
  bool FRead(CXString& v);
  bool FRead(CXString& v, int n);
  // Appends the whole content of a file.
  bool CopyFileA(const CXString& name);

 private:
  bool writeBytes(const void* data, size_t n);
  bool readBytes(void* data, size_t n);
  // Whether n more bytes can be read; fails the archive when not.
  bool canRead(int64_t n);
  bool direction(bool wantStoring);

  CFile* file_;
  bool storing_;
  bool failed_ = false;
  char separator_ = ' ';
};
