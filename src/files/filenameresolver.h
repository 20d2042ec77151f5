// CFileNameResolver (the parts of a path) and CFileResolver (base of resources bound to a file).
#pragma once

#include "foundation/xobject.h"
#include "foundation/xstring.h"

// Splits a path written with "\" or "/": "C:\GAME\DANE\A.ANN" gives drive "C:", path "\GAME\DANE\",
// file name "A.ANN", extension "ANN" (without the dot) and pure file name "A".
class CFileNameResolver {
 public:
  explicit CFileNameResolver(const CXString& path);

  const CXString& getDrive() const { return drive_; }
  const CXString& getPath() const { return path_; }
  const CXString& getFileName() const { return fileName_; }
  const CXString& getExtension() const { return extension_; }
  const CXString& getPureFileName() const { return pureFileName_; }

 private:
  CXString drive_;
  CXString path_;
  CXString fileName_;
  CXString extension_;
  CXString pureFileName_;
};

// A resource loaded from a file on demand and released by its owner.
class CFileResolver : public CXObject {
 public:
  CFileResolver() = default;
  explicit CFileResolver(const CXString& fileName) : fileName_(fileName) {}
  ~CFileResolver() override = default;

  virtual void setFilename(const CXString& fileName) { fileName_ = fileName; }
  const CXString& getFileName() const { return fileName_; }
  bool isLoaded() const { return loaded_; }
  // Whether the owner releases the resource when it is no longer needed.
  bool toRelease() const { return toRelease_; }
  void setToRelease(bool release) { toRelease_ = release; }

  // Loads the file's content; true on success. The base has nothing to load.
  virtual bool load() { return false; }
  virtual void release() { loaded_ = false; }

 protected:
  void setLoaded(bool loaded) { loaded_ = loaded; }

 private:
  CXString fileName_;
  bool loaded_ = false;
  bool toRelease_ = true;
};
