// CTextFileReader: a whole text file (or a caller's buffer) in memory, handed out as physical lines.
#include "definitions/textfilereader.h"

#include "definitions/deffile.h"

CTextFileReader::CTextFileReader(CFileContext* window, const CXString& fileName) : fileName_(fileName), owned_(true) {
  setErrorCode(tarnvik::definitions::readTextFile(window, fileName, storage_));
  data_ = storage_;
}

CTextFileReader::CTextFileReader(const char* buffer, int length) : owned_(false), foldCr_(true) {
  if (buffer && length > 0) data_ = std::string_view(buffer, static_cast<size_t>(length));
}

CTextFileReader::CTextFileReader(std::string bytes) : storage_(std::move(bytes)), owned_(true), foldCr_(true) {
  data_ = storage_;
}

CXString CTextFileReader::getLine() {
  if (position_ >= data_.size()) return CXString();
  size_t end = data_.find('\n', position_);
  size_t next;
  if (end == std::string_view::npos) {
    end = data_.size();
    next = end;
  } else {
    next = end + 1;
    // Text mode would have folded a CR LF pair; do the same for buffers read in place.
    if (foldCr_ && end > position_ && data_[end - 1] == '\r') --end;
  }
  CXString line(std::string_view(data_.data() + position_, end - position_));
  position_ = next;
  return line;
}
