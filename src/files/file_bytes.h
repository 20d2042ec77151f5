// FileBytes: a whole file as shared read-only bytes, mapped from disk where possible, else held in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tarnvik {

// Parsers that keep parts of a file packed (animation frames) hold these bytes for as long as they
// need them; a mapping saves the copy of reading and lets the system drop pages it can read again.
class FileBytes : public std::enable_shared_from_this<FileBytes> {
 public:
  // Below this size a file is read rather than mapped: the system maps the pages around a touched one
  // at once (up to 64 KB), so touching a small file's headers would make the whole of it resident.
  static constexpr size_t kReadBelow = 64 * 1024;

  virtual ~FileBytes() = default;
  // Null for the bytes of forParts() of a small file: those are read part by part.
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  std::span<const uint8_t> span() const { return {data_, size_}; }
  // The bytes [offset, offset + size): where they lie when they are in memory, else read again from
  // the file into `scratch`. Empty when the range lies outside or the file cannot be read. Any thread.
  virtual std::span<const uint8_t> part(size_t offset, size_t size, std::vector<uint8_t>& scratch) const;
  // What a parser keeps for reading parts later: these bytes themselves, or for a small file read
  // whole (map) its file on disk, read part by part, so that the copy goes once the parsing is done.
  virtual std::shared_ptr<const FileBytes> forParts() const { return shared_from_this(); }

  // The file at a real path mapped read-only (read whole below kReadBelow); null when it cannot be
  // opened or mapped, or mapping is off (the caller then reads). An empty file maps to empty bytes.
  static std::shared_ptr<const FileBytes> map(const std::string& nativePath);
  // Whether map() maps (the default). A mapped file cut short on disk while in use would end
  // the process at the next touch of its lost pages, so a player that expects files to be edited
  // while it runs (--watch) reads them instead.
  static void setMapping(bool on);
  // A part of other bytes (an entry of an archive), keeping them alive; null when it lies outside.
  static std::shared_ptr<const FileBytes> slice(std::shared_ptr<const FileBytes> whole, size_t offset, size_t size);
  // Bytes already read (an archive entry, a buffer in memory).
  static std::shared_ptr<const FileBytes> hold(std::vector<uint8_t> bytes);
  // Bytes read for parsing whose parts are read again later from `parts` (forParts gives them).
  static std::shared_ptr<const FileBytes> hold(std::vector<uint8_t> bytes, std::shared_ptr<const FileBytes> parts);
  // A file read only part by part (data() is null), through a descriptor kept open; null when it
  // cannot be opened (or too many are kept open).
  static std::shared_ptr<const FileBytes> openForParts(const std::string& nativePath);

 protected:
  FileBytes() = default;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace tarnvik
