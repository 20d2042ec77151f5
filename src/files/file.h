// CFile (files and memory streams through the name rules and candidate places), CFile_Stream, CFileContext.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "foundation/xobject.h"
#include "foundation/xstring.h"

class CLanguageOSVer;
namespace tarnvik {
class FileBytes;
}

// What file access needs from the window: the language object's folder. The window passes itself (it
// derives from this class, or hands over one it owns); a null context stands for "no window", which
// opens without language variants.
class CFileContext {
 public:
  CFileContext() = default;
  explicit CFileContext(const CXString& languageFolder) : languageFolder_(languageFolder) {}
  virtual ~CFileContext() = default;
  // The language folder ("POL", "CZE", ... or empty): the language object's when one is attached.
  virtual CXString getLanguageFolder() const;
  void setLanguageFolder(const CXString& folder) { languageFolder_ = folder; }
  // Follows the language object (which may change its folder later) and lets it look files up by the
  // engine's name rules. The object must outlive the context or be detached with nullptr.
  void setLanguage(CLanguageOSVer* language);
  CLanguageOSVer* getLanguage() const { return language_; }

 private:
  CXString languageFolder_;
  CLanguageOSVer* language_ = nullptr;
};

// One directory entry as returned by findFirst / findNext.
struct CFindData {
  CXString name;
  int64_t size = 0;
  bool isDirectory = false;
};

// An open archive of game files, consulted after the file system for reading. The archive reader
// installs one through CFile::setBigFileIfc.
class CBigFileIfc {
 public:
  virtual ~CBigFileIfc() = default;
  virtual bool exists(const CXString& path) = 0;
  // The whole entry; false when the archive has no such entry.
  virtual bool read(const CXString& path, std::vector<uint8_t>& out) = 0;
  // The whole entry as shared bytes (by default read); null when the archive has no such entry.
  virtual std::shared_ptr<const tarnvik::FileBytes> readShared(const CXString& path);
  virtual bool existsFolder(const CXString&) { return false; }
  // Appends the entries of a folder that match a wildcard.
  virtual void list(const CXString& /*folder*/, const std::string& /*wildcard*/, std::vector<CFindData>& /*out*/) {}
};


class CFile : public CXObject {
 public:
  // Mode bits. Without modeRead the file is opened for writing.
  static constexpr int modeRead = 1;
  static constexpr int modeUpdate = 4;
  static constexpr int modeText = 8;
  static constexpr int modeBinary = 16;
  // Error codes: nothing opened in any candidate place; a write that could not be completed.
  static constexpr int errorNotFound = 2000;
  static constexpr int errorWriteFailed = 2001;
  static constexpr int maxLineLength = 10240;

  CFile() = default;
  CFile(CFileContext* window, const CXString& name, int mode);
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  ~CFile() override;

  // -1 when not open.
  virtual long Length();
  virtual long Tell();
  // The stdio stream (null for memory streams and closed files).
  FILE* getStream() const { return fp_; }
  // 0 on success, as fseek.
  virtual int Seek(long offset, int origin);
  // Closes what was open, then opens through the name rules and candidates; returns the error code.
  virtual int Open(CFileContext* window, const CXString& name, int mode);
  // Byte counts; 0 for n below 1 or a closed file. Text mode reads CR LF as LF; writes are never
  // translated, so written files keep plain line feeds.
  virtual int Read(void* buffer, int n);
  virtual int Write(const void* buffer, int n);
  // Flushes and closes. A whole-file rewrite becomes visible only here (temporary file renamed over the
  // target). Returns the error code.
  virtual int Close();
  // fgets: at most n-1 bytes up to and including a line feed, terminated; null at the end.
  virtual char* GetLine(char* buffer, int n);
  // One line of at most maxLineLength bytes including its line feed; empty at the end.
  virtual CXString getLine();
  // Writes the text as is (no line feed added); returns the bytes written.
  virtual int putLine(const CXString& text);
  virtual bool eof();

  bool isOpen() const { return fp_ != nullptr || memOpen_; }
  // Opens a real path (no name rules or candidates) for a whole rewrite: the bytes go to a temporary
  // file beside it that replaces it at Close. Refused outside the writable places.
  bool openRewrite(const std::string& native);
  // Drops a rewrite in progress: the temporary file goes, the previous content stays.
  void abandon();
  int getMode() const { return mode_; }
  // The real path that was opened (empty for memory streams).
  const CXString& getFullPath() const { return path_; }
  static std::string buildModeString(int mode);

  // Static helpers.
  static bool chDir(const CXString& path);
  static CXString getCurrentDirectory();
  // Directory enumeration: pattern is a folder and a wildcard ("Dane\\*.cnv"), matched ignoring case.
  // findFirst returns a handle (-1 when nothing matches); findNext returns 0, or -1 at the end.
  static intptr_t findFirst(const CXString& pattern, CFindData& info);
  static int findNext(intptr_t handle, CFindData& info);
  static void findClose(intptr_t handle);
  static bool fileExists(const CXString& path);
  static bool dirExists(const CXString& path);
  // Every local path counts as a fixed disk.
  static bool isHdd(const CXString& path);
  static CXString getLocalPath(const CXString& path);
  static CXString getCDPath(const CXString& path);
  // The real path that opening for reading would use; empty when no candidate exists.
  static CXString getPath(CFileContext* window, const CXString& name);
  // Whether opening the name for reading would succeed: on disk or in the process's archive.
  static bool canRead(CFileContext* window, const CXString& name);
  static int fSeek(FILE* stream, long offset, int origin);
  static long fTell(FILE* stream);
  // Reads a whole file through the name rules (for binary parsers); false when it cannot be read.
  static bool readAll(CFileContext* window, const CXString& name, std::vector<uint8_t>& out);
  // A whole file through the name rules as shared bytes: a file on disk is mapped, an archive entry
  // read; null when it cannot be read.
  static std::shared_ptr<const tarnvik::FileBytes> readShared(CFileContext* window, const CXString& name);
  // Reads an open file whole, from its start (at most 1 GiB); false when it cannot be read.
  static bool readAll(CFile* file, std::vector<uint8_t>& out);
  // Replaces a file whole and atomically (temporary file, then rename) inside the writable places.
  static bool writeFileAtomic(const CXString& name, const void* data, size_t size);
  static bool deleteFile(const CXString& name);
  static bool renameFile(const CXString& from, const CXString& to);

  // The process's archive.
  static bool openBigFile(const CXString& name);
  static void closeBigFile();
  static CFile* getBigFileHandle();
  static CBigFileIfc* getBigFileIfc();
  static void setBigFileIfc(std::unique_ptr<CBigFileIfc> archive);

 protected:
  // Serves reads from memory: a borrowed buffer, or one the file keeps.
  void openMemory(const void* data, size_t size, int mode);
  void openMemory(std::vector<uint8_t> data, int mode);

 private:
  bool openCandidate(const CXString& candidate, const std::string& modeString, bool forWriting);
  bool openNative(const std::string& native, const std::string& modeString, bool wholeRewrite);
  void reset();
  int getByte();
  void ungetByte(int c);
  int getChar();  // getByte with CR LF read as LF in text mode
  size_t readRaw(void* buffer, size_t n);

  FILE* fp_ = nullptr;
  bool memOpen_ = false;
  const uint8_t* mem_ = nullptr;
  size_t memSize_ = 0;
  size_t memPos_ = 0;
  std::vector<uint8_t> owned_;
  int mode_ = 0;
  CXString path_;
  std::string tempPath_;
};

// A read-only file over a caller's buffer (which must outlive it), or over bytes it keeps.
class CFile_Stream : public CFile {
 public:
  CFile_Stream(const void* data, long length, int mode = modeRead | modeBinary);
  CFile_Stream(std::vector<uint8_t> data, int mode = modeRead | modeBinary);
  int Open(CFileContext*, const CXString&, int) override { return getErrorCode(); }
  int Write(const void*, int) override { return 0; }
  int putLine(const CXString&) override { return 0; }
};
