// CDataBuffer: a typed byte buffer with a cursor and a backup copy; CDataBuffer2Dim adds rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/xobject.h"

class CDataBuffer : public CXObject {
 public:
  CDataBuffer() = default;
  // `count` elements of `elementSize` bytes, zeroed.
  CDataBuffer(size_t elementSize, size_t count);
  // Over memory the caller keeps alive (not owned, never freed here).
  CDataBuffer(void* data, size_t elementSize, size_t count);
  CDataBuffer(const CDataBuffer&) = delete;
  CDataBuffer& operator=(const CDataBuffer&) = delete;

  uint8_t* data() const { return data_; }
  uint8_t* cursor() const { return cursor_; }
  size_t getElementSize() const { return elementSize_; }
  size_t getCount() const { return count_; }
  size_t sizeInBytes() const { return elementSize_ * count_; }

  void backup();
  // Copies the backup back; with `drop` the backup is freed afterwards.
  void restore(bool drop);
  void zero();
  void start() { cursor_ = data_; }
  CDataBuffer& operator++() { return *this += 1; }
  CDataBuffer& operator--() { return *this -= 1; }
  // The cursor moves by whole elements and stays within the buffer (clamped to its ends).
  CDataBuffer& operator+=(ptrdiff_t elements);
  CDataBuffer& operator-=(ptrdiff_t elements) { return *this += -elements; }
  void flush();
  // A deep copy of the data and the backup, with the cursor at the same distance from the start.
  CDataBuffer* clone() const override;
  size_t getMemoryUsage() const { return owned_.size() + backup_.size(); }

 protected:
  void moveCursorBytes(ptrdiff_t bytes);

 private:
  std::vector<uint8_t> owned_;
  std::vector<uint8_t> backup_;
  uint8_t* data_ = nullptr;
  uint8_t* cursor_ = nullptr;
  size_t elementSize_ = 1;
  size_t count_ = 0;
};

class CDataBuffer2Dim : public CDataBuffer {
 public:
  CDataBuffer2Dim(const CXSize& size, size_t elementSize);
  CDataBuffer2Dim(void* data, const CXSize& size, size_t elementSize);

  int getRowLength() const { return rowLength_; }
  int getHeight() const { return height_; }
  // Cursor to column x of row y; out-of-range coordinates leave it at the nearest end.
  void at(int x, int y);
  void nextLine() { moveCursorBytes(static_cast<ptrdiff_t>(rowLength_) * static_cast<ptrdiff_t>(getElementSize())); }
  void prevLine() { moveCursorBytes(-static_cast<ptrdiff_t>(rowLength_) * static_cast<ptrdiff_t>(getElementSize())); }

 private:
  int rowLength_;
  int height_;
};
