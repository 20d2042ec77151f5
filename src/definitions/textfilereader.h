// CTextFileReader: a whole text file (or a caller's buffer) in memory, handed out as physical lines.
#pragma once

#include <string>
#include <string_view>

#include "foundation/xobject.h"
#include "foundation/xstring.h"

class CFileContext;

class CTextFileReader : public CXObject {
 public:
  // Reads the whole file in text mode; the error code is non-zero when it could not be read.
  CTextFileReader(CFileContext* window, const CXString& fileName);
  // Reads the caller's bytes in place; the buffer must outlive the reader and is not owned.
  CTextFileReader(const char* buffer, int length);
  // Takes the bytes (owned copy).
  explicit CTextFileReader(std::string bytes);
  CTextFileReader(const CTextFileReader&) = delete;
  CTextFileReader& operator=(const CTextFileReader&) = delete;

  // The next physical line without its line feed (nor a carriage return right before it); the
  // last line is returned whole even when the file does not end with a line feed. Empty at the end.
  CXString getLine();
  bool eof() const { return position_ >= data_.size(); }
  void reset() { position_ = 0; }

  int getLength() const { return static_cast<int>(data_.size()); }
  int getPosition() const { return static_cast<int>(position_); }
  std::string_view getBuffer() const { return data_; }
  bool isOwned() const { return owned_; }
  const CXString& getFileName() const { return fileName_; }

 private:
  CXString fileName_;
  std::string storage_;
  std::string_view data_;
  size_t position_ = 0;
  bool owned_ = false;
  bool foldCr_ = false;  // buffers were not read in text mode
};
