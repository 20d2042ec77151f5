// Archive files: the table of contents read without recursion and checked against the file's
// length, hashed case-insensitive lookups, positioned reads, enumeration and packing.
#include "files/bigfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "files/bytereader.h"
#include "files/file_bytes.h"
#include "files/path.h"
#include "foundation/cp1250.h"
#include "foundation/log.h"

namespace fs = std::filesystem;

namespace {

// The key of an entry's name: its text without letter case (Windows-1250 or UTF-8, as on disk).
std::string lower(std::string_view s) { return tarnvik::cp1250::diskKey(s); }

// A name that stays inside its folder when joined to it: not empty, not "." or "..", no separator,
// no drive or stream colon, no NUL or other control byte.
bool safeName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 32) return false;
  return true;
}

// Splits at "\" and "/", dropping empty pieces.
std::vector<std::string> splitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::string piece;
  for (char c : path) {
    if (c == '/' || c == '\\') {
      if (!piece.empty()) parts.push_back(std::move(piece));
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (!piece.empty()) parts.push_back(std::move(piece));
  return parts;
}

// Sequential little-endian reads of the table through a window of the archive, each checked against
// the archive's length.
class TocReader {
 public:
  explicit TocReader(const CBigFile& archive, int64_t length) : archive_(archive), length_(length) {}

  bool ok() const { return ok_; }
  int64_t position() const { return pos_; }
  int64_t remaining() const { return length_ - pos_; }

  int32_t i32() {
    uint8_t b[4];
    if (!take(b, 4)) return 0;
    return tarnvik::ByteReader(b, 4).i32();
  }
  int64_t i64() {
    uint8_t b[8];
    if (!take(b, 8)) return 0;
    return tarnvik::ByteReader(b, 8).i64();
  }
  std::string string() {
    int32_t n = i32();
    if (!ok_) return {};
    if (n < 0 || n > remaining()) {
      ok_ = false;
      return {};
    }
    std::string s(static_cast<size_t>(n), '\0');
    if (!take(s.data(), s.size())) return {};
    return s;
  }

 private:
  bool take(void* out, size_t n) {
    if (!ok_ || static_cast<int64_t>(n) > remaining()) {
      ok_ = false;
      return false;
    }
    auto* dst = static_cast<uint8_t*>(out);
    while (n > 0) {
      if (pos_ < windowStart_ || pos_ >= windowStart_ + static_cast<int64_t>(window_.size())) {
        size_t want = static_cast<size_t>(std::min<int64_t>(kWindow, remaining()));
        window_.resize(want);
        windowStart_ = pos_;
        if (!archive_.readAt(pos_, window_.data(), want)) {
          ok_ = false;
          return false;
        }
      }
      size_t at = static_cast<size_t>(pos_ - windowStart_);
      size_t k = std::min(n, window_.size() - at);
      std::memcpy(dst, window_.data() + at, k);
      dst += k;
      n -= k;
      pos_ += static_cast<int64_t>(k);
    }
    return true;
  }

  static constexpr int64_t kWindow = 256 * 1024;
  const CBigFile& archive_;
  int64_t length_;
  int64_t pos_ = 0;
  std::vector<uint8_t> window_;
  int64_t windowStart_ = 0;
  bool ok_ = true;
};

}  // namespace

CBigFile::~CBigFile() { close(); }

bool CBigFile::fail(const std::string& message) {
  error_ = "archive " + fileName_.str() + ": " + message;
  TLOG_ERROR(error_);
  close();
  return false;
}

void CBigFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  memory_.clear();
  inMemory_ = false;
  handle_.reset();
  mapped_.reset();
  onDisk_.reset();
  open_ = false;
  length_ = 0;
  folders_.clear();
  files_.clear();
  fileIndex_.clear();
  folderIndex_.clear();
  searches_.clear();
  current_ = 0;
}

bool CBigFile::open(const CXString& fileName) {
  close();
  error_.clear();
  fileName_ = fileName;
  std::string native;
  if (!CPath::findExisting(CPath::makeAbsolute(fileName), native)) return fail("not found");
  fd_ = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return fail(std::string("cannot be opened: ") + std::strerror(errno));
  struct stat sb;
  if (::fstat(fd_, &sb) != 0 || !S_ISREG(sb.st_mode)) return fail("is not a regular file");
  length_ = sb.st_size;
  if (!parse()) return false;
  handle_ = std::make_unique<CFile>(nullptr, CXString(native), CFile::modeRead | CFile::modeBinary);
  open_ = true;
  return true;
}

bool CBigFile::openBuffer(std::vector<uint8_t> data) {
  close();
  error_.clear();
  if (fileName_.isEmpty()) fileName_ = CXString("(memory)");
  memory_ = std::move(data);
  inMemory_ = true;
  length_ = static_cast<int64_t>(memory_.size());
  if (!parse()) return false;
  open_ = true;
  return true;
}

bool CBigFile::readAt(int64_t position, void* buffer, size_t n) const {
  if (position < 0 || static_cast<int64_t>(n) > length_ - position) return false;
  if (n == 0) return true;
  if (inMemory_) {
    std::memcpy(buffer, memory_.data() + position, n);
    return true;
  }
  if (fd_ < 0) return false;
  auto* dst = static_cast<uint8_t*>(buffer);
  while (n > 0) {
    ssize_t got = ::pread(fd_, dst, n, static_cast<off_t>(position));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    dst += got;
    n -= static_cast<size_t>(got);
    position += got;
  }
  return true;
}

bool CBigFile::parse() {
  TocReader in(*this, length_);
  header_ = Header();
  header_.archiveName = in.string();
  header_.rootName = in.string();
  header_.totalSize = in.i32();
  in.i64();
  in.i64();
  header_.fileCount = in.i32();
  header_.folderCount = in.i32();
  if (!in.ok()) return fail("too short for its header");
  if (header_.fileCount < 0 || header_.folderCount < 0 ||
      static_cast<int64_t>(header_.fileCount) * kFileRecordFixed > in.remaining() ||
      static_cast<int64_t>(header_.folderCount) * kFolderRecordFixed > in.remaining())
    return fail("its header claims " + std::to_string(header_.fileCount) + " files and " +
                std::to_string(header_.folderCount) + " folders, more than the file can hold");

  // Folder records nest; an explicit stack of open folders replaces recursion.
  struct Open {
    int32_t folder;
    int32_t subfoldersLeft;
    int32_t files;
  };
  std::vector<Open> stack;
  auto readFolder = [&](int32_t parent) -> bool {
    FolderEntry folder;
    folder.name = in.string();
    int32_t files = in.i32();
    int32_t subfolders = in.i32();
    if (!in.ok()) return fail("table of contents cut short");
    if (files < 0 || subfolders < 0 || static_cast<int64_t>(files) * kFileRecordFixed > in.remaining() ||
        static_cast<int64_t>(subfolders) * kFolderRecordFixed > in.remaining())
      return fail("folder \"" + folder.name + "\" claims more entries than the file can hold");
    if (static_cast<int>(stack.size()) >= kMaxDepth)
      return fail("folders nested deeper than " + std::to_string(kMaxDepth));
    if (static_cast<int64_t>(folders_.size()) >= static_cast<int64_t>(header_.folderCount) + 1 && !folders_.empty())
      return fail("more folders than its header says");
    folder.parent = parent;
    bool parentSafe = parent < 0 || folders_[static_cast<size_t>(parent)].safe;
    folder.safe = parentSafe && (parent < 0 || safeName(folder.name));
    auto index = static_cast<int32_t>(folders_.size());
    if (parent >= 0) folders_[static_cast<size_t>(parent)].folders.push_back(index);
    folders_.push_back(std::move(folder));
    stack.push_back({index, subfolders, files});
    return true;
  };

  if (!readFolder(-1)) return false;
  int64_t contentStart = 0;
  while (!stack.empty()) {
    Open& top = stack.back();
    if (top.subfoldersLeft > 0) {
      --top.subfoldersLeft;
      if (!readFolder(top.folder)) return false;
      continue;
    }
    int32_t folderIndex = top.folder;
    int32_t count = top.files;
    stack.pop_back();
    for (int32_t i = 0; i < count; ++i) {
      if (static_cast<int64_t>(files_.size()) >= header_.fileCount) return fail("more files than its header says");
      FileEntry file;
      file.name = in.string();
      int32_t offset = in.i32();
      file.reserved = in.i64();
      int32_t size = in.i32();
      if (!in.ok()) return fail("table of contents cut short");
      file.offset = offset;
      file.size = size;
      file.parent = folderIndex;
      file.safe = folders_[static_cast<size_t>(folderIndex)].safe && safeName(file.name);
      folders_[static_cast<size_t>(folderIndex)].files.push_back(static_cast<int32_t>(files_.size()));
      files_.push_back(std::move(file));
    }
  }
  contentStart = in.position();
  if (static_cast<int64_t>(files_.size()) != header_.fileCount)
    return fail("its header says " + std::to_string(header_.fileCount) + " files, its table holds " +
                std::to_string(files_.size()));
  // The root is the packed folder itself; the header counts the folders below it (and tolerates
  // counting the root too).
  int64_t below = static_cast<int64_t>(folders_.size()) - 1;
  if (header_.folderCount != below && header_.folderCount != below + 1)
    return fail("its header says " + std::to_string(header_.folderCount) + " folders, its table holds " +
                std::to_string(below));
  for (const FileEntry& file : files_) {
    if (file.size < 0 || file.offset < contentStart || file.offset > length_ - file.size)
      return fail("file \"" + file.name + "\" lies outside the archive (offset " + std::to_string(file.offset) +
                  ", size " + std::to_string(file.size) + ", archive " + std::to_string(length_) + " bytes)");
  }
  index();
  return true;
}

void CBigFile::index() {
  fileIndex_.clear();
  folderIndex_.clear();
  fileIndex_.reserve(files_.size());
  // Paths are built once per folder; a folder's path is its parent's plus its name.
  std::vector<std::string> folderPath(folders_.size());
  for (size_t i = 0; i < folders_.size(); ++i) {
    const FolderEntry& f = folders_[i];
    if (f.parent >= 0) {
      const std::string& up = folderPath[static_cast<size_t>(f.parent)];
      folderPath[i] = up.empty() ? lower(f.name) : up + "/" + lower(f.name);
    }
    if (f.safe) folderIndex_.emplace(folderPath[i], static_cast<int32_t>(i));
  }
  for (size_t i = 0; i < files_.size(); ++i) {
    const FileEntry& f = files_[i];
    if (!f.safe) continue;
    const std::string& up = folderPath[static_cast<size_t>(f.parent)];
    fileIndex_.emplace(up.empty() ? lower(f.name) : up + "/" + lower(f.name), static_cast<int32_t>(i));
  }
}

std::string CBigFile::pathOf(int32_t fileIndex) const {
  if (fileIndex < 0 || fileIndex >= static_cast<int32_t>(files_.size())) return {};
  std::string path = files_[static_cast<size_t>(fileIndex)].name;
  for (int32_t f = files_[static_cast<size_t>(fileIndex)].parent; f > 0; f = folders_[static_cast<size_t>(f)].parent)
    path = folders_[static_cast<size_t>(f)].name + "\\" + path;
  return path;
}

bool CBigFile::isSafe(int32_t fileIndex) const {
  return fileIndex >= 0 && fileIndex < static_cast<int32_t>(files_.size()) && files_[static_cast<size_t>(fileIndex)].safe;
}

namespace {

// The case-folded key of a lookup path relative to a folder key; false when it climbs out of the root.
// Each requested name is read as Windows-1250 (a definition file's bytes), or with `asUtf8` as UTF-8
// where its bytes allow.
bool lookupKey(const std::string& currentKey, std::string_view path, std::string& key, bool asUtf8) {
  std::vector<std::string> parts;
  bool absolute = !path.empty() && (path[0] == '\\' || path[0] == '/');
  if (!absolute && !currentKey.empty()) parts = splitPath(currentKey);
  for (std::string& piece : splitPath(path)) {
    if (piece == ".") continue;
    if (piece == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
      continue;
    }
    std::vector<std::string> keys = tarnvik::cp1250::requestKeys(piece);
    parts.push_back(asUtf8 ? keys.back() : keys.front());
  }
  key.clear();
  for (const std::string& p : parts) key += (key.empty() ? "" : "/") + p;
  return true;
}

}  // namespace

int32_t CBigFile::findFile(const CXString& path) const {
  if (!open_ && !inMemory_) return -1;
  std::string key;
  std::string current;
  if (current_ > 0) current = lower(GetCurrentDirectoryA().str());
  for (bool asUtf8 : {false, true}) {
    if (!lookupKey(current, path.view(), key, asUtf8)) return -1;
    auto it = fileIndex_.find(key);
    if (it != fileIndex_.end()) return it->second;
  }
  return -1;
}

int32_t CBigFile::findFolder(const CXString& path) const {
  std::string key;
  std::string current;
  if (current_ > 0) current = lower(GetCurrentDirectoryA().str());
  for (bool asUtf8 : {false, true}) {
    if (!lookupKey(current, path.view(), key, asUtf8)) return -1;
    if (key.empty()) return folders_.empty() ? -1 : 0;
    auto it = folderIndex_.find(key);
    if (it != folderIndex_.end()) return it->second;
  }
  return -1;
}

int64_t CBigFile::GetSize(const CXString& path) const {
  int32_t f = findFile(path);
  return f < 0 ? -1 : files_[static_cast<size_t>(f)].size;
}

bool CBigFile::readFile(int32_t fileIndex, std::vector<uint8_t>& out) const {
  out.clear();
  if (fileIndex < 0 || fileIndex >= static_cast<int32_t>(files_.size())) return false;
  const FileEntry& f = files_[static_cast<size_t>(fileIndex)];
  out.resize(static_cast<size_t>(f.size));
  if (readAt(f.offset, out.data(), out.size())) return true;
  out.clear();
  TLOG_WARN("archive " << fileName_.view() << ": cannot read " << pathOf(fileIndex));
  return false;
}

bool CBigFile::readFile(const CXString& path, std::vector<uint8_t>& out) const {
  return readFile(findFile(path), out);
}

long CBigFile::Seek(const CXString& path) {
  int32_t f = findFile(path);
  if (f < 0 || !handle_) return -1;
  long at = static_cast<long>(files_[static_cast<size_t>(f)].offset);
  return handle_->Seek(at, SEEK_SET) == 0 ? at : -1;
}

int CBigFile::Seek(long offset, int origin) { return handle_ ? handle_->Seek(offset, origin) : -1; }

long CBigFile::Tell() { return handle_ ? handle_->Tell() : -1; }

intptr_t CBigFile::FindFirst(const CXString& pattern, CFindData& info) {
  std::string text = pattern.str();
  size_t cut = text.find_last_of("/\\");
  std::string folderPart = cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
  std::string wildcard = cut == std::string::npos ? text : text.substr(cut + 1);
  int32_t folder = folderPart.empty() ? current_ : findFolder(CXString(folderPart));
  if (folder < 0 || folders_.empty()) return -1;
  std::vector<CFindData> found;
  const FolderEntry& f = folders_[static_cast<size_t>(folder)];
  for (int32_t sub : f.folders) {
    const FolderEntry& s = folders_[static_cast<size_t>(sub)];
    if (s.safe && CPath::wildcardFits(s.name, wildcard)) found.push_back({CXString(s.name), 0, true});
  }
  for (int32_t file : f.files) {
    const FileEntry& e = files_[static_cast<size_t>(file)];
    if (e.safe && CPath::wildcardFits(e.name, wildcard)) found.push_back({CXString(e.name), e.size, false});
  }
  if (found.empty()) return -1;
  info = found.front();
  intptr_t handle = nextSearch_++;
  searches_[handle] = {std::move(found), 1};
  return handle;
}

int CBigFile::FindNext(intptr_t handle, CFindData& info) {
  auto it = searches_.find(handle);
  if (it == searches_.end() || it->second.second >= it->second.first.size()) return -1;
  info = it->second.first[it->second.second++];
  return 0;
}

void CBigFile::FindClose(intptr_t handle) { searches_.erase(handle); }

bool CBigFile::ChDir(const CXString& path) {
  int32_t folder = findFolder(path);
  if (folder < 0) return false;
  current_ = folder;
  return true;
}

CXString CBigFile::GetCurrentDirectoryA() const {
  std::string path;
  for (int32_t f = current_; f > 0 && f < static_cast<int32_t>(folders_.size()); f = folders_[static_cast<size_t>(f)].parent)
    path = folders_[static_cast<size_t>(f)].name + (path.empty() ? "" : "\\" + path);
  return CXString(path);
}

std::string CBigFile::relativeToMount(const CXString& path) const {
  std::string mount = CPath::toNative(mount_.isEmpty() ? CPath::getDataRoot() : mount_);
  std::string native = CPath::toNative(CPath::makeAbsolute(path));
  while (mount.size() > 1 && mount.back() == '/') mount.pop_back();
  if (native.size() <= mount.size() || native.compare(0, mount.size(), mount) != 0 || native[mount.size()] != '/')
    return {};
  return native.substr(mount.size() + 1);
}

bool CBigFile::exists(const CXString& path) {
  std::string rel = relativeToMount(path);
  return !rel.empty() && FileExists(CXString("\\" + rel));
}

bool CBigFile::existsFolder(const CXString& path) {
  std::string rel = relativeToMount(path);
  return !rel.empty() && findFolder(CXString("\\" + rel)) >= 0;
}

void CBigFile::list(const CXString& folder, const std::string& wildcard, std::vector<CFindData>& out) {
  std::string rel = relativeToMount(CPath::join(folder, "x"));
  if (rel.empty()) return;
  rel.pop_back();  // the "x" that stood for the entries
  CFindData info;
  intptr_t handle = FindFirst(CXString("\\" + rel + wildcard), info);
  if (handle < 0) return;
  do out.push_back(info);
  while (FindNext(handle, info) == 0);
  FindClose(handle);
}

bool CBigFile::read(const CXString& path, std::vector<uint8_t>& out) {
  std::string rel = relativeToMount(path);
  return !rel.empty() && readFile(CXString("\\" + rel), out);
}

// An entry smaller than the pages the system maps around a touched one is read (touching it through
// the map would make its neighbours resident too); its parts are read again from the archive.
std::shared_ptr<const tarnvik::FileBytes> CBigFile::readSmallEntry(const FileEntry& f, const CXString& path) {
  if (f.offset < 0 || f.size < 0 || static_cast<size_t>(f.size) >= tarnvik::FileBytes::kReadBelow) return nullptr;
  if (!onDisk_ && handle_ && !handle_->getFullPath().isEmpty())
    onDisk_ = tarnvik::FileBytes::openForParts(handle_->getFullPath().str());
  auto parts = tarnvik::FileBytes::slice(onDisk_, static_cast<size_t>(f.offset), static_cast<size_t>(f.size));
  std::vector<uint8_t> bytes;
  if (!parts || !read(path, bytes) || bytes.size() != parts->size()) return nullptr;
  return tarnvik::FileBytes::hold(std::move(bytes), std::move(parts));
}

std::shared_ptr<const tarnvik::FileBytes> CBigFile::readShared(const CXString& path) {
  std::string rel = relativeToMount(path);
  const int32_t index = rel.empty() ? -1 : findFile(CXString("\\" + rel));
  if (index < 0) return nullptr;
  const FileEntry& f = files_[static_cast<size_t>(index)];
  if (auto small = readSmallEntry(f, path)) return small;
  if (!mapped_ && handle_ && !handle_->getFullPath().isEmpty()) mapped_ = tarnvik::FileBytes::map(handle_->getFullPath().str());
  if (mapped_ && f.offset >= 0 && f.size >= 0)
    if (auto entry = tarnvik::FileBytes::slice(mapped_, static_cast<size_t>(f.offset), static_cast<size_t>(f.size)))
      return entry;
  return CBigFileIfc::readShared(path);
}

// Packing.

namespace {

struct PackFolder {
  std::string name;
  std::string native;
  std::vector<PackFolder> folders;
  std::vector<std::pair<std::string, int64_t>> files;  // name, size
};

// Walks a folder in byte order of names, without following links out of it. Depth is bounded like
// the reader's.
bool walk(PackFolder& folder, int depth, CBigFile::PackStats& stats, std::string& error) {
  if (depth > CBigFile::kMaxDepth) {
    error = "folders nested deeper than " + std::to_string(CBigFile::kMaxDepth) + " under " + folder.native;
    return false;
  }
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder.native, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  if (ec) {
    error = "cannot list " + folder.native + ": " + ec.message();
    return false;
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string native = folder.native + "/" + name;
    std::error_code e2;
    fs::file_status st = fs::symlink_status(native, e2);
    if (fs::is_directory(st)) {
      PackFolder sub;
      sub.name = name;
      sub.native = native;
      if (!walk(sub, depth + 1, stats, error)) return false;
      folder.folders.push_back(std::move(sub));
      ++stats.folders;
    } else if (fs::is_regular_file(st)) {
      int64_t size = static_cast<int64_t>(fs::file_size(native, e2));
      if (e2) size = 0;
      folder.files.emplace_back(name, size);
      ++stats.files;
      stats.totalSize += size;
      stats.tocSize += CBigFile::kFileRecordFixed + static_cast<int64_t>(name.size());
      stats.fileRecordBytes += CBigFile::kFileRecordFixed + static_cast<int64_t>(name.size());
    }
  }
  stats.tocSize += CBigFile::kFolderRecordFixed + static_cast<int64_t>(folder.name.size());
  return true;
}

void writeFolder(const PackFolder& folder, tarnvik::ByteWriter& toc, int64_t& offset) {
  toc.string32(folder.name);
  toc.i32(static_cast<int32_t>(folder.files.size()));
  toc.i32(static_cast<int32_t>(folder.folders.size()));
  for (const PackFolder& sub : folder.folders) writeFolder(sub, toc, offset);
  for (const auto& [name, size] : folder.files) {
    toc.string32(name);
    toc.i32(static_cast<int32_t>(offset));
    toc.i64(0);
    toc.i32(static_cast<int32_t>(size));
    offset += size;
  }
}

template <typename Visit>
void forEachFile(const PackFolder& folder, Visit&& visit) {
  for (const PackFolder& sub : folder.folders) forEachFile(sub, visit);
  for (const auto& [name, size] : folder.files) visit(folder.native + "/" + name, size);
}

}  // namespace

bool CBigFile::Create(const CXString& source, const CXString&, const CXString& archiveName, std::ostream* report) {
  PackStats stats;
  std::string error;
  bool ok = create(source, archiveName, report, &stats, &error);
  if (!ok) TLOG_ERROR(error);
  return ok;
}

bool CBigFile::create(const CXString& source, const CXString& archiveName, std::ostream* report,
                      PackStats* statsOut, std::string* errorOut) {
  std::string error;
  auto failWith = [&](const std::string& message) {
    if (errorOut) *errorOut = message;
    return false;
  };
  std::string sourceNative;
  if (!CPath::findExisting(CPath::makeAbsolute(source), sourceNative) || !fs::is_directory(sourceNative))
    return failWith("source folder " + source.str() + " does not exist");
  PackFolder root;
  root.native = sourceNative;
  root.name = fs::path(sourceNative).filename().string();
  PackStats stats;
  if (!walk(root, 0, stats, error)) return failWith(error);

  std::string archiveText = archiveName.str();
  tarnvik::ByteWriter head;
  head.string32(archiveText);
  head.string32("\\");
  head.i32(static_cast<int32_t>(stats.totalSize));
  head.i64(0);
  head.i64(0);
  head.i32(stats.files);
  head.i32(stats.folders);
  int64_t contentStart = static_cast<int64_t>(head.size()) + stats.tocSize;
  if (contentStart + stats.totalSize > INT32_MAX)
    return failWith("the tree holds " + std::to_string(stats.totalSize) + " bytes; an archive addresses at most 2 GB");
  int64_t offset = contentStart;
  writeFolder(root, head, offset);
  stats.tocSize = static_cast<int64_t>(head.size());
  if (statsOut) *statsOut = stats;
  if (report) {
    *report << "Big file name: " << archiveText << ".\nNumber of folders: " << stats.folders
            << ".\nNumber of files: " << stats.files << ".\nTotal size: " << stats.totalSize
            << " bytes.\nTOC size: " << stats.fileRecordBytes << " bytes.\n";
    report->flush();
  }

  std::string target = CPath::toNative(CPath::makeAbsolute(archiveName));
  // The archive must not be packed into itself.
  std::error_code ec;
  if (fs::weakly_canonical(target, ec).string().rfind(fs::weakly_canonical(sourceNative, ec).string() + "/", 0) == 0)
    return failWith("the archive " + target + " would lie inside the folder it packs");
  CFile out;
  if (!out.openRewrite(target)) return failWith("cannot create " + target);
  if (out.Write(head.data().data(), static_cast<int>(head.size())) != static_cast<int>(head.size())) {
    out.abandon();
    return failWith("cannot write " + target);
  }
  if (report) *report << "TOC saved.\n" << std::flush;
  int done = 0;
  std::vector<char> buffer(1 << 20);
  bool ok = true;
  forEachFile(root, [&](const std::string& native, int64_t size) {
    if (!ok) return;
    FILE* in = std::fopen(native.c_str(), "rb");
    int64_t left = size;
    while (in && left > 0) {
      size_t want = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
      size_t got = std::fread(buffer.data(), 1, want, in);
      if (got == 0) break;
      if (out.Write(buffer.data(), static_cast<int>(got)) != static_cast<int>(got)) {
        ok = false;
        error = "cannot write " + target;
        break;
      }
      left -= static_cast<int64_t>(got);
    }
    if (in) std::fclose(in);
    if (ok && left > 0) {
      // The table already promised these bytes: a file that shrank or cannot be read makes the
      // archive inconsistent, so nothing is kept.
      ok = false;
      error = "cannot read all of " + native;
    }
    ++done;
    if (report && ok) *report << '\r' << std::string(48, ' ') << "\rFile " << done << " of " << stats.files << " saved."
                              << std::flush;
  });
  if (!ok) {
    out.abandon();
    return failWith(error);
  }
  if (out.Close() != 0) return failWith("cannot write " + target);
  return true;
}
