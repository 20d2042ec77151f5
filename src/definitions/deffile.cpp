// Whole-file reads and writes for definition files and their side files.
#include "definitions/deffile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "foundation/log.h"

namespace tarnvik::definitions {

namespace {
constexpr int kFileNotFound = 2000;

void collapseCrLf(std::string& bytes) {
  size_t out = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    bytes[out++] = bytes[i];
  }
  bytes.resize(out);
}
}  // namespace

int readTextFile(CWindow*, const CXString& fileName, std::string& out) {
  out.clear();
  std::error_code ec;
  std::filesystem::path path(fileName.str());
  if (fileName.isEmpty() || std::filesystem::is_directory(path, ec)) {
    TLOG_DEBUG("definitions: cannot open '" << fileName.str() << "'");
    return kFileNotFound;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    TLOG_DEBUG("definitions: cannot open '" << fileName.str() << "'");
    return kFileNotFound;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    TLOG_WARN("definitions: read error in '" << fileName.str() << "'");
    out.clear();
    return kFileNotFound;
  }
  collapseCrLf(out);
  return 0;
}

bool writeTextFile(CWindow*, const CXString& fileName, const std::string& bytes) {
  std::filesystem::path path(fileName.str());
  std::filesystem::path temp = path;
  temp += ".tmp";
  {
    std::ofstream outFile(temp, std::ios::binary | std::ios::trunc);
    if (!outFile) {
      TLOG_WARN("definitions: cannot create '" << temp.string() << "'");
      return false;
    }
    outFile.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    outFile.flush();
    if (!outFile) {
      TLOG_WARN("definitions: cannot write '" << temp.string() << "'");
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    TLOG_WARN("definitions: cannot replace '" << fileName.str() << "': " << ec.message());
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

}  // namespace tarnvik::definitions
