// CBigFile: archive files (".pik"): one file holding a game's folder tree, its table of contents and
// the bytes of every file; reading, lookups, enumeration and packing.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "files/file.h"
#include "foundation/xstring.h"

class CBigFile : public CBigFileIfc {
 public:
  // Folders nested deeper than this are refused (the table is read without recursion, but a tree
  // that deep is never a game and would make every later walk expensive).
  static constexpr int kMaxDepth = 256;
  // Bytes of a file record besides its name: name length, offset, reserved, size.
  static constexpr int kFileRecordFixed = 20;
  // Bytes of a folder record besides its name and children: name length, file count, folder count.
  static constexpr int kFolderRecordFixed = 12;

  struct FileEntry {
    std::string name;
    int64_t offset = 0;
    int64_t reserved = 0;
    int64_t size = 0;
    int32_t parent = 0;
    // False when the name could step outside the tree ("..", a separator, a drive, NUL, ...).
    bool safe = true;
  };
  struct FolderEntry {
    std::string name;
    int32_t parent = -1;  // -1 for the root
    std::vector<int32_t> folders;
    std::vector<int32_t> files;
    bool safe = true;  // this folder and every folder above it have safe names
  };
  struct Header {
    std::string archiveName;
    std::string rootName;
    int32_t totalSize = 0;
    int32_t fileCount = 0;
    int32_t folderCount = 0;
  };

  CBigFile() = default;
  ~CBigFile() override;
  CBigFile(const CBigFile&) = delete;
  CBigFile& operator=(const CBigFile&) = delete;

  // Opens an archive file and reads its table; the contents stay on disk and are read on demand
  // (one open file, positioned reads). False with getError() set when the file is missing or broken.
  bool open(const CXString& fileName);
  // The same over bytes in memory (tests, fuzzing).
  bool openBuffer(std::vector<uint8_t> data);
  void close();
  bool isOpen() const { return open_; }
  // One line saying why open failed.
  const std::string& getError() const { return error_; }
  const CXString& getFileName() const { return fileName_; }

  const Header& getHeader() const { return header_; }
  const std::vector<FolderEntry>& folders() const { return folders_; }
  const std::vector<FileEntry>& files() const { return files_; }
  // A file's path inside the archive, components joined with "\" (no leading separator).
  std::string pathOf(int32_t fileIndex) const;
  // Whether a file may be written out under its path (no hostile name on the way).
  bool isSafe(int32_t fileIndex) const;

  // Lookups: "\" or "/" separators, a leading separator dropped, letters compared ignoring case;
  // relative paths start at the current folder. -1 when nothing matches.
  int32_t findFile(const CXString& path) const;
  int32_t findFolder(const CXString& path) const;
  bool FileExists(const CXString& path) const { return findFile(path) >= 0; }
  // Size of the named file, -1 when there is none.
  int64_t GetSize(const CXString& path) const;
  // Copies a file's bytes; false when it has none or the archive cannot be read there.
  bool readFile(int32_t fileIndex, std::vector<uint8_t>& out) const;
  bool readFile(const CXString& path, std::vector<uint8_t>& out) const;
  // Reads n bytes at an absolute position of the archive (no stream position involved).
  bool readAt(int64_t position, void* buffer, size_t n) const;

  // The archive stream: Seek(path) positions it at the named file's contents and returns that
  // position (-1 when there is no such file); Seek(offset, origin) and Tell() as on a file.
  long Seek(const CXString& path);
  int Seek(long offset, int origin);
  long Tell();
  // The file the archive reads through (null for in-memory archives).
  CFile* getHandle() { return handle_.get(); }

  // Enumeration inside the archive, in the shape of CFile::findFirst/findNext: a folder part and a
  // wildcard ("Dane\\*.cnv"); -1 when nothing matches, then 0 per entry and -1 at the end.
  intptr_t FindFirst(const CXString& pattern, CFindData& info);
  int FindNext(intptr_t handle, CFindData& info);
  void FindClose(intptr_t handle);

  // The current folder for relative lookups.
  bool ChDir(const CXString& path);
  CXString GetCurrentDirectoryA() const;

  // CBigFileIfc: engine paths (absolute, under the data root) mapped into the archive.
  bool exists(const CXString& path) override;
  bool read(const CXString& path, std::vector<uint8_t>& out) override;
  // A slice of the archive, mapped whole at the first such read (the bytes stay valid after close).
  std::shared_ptr<const tarnvik::FileBytes> readShared(const CXString& path) override;
  bool existsFolder(const CXString& path) override;
  void list(const CXString& folder, const std::string& wildcard, std::vector<CFindData>& out) override;
  // The folder the archive stands for (by default the data root at the time of each lookup).
  void setMountFolder(const CXString& folder) { mount_ = folder; }

  // Packing. `tocSize` is the length of header and table; `fileRecordBytes` the sum the statistics
  // report as "TOC size" (each file record's name length plus 20).
  struct PackStats {
    int folders = 0;
    int files = 0;
    int64_t totalSize = 0;
    int64_t tocSize = 0;
    int64_t fileRecordBytes = 0;
  };
  // Packs the source folder tree into a new archive; the file appears under its final name only when
  // complete. The second name is kept for callers of the original interface and not used. With a
  // `report` stream the packer prints its statistics lines, "TOC saved." and a progress line
  // rewritten after each file ("\r", 48 blanks, "\rFile N of M saved.") there.
  static bool Create(const CXString& source, const CXString& secondName, const CXString& archiveName,
                     std::ostream* report = nullptr);
  static bool create(const CXString& source, const CXString& archiveName, std::ostream* report, PackStats* stats,
                     std::string* error);

 private:
  bool parse();
  bool fail(const std::string& message);
  void index();
  std::string relativeToMount(const CXString& path) const;
  std::shared_ptr<const tarnvik::FileBytes> readSmallEntry(const FileEntry& f, const CXString& path);

  bool open_ = false;
  std::string error_;
  CXString fileName_;
  int fd_ = -1;
  std::vector<uint8_t> memory_;
  bool inMemory_ = false;
  int64_t length_ = 0;
  std::unique_ptr<CFile> handle_;
  std::shared_ptr<const tarnvik::FileBytes> mapped_;
  std::shared_ptr<const tarnvik::FileBytes> onDisk_;  // the archive read part by part, for small entries
  Header header_;
  std::vector<FolderEntry> folders_;
  std::vector<FileEntry> files_;
  // Lower-cased paths ("dane/scena/a.wav") of the safe entries.
  std::unordered_map<std::string, int32_t> fileIndex_;
  std::unordered_map<std::string, int32_t> folderIndex_;
  int32_t current_ = 0;
  CXString mount_;
  std::unordered_map<intptr_t, std::pair<std::vector<CFindData>, size_t>> searches_;
  intptr_t nextSearch_ = 1;
};
