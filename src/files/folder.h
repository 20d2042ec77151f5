// CFolder: a cursor over a directory tree, with file listings and folder creation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/xstring.h"
#include "foundation/xarray.h"

class CFileContext;

// Starts at the folder named by `path` (name rules and letter case as for CFile) and moves below it.
// Folder and file names come in byte order.
class CFolder {
 public:
  CFolder(CFileContext* window, const CXString& path);

  // False when the start folder does not exist.
  bool isValid() const { return valid_; }
  // The real path of the current folder.
  CXString getPath() const { return CXString(current_); }

  // Back to the start folder, forgetting the way there.
  void GoStart();
  // To the parent, but never above the start folder; false at the start folder.
  bool GoUp();
  // Into the index-th subfolder of the current folder; false for an index out of range.
  bool GoTo(int index);
  // To the folder visited before the last move; false when there is none.
  bool back();

  // The current folder's own name; the name of its index-th subfolder (empty when out of range).
  CXString GetFolderName() const;
  CXString GetFolderName(int index) const;
  int GetFolderCount() const;
  // The first file of the current folder, then the following ones; empty after the last.
  CXString GetFileName();
  CXString GetNextFileName();

  // A new array of new strings: the names of the current folder's files matching the filter ("*.*",
  // "*.ann", letter case ignored). Free it with releaseFilesList.
  CXArray* list(const CXString& filter) const;
  static void releaseFilesList(CXArray* files);

  // Names relative to the current folder, or absolute.
  bool IsDirectory(const CXString& path) const;
  // The size of a file in bytes; -1 when there is no such file.
  int64_t GetSize(const CXString& path) const;
  // Creates a folder (inside the writable places); true when it exists afterwards.
  bool createFolder(const CXString& name);

 private:
  std::vector<std::string> entries(bool folders) const;
  CXString under(const CXString& path) const;

  bool valid_ = false;
  std::string root_;
  std::string current_;
  std::vector<std::string> history_;
  std::vector<std::string> files_;
  size_t nextFile_ = 0;
};
