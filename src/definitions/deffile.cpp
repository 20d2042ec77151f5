// Whole-file reads and writes for definition files and their side files.
#include "definitions/deffile.h"

#include <cstdint>
#include <vector>

#include "files/file.h"
#include "files/file_search.h"
#include "files/path.h"
#include "foundation/log.h"

namespace tarnvik::definitions {

int readTextFile(CFileContext* window, const CXString& fileName, std::string& out) {
  out.clear();
  std::vector<uint8_t> bytes;
  if (fileName.isEmpty() || !CFile::readAll(window, fileName, bytes)) {
    TLOG_DEBUG("definitions: cannot open '" << fileName.str() << "'");
    return CFile::errorNotFound;
  }
  // Text mode: carriage-return/line-feed pairs read as line feeds.
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    out += static_cast<char>(bytes[i]);
  }
  return 0;
}

bool writeTextFile(CFileContext*, const CXString& fileName, const std::string& bytes) {
  if (!CFile::writeFileAtomic(fileName, bytes.data(), bytes.size())) {
    TLOG_WARN("definitions: cannot write '" << fileName.str() << "'");
    return false;
  }
  return true;
}

std::string sourceName(CFileContext* window, const CXString& fileName) {
  CXString resolved = CPath::resolveFileName(window, fileName);
  std::string native;
  if (!CPath::findExisting(resolved, native)) native = CPath::toNative(CPath::makeAbsolute(resolved));
  return tarnvik::files::gameRelative(native);
}

}  // namespace tarnvik::definitions
