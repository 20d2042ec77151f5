// Walking folders, listing files and creating folders.
#include "files/folder.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/path.h"
#include "foundation/log.h"

namespace fs = std::filesystem;

CFolder::CFolder(CFileContext* window, const CXString& path) {
  CXString full = CPath::makeAbsolute(CPath::resolveFileName(window, path));
  std::string native;
  std::error_code ec;
  valid_ = CPath::findExisting(full, native) && fs::is_directory(native, ec);
  if (!valid_) {
    TLOG_DEBUG("folder " << path.str() << " does not exist");
    native = CPath::toNative(full);
  }
  root_ = current_ = native;
}

std::vector<std::string> CFolder::entries(bool folders) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(current_, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (it->is_directory(e2) == folders) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void CFolder::GoStart() {
  current_ = root_;
  history_.clear();
  files_.clear();
  nextFile_ = 0;
}

bool CFolder::GoUp() {
  if (current_ == root_) return false;
  history_.push_back(current_);
  size_t cut = current_.rfind('/');
  current_ = cut == 0 ? std::string("/") : current_.substr(0, cut);
  files_.clear();
  return true;
}

bool CFolder::GoTo(int index) {
  std::vector<std::string> folders = entries(true);
  if (index < 0 || index >= static_cast<int>(folders.size())) return false;
  history_.push_back(current_);
  current_ = current_ == "/" ? "/" + folders[index] : current_ + "/" + folders[index];
  files_.clear();
  return true;
}

bool CFolder::back() {
  if (history_.empty()) return false;
  current_ = history_.back();
  history_.pop_back();
  files_.clear();
  return true;
}

CXString CFolder::GetFolderName() const {
  size_t cut = current_.rfind('/');
  return CXString(cut == std::string::npos ? current_ : current_.substr(cut + 1));
}

CXString CFolder::GetFolderName(int index) const {
  std::vector<std::string> folders = entries(true);
  if (index < 0 || index >= static_cast<int>(folders.size())) return CXString();
  return CXString(folders[index]);
}

int CFolder::GetFolderCount() const { return static_cast<int>(entries(true).size()); }

CXString CFolder::GetFileName() {
  files_ = entries(false);
  nextFile_ = 0;
  return GetNextFileName();
}

CXString CFolder::GetNextFileName() {
  if (nextFile_ >= files_.size()) return CXString();
  return CXString(files_[nextFile_++]);
}

CXArray* CFolder::list(const CXString& filter) const {
  auto* names = new CXArray();
  for (const std::string& name : entries(false))
    if (CPath::wildcardFits(name, filter.str())) names->add(new CXString(name));
  return names;
}

void CFolder::releaseFilesList(CXArray* files) { CXString::releaseToVector(files); }

CXString CFolder::under(const CXString& path) const {
  return CPath::isAbsolute(path) ? path : CPath::join(CXString(current_), path);
}

bool CFolder::IsDirectory(const CXString& path) const {
  std::string native;
  std::error_code ec;
  return CPath::findExisting(under(path), native) && fs::is_directory(native, ec);
}

int64_t CFolder::GetSize(const CXString& path) const {
  std::string native;
  struct stat sb;
  if (!CPath::findExisting(under(path), native) || ::stat(native.c_str(), &sb) != 0 || !S_ISREG(sb.st_mode))
    return -1;
  return static_cast<int64_t>(sb.st_size);
}

bool CFolder::createFolder(const CXString& name) {
  std::string native;
  if (!CPath::resolveForWrite(under(name), native)) return false;
  std::error_code ec;
  if (fs::is_directory(native, ec)) return true;
  if (!CPath::isWritable(CXString(native))) return false;
  bool made = fs::create_directory(native, ec);
  size_t cut = native.rfind('/');
  CPath::refreshFolder(cut == 0 ? std::string("/") : native.substr(0, cut));
  if (!made) TLOG_WARN("cannot create folder " << native);
  return made;
}
