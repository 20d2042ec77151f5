// CFile_Sink: a write-only file in memory, for records the serializer writes into another file's bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "files/file.h"

class CFile_Sink : public CFile {
 public:
  CFile_Sink() { openMemory(nullptr, 0, modeBinary); }
  int Write(const void* buffer, int n) override {
    if (n < 1 || !buffer) return 0;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    bytes_.insert(bytes_.end(), bytes, bytes + n);
    return n;
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};
