// Typed byte buffers with a cursor.
#include "graphics/pixels/databuffer.h"

#include <algorithm>
#include <cstring>

CDataBuffer::CDataBuffer(size_t elementSize, size_t count)
    : owned_(elementSize * count, 0), elementSize_(elementSize ? elementSize : 1), count_(elementSize ? count : 0) {
  data_ = cursor_ = owned_.empty() ? nullptr : owned_.data();
}

CDataBuffer::CDataBuffer(void* data, size_t elementSize, size_t count)
    : data_(static_cast<uint8_t*>(data)),
      cursor_(static_cast<uint8_t*>(data)),
      elementSize_(elementSize ? elementSize : 1),
      count_(data ? count : 0) {}

void CDataBuffer::backup() {
  if (data_) backup_.assign(data_, data_ + sizeInBytes());
}

void CDataBuffer::restore(bool drop) {
  if (data_ && backup_.size() == sizeInBytes()) std::memcpy(data_, backup_.data(), backup_.size());
  if (drop) backup_.clear();
}

void CDataBuffer::zero() {
  if (data_) std::memset(data_, 0, sizeInBytes());
}

void CDataBuffer::moveCursorBytes(ptrdiff_t bytes) {
  if (!data_) return;
  ptrdiff_t at = (cursor_ - data_) + bytes;
  at = std::clamp<ptrdiff_t>(at, 0, static_cast<ptrdiff_t>(sizeInBytes()));
  cursor_ = data_ + at;
}

CDataBuffer& CDataBuffer::operator+=(ptrdiff_t elements) {
  moveCursorBytes(elements * static_cast<ptrdiff_t>(elementSize_));
  return *this;
}

void CDataBuffer::flush() {
  if (!owned_.empty() && data_ == owned_.data()) {
    data_ = cursor_ = nullptr;
    count_ = 0;
  }
  std::vector<uint8_t>().swap(owned_);
  std::vector<uint8_t>().swap(backup_);
}

CDataBuffer* CDataBuffer::clone() const {
  auto* copy = new CDataBuffer(elementSize_, data_ ? count_ : 0);
  if (data_ && count_) std::memcpy(copy->data_, data_, sizeInBytes());
  copy->backup_ = backup_;
  if (copy->data_) copy->cursor_ = copy->data_ + (cursor_ - data_);
  return copy;
}

CDataBuffer2Dim::CDataBuffer2Dim(const CXSize& size, size_t elementSize)
    : CDataBuffer(elementSize, size.isEmpty() ? 0 : static_cast<size_t>(size.width) * static_cast<size_t>(size.height)),
      rowLength_(size.isEmpty() ? 0 : size.width),
      height_(size.isEmpty() ? 0 : size.height) {}

CDataBuffer2Dim::CDataBuffer2Dim(void* data, const CXSize& size, size_t elementSize)
    : CDataBuffer(data, elementSize,
                  size.isEmpty() ? 0 : static_cast<size_t>(size.width) * static_cast<size_t>(size.height)),
      rowLength_(size.isEmpty() ? 0 : size.width),
      height_(size.isEmpty() ? 0 : size.height) {}

void CDataBuffer2Dim::at(int x, int y) {
  start();
  moveCursorBytes((static_cast<ptrdiff_t>(rowLength_) * y + x) * static_cast<ptrdiff_t>(getElementSize()));
}
