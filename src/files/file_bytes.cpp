// Whole files as shared bytes: read-only memory maps of files on disk, or vectors already read.
#include "files/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace tarnvik {

namespace {

std::atomic<bool> g_mapping{true};

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

class SliceBytes : public FileBytes {
 public:
  SliceBytes(std::shared_ptr<const FileBytes> whole, size_t offset, size_t size) : whole_(std::move(whole)) {
    data_ = whole_->data() + offset;
    size_ = size;
  }

 private:
  std::shared_ptr<const FileBytes> whole_;
};

}  // namespace

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
    } else {
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

}  // namespace tarnvik
