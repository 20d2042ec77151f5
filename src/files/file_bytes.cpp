// Whole files as shared bytes: read-only memory maps of files on disk, or vectors already read.
#include "files/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace tarnvik {

namespace {

std::atomic<bool> g_mapping{true};

// Fills `bytes` from the file at the offset; false when the file ends first or cannot be read.
bool readAt(int fd, size_t offset, std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;  // a signal came first: nothing was read
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

class MappedBytes : public FileBytes {
 public:
  MappedBytes(void* base, size_t length) : base_(base) {
    data_ = static_cast<const uint8_t*>(base);
    size_ = length;
  }
  ~MappedBytes() override {
    if (base_) munmap(base_, size_);
  }

 private:
  void* base_;
};

class HeldBytes : public FileBytes {
 public:
  explicit HeldBytes(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    data_ = bytes_.data();
    size_ = bytes_.size();
  }

 private:
  std::vector<uint8_t> bytes_;
};

// Files whose descriptors stay open for reading parts later, and how many may: past that, small
// files are mapped as larger ones are (the process has other files to open).
std::atomic<int> g_openForParts{0};
constexpr int kMaxOpenForParts = 256;

// Read when a part is asked for, through a descriptor kept open, so that a file replaced on disk
// meanwhile (a new file renamed over it) still gives the bytes that were parsed.
class OnDiskBytes : public FileBytes {
 public:
  OnDiskBytes(int fd, size_t size) : fd_(fd) { size_ = size; }
  ~OnDiskBytes() override {
    ::close(fd_);
    --g_openForParts;
  }
  std::span<const uint8_t> part(size_t offset, size_t size, std::vector<uint8_t>& scratch) const override {
    if (offset > size_ || size > size_ - offset) return {};
    scratch.resize(size);
    if (!readAt(fd_, offset, scratch)) return {};
    return {scratch.data(), size};
  }

 private:
  int fd_;
};

// Bytes read for parsing; their parts are read from the file again later.
class ReadWithParts : public HeldBytes {
 public:
  ReadWithParts(std::vector<uint8_t> bytes, std::shared_ptr<const FileBytes> parts)
      : HeldBytes(std::move(bytes)), parts_(std::move(parts)) {}
  std::shared_ptr<const FileBytes> forParts() const override { return parts_; }

 private:
  std::shared_ptr<const FileBytes> parts_;
};

// Counts the descriptor kept for parts; false (nothing counted) when there are enough already.
bool mayKeepOpen() {
  if (++g_openForParts <= kMaxOpenForParts) return true;
  --g_openForParts;
  return false;
}

// A small file read whole, its descriptor kept for reading parts later; null when too many are kept
// or it cannot be read.
std::shared_ptr<const FileBytes> readSmall(int fd, size_t length) {
  if (!mayKeepOpen()) return nullptr;
  std::vector<uint8_t> bytes(length);
  if (!readAt(fd, 0, bytes)) {
    --g_openForParts;
    return nullptr;
  }
  const size_t size = bytes.size();
  return std::make_shared<ReadWithParts>(std::move(bytes), std::make_shared<OnDiskBytes>(fd, size));
}

class SliceBytes : public FileBytes {
 public:
  SliceBytes(std::shared_ptr<const FileBytes> whole, size_t offset, size_t size)
      : whole_(std::move(whole)), offset_(offset) {
    data_ = whole_->data() ? whole_->data() + offset : nullptr;
    size_ = size;
  }
  std::span<const uint8_t> part(size_t offset, size_t size, std::vector<uint8_t>& scratch) const override {
    if (offset > size_ || size > size_ - offset) return {};
    return whole_->part(offset_ + offset, size, scratch);
  }

 private:
  std::shared_ptr<const FileBytes> whole_;
  size_t offset_;
};

}  // namespace

std::span<const uint8_t> FileBytes::part(size_t offset, size_t size, std::vector<uint8_t>& /*scratch*/) const {
  if (!data_ || offset > size_ || size > size_ - offset) return {};
  return {data_ + offset, size};
}

std::shared_ptr<const FileBytes> FileBytes::slice(std::shared_ptr<const FileBytes> whole, size_t offset, size_t size) {
  if (!whole || offset > whole->size() || size > whole->size() - offset) return nullptr;
  return std::make_shared<SliceBytes>(std::move(whole), offset, size);
}

void FileBytes::setMapping(bool on) { g_mapping = on; }

std::shared_ptr<const FileBytes> FileBytes::map(const std::string& nativePath) {
  if (!g_mapping) return nullptr;
  int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  std::shared_ptr<const FileBytes> result;
  // Only regular files map; the same limit as whole reads (1 GiB).
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 && info.st_size <= (1L << 30)) {
    const size_t length = static_cast<size_t>(info.st_size);
    if (length == 0) {
      result = hold({});
    } else if (length < kReadBelow && (result = readSmall(fd, length))) {
      return result;  // the descriptor is the parts' now
    }
    if (!result) {
      void* base = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
      if (base != MAP_FAILED) result = std::make_shared<MappedBytes>(base, length);
    }
  }
  ::close(fd);
  return result;
}

std::shared_ptr<const FileBytes> FileBytes::hold(std::vector<uint8_t> bytes) {
  return std::make_shared<HeldBytes>(std::move(bytes));
}

std::shared_ptr<const FileBytes> FileBytes::hold(std::vector<uint8_t> bytes, std::shared_ptr<const FileBytes> parts) {
  return std::make_shared<ReadWithParts>(std::move(bytes), std::move(parts));
}

std::shared_ptr<const FileBytes> FileBytes::openForParts(const std::string& nativePath) {
  int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 || !mayKeepOpen()) {
    ::close(fd);
    return nullptr;
  }
  return std::make_shared<OnDiskBytes>(fd, static_cast<size_t>(info.st_size));
}

}  // namespace tarnvik
