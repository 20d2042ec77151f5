// CFile: opening through the name rules and candidate places, stdio and memory streams, static helpers.
#include "files/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>

#include "files/bigfile.h"
#include "files/file_bytes.h"
#include "files/file_search.h"
#include "files/path.h"
#include "settings/language.h"
#include "foundation/atomic_file.h"
#include "foundation/log.h"

namespace fs = std::filesystem;

namespace {

std::string parentOf(const std::string& native) {
  size_t cut = native.rfind('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? std::string("/") : native.substr(0, cut);
}

bool isRegularFile(const std::string& native) {
  struct stat sb;
  return ::stat(native.c_str(), &sb) == 0 && S_ISREG(sb.st_mode);
}

bool isFolder(const std::string& native) {
  struct stat sb;
  return ::stat(native.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

// The stdio mode for this system: the text flag only matters for reading, which CFile handles itself.
std::string nativeMode(const std::string& mode) {
  std::string m;
  for (char c : mode)
    if (c != 't') m += c;
  if (m.find('b') == std::string::npos) m += 'b';
  return m;
}

struct FindState {
  std::mutex mutex;
  std::map<intptr_t, std::pair<std::vector<CFindData>, size_t>> searches;
  intptr_t next = 1;
};

FindState& findState() {
  static FindState s;
  return s;
}

std::unique_ptr<CBigFileIfc>& archiveSlot() {
  static std::unique_ptr<CBigFileIfc> archive;
  return archive;
}

// The candidate places for a name, in the order they are tried.
std::vector<CXString> candidatesFor(CFileContext* window, const CXString& name) {
  CXString path = CPath::makeAbsolute(CPath::resolveFileName(window, name));
  std::vector<CXString> places;
  if (!window)
    places = {CPath::getLocalPath(path), path};
  else if (CFile::isHdd(path))
    places = {path, CPath::getCDPath(path)};
  else
    places = {CPath::getLocalPath(path), path};
  // A read-only game's own copies, which it wrote into the start directory, come before everything.
  CXString copy = CPath::getLocalCopy(path);
  if (!copy.isEmpty()) places.insert(places.begin(), copy);
  std::vector<CXString> out;
  auto add = [&out](const CXString& c) {
    if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
  };
  CXString folder = window ? window->getLanguageFolder() : CXString();
  for (const CXString& place : places) {
    CXString variant = CPath::languageVariant(place, folder);
    std::string native;
    if (!variant.isEmpty() && CPath::findExisting(variant, native) && isRegularFile(native)) add(variant);
    add(place);
  }
  return out;
}

CXString fullName(const CXString& name) { return CPath::makeAbsolute(CPath::resolveFileName(nullptr, name)); }

// The path a write of `full` goes to: itself, or for a read-only game its local copy, whose folders
// are made here. A file changed in place (`update`) starts as a copy of the game's own.
CXString writeTarget(const CXString& full, bool update) {
  CXString copy = CPath::getLocalCopy(full);
  if (copy.isEmpty()) return full;
  CPath::makeFolders(CXString(parentOf(copy.str())));
  std::string own, existing;
  if (update && !CPath::findExisting(copy, existing) && CPath::findExisting(full, own) && isRegularFile(own)) {
    std::string native;
    std::error_code ec;
    if (CPath::resolveForWrite(copy, native) && CPath::isWritable(CXString(native)))
      fs::copy_file(own, native, ec);
    CPath::refreshFolder(parentOf(native));
  }
  return copy;
}

}  // namespace

namespace tarnvik::files {

std::string gameRelative(const std::string& native) {
  std::string root = CPath::toNative(CPath::getDataRoot());
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (native.size() > root.size() && native.compare(0, root.size(), root) == 0 && native[root.size()] == '/')
    return native.substr(root.size() + 1);
  return native;
}

std::string searchedPlaces(CFileContext* window, const CXString& name) {
  std::vector<std::string> places;
  auto add = [&places](const CXString& path) {
    if (path.isEmpty()) return;
    std::string shown = gameRelative(CPath::toNative(path));
    if (std::find(places.begin(), places.end(), shown) == places.end()) places.push_back(shown);
  };
  CXString folder = window ? window->getLanguageFolder() : CXString();
  for (const CXString& candidate : candidatesFor(window, name)) {
    add(CPath::languageVariant(candidate, folder));
    add(candidate);
  }
  std::string text;
  for (const std::string& place : places) text += (text.empty() ? "" : ", ") + place;
  if (archiveSlot()) text += " (and the archive)";
  return text;
}

}  // namespace tarnvik::files

CXString CFileContext::getLanguageFolder() const {
  return language_ ? language_->getLanguageFolder() : languageFolder_;
}

void CFileContext::setLanguage(CLanguageOSVer* language) {
  language_ = language;
  if (language_) language_->setFileProbe([](const CXString& path) { return CFile::fileExists(path); });
}

CFile::CFile(CFileContext* window, const CXString& name, int mode) { Open(window, name, mode); }

CFile::~CFile() { Close(); }

std::string CFile::buildModeString(int mode) {
  std::string m = (mode & modeRead) ? "r" : "w";
  if (mode & modeUpdate) m += '+';
  if (mode & modeText)
    m += 't';
  else if (mode & modeBinary)
    m += 'b';
  return m;
}

int CFile::Open(CFileContext* window, const CXString& name, int mode) {
  Close();
  reset();
  setErrorCode(0);
  mode_ = mode;
  bool writes = !(mode & modeRead) || (mode & modeUpdate);
  std::string modeString = buildModeString(mode);
  std::vector<CXString> candidates = name.isEmpty() ? std::vector<CXString>() : candidatesFor(window, name);
  // A read-only game writes only into its local copy.
  if (writes && !name.isEmpty() && CPath::isDataRootReadOnly()) {
    CXString full = CPath::makeAbsolute(CPath::resolveFileName(window, name));
    CXString target = writeTarget(full, mode & modeRead);
    if (target != full) candidates = {target};
  }
  for (const CXString& candidate : candidates)
    if (openCandidate(candidate, modeString, writes)) return 0;
  if (!writes && archiveSlot()) {
    for (const CXString& candidate : candidates) {
      std::vector<uint8_t> data;
      if (archiveSlot()->read(candidate, data)) {
        openMemory(std::move(data), mode);
        path_ = candidate;
        return 0;
      }
    }
  }
  setErrorCode(errorNotFound);
  TLOG_DEBUG("cannot open \"" << name.str() << "\" (mode " << mode << "); tried " << [&] {
    std::string list;
    for (const CXString& c : candidates) list += (list.empty() ? "" : ", ") + c.str();
    return list.empty() ? std::string("nothing") : list;
  }());
  return errorNotFound;
}

bool CFile::openRewrite(const std::string& native) {
  Close();
  reset();
  setErrorCode(0);
  mode_ = modeUpdate | modeBinary;
  if (isFolder(native) || !CPath::isWritable(CXString(native)) || !openNative(native, "w+b", true)) {
    setErrorCode(errorNotFound);
    return false;
  }
  return true;
}

void CFile::abandon() {
  if (fp_ && !tempPath_.empty()) {
    std::fclose(fp_);
    fp_ = nullptr;
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
  }
  Close();
}

bool CFile::openCandidate(const CXString& candidate, const std::string& modeString, bool writes) {
  std::string native;
  if (mode_ & modeRead) {
    if (!CPath::findExisting(candidate, native) || !isRegularFile(native)) return false;
    if (writes && !CPath::isWritable(CXString(native))) return false;
    return openNative(native, modeString, false);
  }
  if (!CPath::resolveForWrite(candidate, native) || isFolder(native)) return false;
  if (!CPath::isWritable(CXString(native))) return false;
  return openNative(native, modeString, true);
}

bool CFile::openNative(const std::string& requested, const std::string& modeString, bool wholeRewrite) {
  // A rewrite of a symbolic link rewrites the file it names; a device or a FIFO is written in place.
  tarnvik::OutputTarget target = tarnvik::outputTarget(requested);
  const std::string& native = wholeRewrite ? target.path : requested;
  if (!wholeRewrite || target.inPlace) {
    fp_ = std::fopen(native.c_str(), nativeMode(modeString).c_str());
    if (!fp_) return false;
    path_ = native;
    return true;
  }
  // A rewrite goes to a temporary file beside the target and replaces it at Close, so a crash or a
  // failed write never leaves a half-written file behind.
  std::string folder = parentOf(native);
  std::string temp = folder + "/." + native.substr(folder.size() == 1 ? 1 : folder.size() + 1) + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    TLOG_WARN("cannot create a temporary file beside " << native);
    return false;
  }
  struct stat sb;
  ::fchmod(fd, ::stat(native.c_str(), &sb) == 0 ? (sb.st_mode & 07777) : 0644);
  fp_ = ::fdopen(fd, nativeMode(modeString).c_str());
  if (!fp_) {
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  path_ = native;
  tempPath_ = temp;
  return true;
}

void CFile::reset() {
  memOpen_ = false;
  mem_ = nullptr;
  memSize_ = memPos_ = 0;
  owned_.clear();
  path_ = CXString();
  tempPath_.clear();
}

void CFile::openMemory(const void* data, size_t size, int mode) {
  Close();
  reset();
  setErrorCode(0);
  mode_ = mode;
  mem_ = static_cast<const uint8_t*>(data);
  memSize_ = data ? size : 0;
  memOpen_ = true;
}

void CFile::openMemory(std::vector<uint8_t> data, int mode) {
  Close();
  reset();
  setErrorCode(0);
  mode_ = mode;
  owned_ = std::move(data);
  mem_ = owned_.data();
  memSize_ = owned_.size();
  memOpen_ = true;
}

int CFile::Close() {
  if (fp_) {
    bool writable = !(mode_ & modeRead) || (mode_ & modeUpdate);
    bool ok = std::fflush(fp_) == 0 && !std::ferror(fp_);
    if (!tempPath_.empty() && ok) ok = ::fsync(::fileno(fp_)) == 0;
    if (std::fclose(fp_) != 0) ok = false;
    fp_ = nullptr;
    if (!tempPath_.empty()) {
      if (ok && std::rename(tempPath_.c_str(), path_.c_str()) != 0) ok = false;
      if (!ok) ::unlink(tempPath_.c_str());
      CPath::refreshFolder(parentOf(path_.str()));
      tempPath_.clear();
    }
    if (writable && !ok) {
      setErrorCode(errorWriteFailed);
      TLOG_ERROR("writing " << path_.str() << " failed; the previous content is kept");
    }
  }
  memOpen_ = false;
  return getErrorCode();
}

long CFile::Length() {
  if (memOpen_) return static_cast<long>(memSize_);
  if (!fp_) return -1;
  long here = std::ftell(fp_);
  if (here < 0 || std::fseek(fp_, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(fp_);
  std::fseek(fp_, here, SEEK_SET);
  return end;
}

long CFile::Tell() {
  if (memOpen_) return static_cast<long>(memPos_);
  return fp_ ? std::ftell(fp_) : -1;
}

int CFile::Seek(long offset, int origin) {
  if (memOpen_) {
    long base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? static_cast<long>(memPos_)
                                     : origin == SEEK_END   ? static_cast<long>(memSize_)
                                                            : -1;
    if (base < 0) return -1;
    long size = static_cast<long>(memSize_);
    if (offset < -base || offset > size - base) return -1;
    long target = base + offset;
    memPos_ = static_cast<size_t>(target);
    return 0;
  }
  return fp_ ? std::fseek(fp_, offset, origin) : -1;
}

int CFile::getByte() {
  if (memOpen_) return memPos_ < memSize_ ? mem_[memPos_++] : EOF;
  return fp_ ? std::getc(fp_) : EOF;
}

void CFile::ungetByte(int c) {
  if (c == EOF) return;
  if (memOpen_) {
    if (memPos_ > 0) --memPos_;
  } else if (fp_) {
    std::ungetc(c, fp_);
  }
}

int CFile::getChar() {
  int c = getByte();
  if (c == '\r' && (mode_ & modeText)) {
    int next = getByte();
    if (next == '\n') return '\n';
    ungetByte(next);
  }
  return c;
}

size_t CFile::readRaw(void* buffer, size_t n) {
  if (memOpen_) {
    size_t k = std::min(n, memSize_ - memPos_);
    if (k) std::copy(mem_ + memPos_, mem_ + memPos_ + k, static_cast<uint8_t*>(buffer));
    memPos_ += k;
    return k;
  }
  return fp_ ? std::fread(buffer, 1, n, fp_) : 0;
}

int CFile::Read(void* buffer, int n) {
  if (n < 1 || !buffer || !isOpen()) return 0;
  if (!(mode_ & modeText)) return static_cast<int>(readRaw(buffer, static_cast<size_t>(n)));
  char* out = static_cast<char*>(buffer);
  int got = 0;
  while (got < n) {
    int c = getChar();
    if (c == EOF) break;
    out[got++] = static_cast<char>(c);
  }
  return got;
}

int CFile::Write(const void* buffer, int n) {
  if (n < 1 || !buffer || !fp_) return 0;
  return static_cast<int>(std::fwrite(buffer, 1, static_cast<size_t>(n), fp_));
}

char* CFile::GetLine(char* buffer, int n) {
  if (!buffer || n < 1 || !isOpen()) return nullptr;
  int i = 0;
  bool ended = false;
  while (i < n - 1) {
    int c = getChar();
    if (c == EOF) {
      ended = true;
      break;
    }
    buffer[i++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[i] = '\0';
  return (i == 0 && ended) ? nullptr : buffer;
}

CXString CFile::getLine() {
  std::string line;
  if (!isOpen()) return CXString();
  while (line.size() < static_cast<size_t>(maxLineLength)) {
    int c = getChar();
    if (c == EOF) break;
    line += static_cast<char>(c);
    if (c == '\n') break;
  }
  return CXString(std::move(line));
}

int CFile::putLine(const CXString& text) { return Write(text.c_str(), text.length()); }

bool CFile::eof() {
  if (memOpen_) return memPos_ >= memSize_;
  return fp_ ? std::feof(fp_) != 0 : true;
}

bool CFile::chDir(const CXString& path) {
  std::string native;
  if (!CPath::findExisting(fullName(path), native) || !isFolder(native)) {
    TLOG_WARN("cannot change to folder " << path.str());
    return false;
  }
  CPath::setCurrentDirectory(CXString(native));
  return true;
}

CXString CFile::getCurrentDirectory() { return CPath::getCurrentDirectory(); }

intptr_t CFile::findFirst(const CXString& pattern, CFindData& info) {
  CXString full = fullName(pattern);
  int cut = std::max(full.FindLast('/'), full.FindLast('\\'));
  CXString folder = cut >= 0 ? full.Left(cut + 1) : CPath::getCurrentDirectory();
  std::string wildcard = full.Right(cut + 1).str();
  std::string native;
  bool local = CPath::findExisting(folder, native) && isFolder(native);
  std::vector<CFindData> found;
  std::error_code ec;
  if (!local) native.clear();
  for (fs::directory_iterator it(native, ec), end; local && !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!CPath::wildcardFits(name, wildcard)) continue;
    CFindData d;
    d.name = CXString(name);
    std::error_code e2;
    d.isDirectory = it->is_directory(e2);
    d.size = d.isDirectory ? 0 : static_cast<int64_t>(it->file_size(e2));
    if (e2) d.size = 0;
    found.push_back(std::move(d));
  }
  if (archiveSlot()) {
    // Entries of the open archive that the folder does not hold itself.
    std::vector<CFindData> packed;
    archiveSlot()->list(folder, wildcard, packed);
    for (CFindData& d : packed)
      if (std::none_of(found.begin(), found.end(), [&](const CFindData& f) { return f.name.equalsIgnoreCase(d.name); }))
        found.push_back(std::move(d));
  }
  if (found.empty()) return -1;
  std::sort(found.begin(), found.end(), [](const CFindData& a, const CFindData& b) { return a.name.str() < b.name.str(); });
  info = found.front();
  FindState& fsState = findState();
  std::lock_guard<std::mutex> lock(fsState.mutex);
  intptr_t handle = fsState.next++;
  fsState.searches[handle] = {std::move(found), 1};
  return handle;
}

int CFile::findNext(intptr_t handle, CFindData& info) {
  FindState& fsState = findState();
  std::lock_guard<std::mutex> lock(fsState.mutex);
  auto it = fsState.searches.find(handle);
  if (it == fsState.searches.end() || it->second.second >= it->second.first.size()) return -1;
  info = it->second.first[it->second.second++];
  return 0;
}

void CFile::findClose(intptr_t handle) {
  FindState& fsState = findState();
  std::lock_guard<std::mutex> lock(fsState.mutex);
  fsState.searches.erase(handle);
}

bool CFile::fileExists(const CXString& path) {
  CXString full = fullName(path), copy = CPath::getLocalCopy(full);
  if (archiveSlot() && archiveSlot()->exists(full)) return true;
  std::string native;
  if (!copy.isEmpty() && CPath::findExisting(copy, native) && isRegularFile(native)) return true;
  return CPath::findExisting(full, native) && isRegularFile(native);
}

bool CFile::dirExists(const CXString& path) {
  std::string native;
  CXString full = fullName(path);
  if (CPath::findExisting(full, native) && isFolder(native)) return true;
  return archiveSlot() && archiveSlot()->existsFolder(full);
}

bool CFile::isHdd(const CXString&) { return true; }

CXString CFile::getLocalPath(const CXString& path) { return CPath::getLocalPath(path); }

CXString CFile::getCDPath(const CXString& path) { return CPath::getCDPath(path); }

CXString CFile::getPath(CFileContext* window, const CXString& name) {
  if (name.isEmpty()) return CXString();
  for (const CXString& candidate : candidatesFor(window, name)) {
    std::string native;
    if (CPath::findExisting(candidate, native) && isRegularFile(native)) return CXString(native);
  }
  TLOG_DEBUG("no file for \"" << name.str() << "\"");
  return CXString();
}

bool CFile::canRead(CFileContext* window, const CXString& name) {
  if (name.isEmpty()) return false;
  if (!getPath(window, name).isEmpty()) return true;
  if (!archiveSlot()) return false;
  for (const CXString& candidate : candidatesFor(window, name))
    if (archiveSlot()->exists(candidate)) return true;
  return false;
}

int CFile::fSeek(FILE* stream, long offset, int origin) { return stream ? std::fseek(stream, offset, origin) : -1; }

long CFile::fTell(FILE* stream) { return stream ? std::ftell(stream) : -1; }

bool CFile::readAll(CFileContext* window, const CXString& name, std::vector<uint8_t>& out) {
  out.clear();
  CFile file(window, name, modeRead | modeBinary);
  if (file.getErrorCode() != 0) return false;
  return readAll(&file, out);
}

std::shared_ptr<const tarnvik::FileBytes> CBigFileIfc::readShared(const CXString& path) {
  std::vector<uint8_t> bytes;
  return read(path, bytes) ? tarnvik::FileBytes::hold(std::move(bytes)) : nullptr;
}

// The places Open would try for reading, in its order: the file system, then the archive.
std::shared_ptr<const tarnvik::FileBytes> CFile::readShared(CFileContext* window, const CXString& name) {
  if (name.isEmpty()) return nullptr;
  const std::vector<CXString> candidates = candidatesFor(window, name);
  CFile file;
  file.mode_ = modeRead | modeBinary;
  for (const CXString& candidate : candidates) {
    if (!file.openCandidate(candidate, buildModeString(file.mode_), false)) continue;
    if (auto mapped = tarnvik::FileBytes::map(file.getFullPath().str())) return mapped;
    std::vector<uint8_t> bytes;
    return readAll(&file, bytes) ? tarnvik::FileBytes::hold(std::move(bytes)) : nullptr;
  }
  if (archiveSlot())
    for (const CXString& candidate : candidates)
      if (auto entry = archiveSlot()->readShared(candidate)) return entry;
  return nullptr;
}

bool CFile::readAll(CFile* file, std::vector<uint8_t>& out) {
  out.clear();
  if (!file || !file->isOpen()) return false;
  long length = file->Length();
  if (length < 0 || length > (1L << 30)) return false;
  file->Seek(0, SEEK_SET);
  out.resize(static_cast<size_t>(length));
  size_t done = 0;
  while (done < out.size()) {
    int chunk = static_cast<int>(std::min<size_t>(out.size() - done, 1 << 30));
    int got = file->Read(out.data() + done, chunk);
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  out.resize(done);
  return done == static_cast<size_t>(length);
}

bool CFile::writeFileAtomic(const CXString& name, const void* data, size_t size) {
  std::string native;
  if (!CPath::resolveForWrite(writeTarget(fullName(name), false), native) || isFolder(native)) {
    TLOG_WARN("cannot write " << name.str() << ": its folder does not exist");
    return false;
  }
  if (!CPath::isWritable(CXString(native))) return false;
  CFile file;
  file.mode_ = modeBinary;
  if (!file.openNative(native, "wb", true)) return false;
  size_t done = 0;
  const char* bytes = static_cast<const char*>(data);
  while (done < size) {
    int chunk = static_cast<int>(std::min<size_t>(size - done, 1 << 30));
    int wrote = file.Write(bytes + done, chunk);
    if (wrote != chunk) {
      // Drop the temporary file: the old content stays.
      std::fclose(file.fp_);
      file.fp_ = nullptr;
      ::unlink(file.tempPath_.c_str());
      TLOG_ERROR("writing " << native << " failed; the previous content is kept");
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return file.Close() == 0;
}

bool CFile::deleteFile(const CXString& name) {
  std::string native;
  // A read-only game can delete only its local copy.
  CXString full = fullName(name), copy = CPath::getLocalCopy(full);
  if (!CPath::findExisting(copy.isEmpty() ? full : copy, native) || !isRegularFile(native)) return false;
  if (!CPath::isWritable(CXString(native))) return false;
  bool ok = ::unlink(native.c_str()) == 0;
  CPath::refreshFolder(parentOf(native));
  return ok;
}

bool CFile::renameFile(const CXString& from, const CXString& to) {
  std::string source, target;
  CXString full = fullName(from), copy = CPath::getLocalCopy(full);
  if (!CPath::findExisting(copy.isEmpty() ? full : copy, source) ||
      !CPath::resolveForWrite(writeTarget(fullName(to), false), target))
    return false;
  if (!CPath::isWritable(CXString(source)) || !CPath::isWritable(CXString(target))) return false;
  bool ok = std::rename(source.c_str(), target.c_str()) == 0;
  CPath::refreshFolder(parentOf(source));
  CPath::refreshFolder(parentOf(target));
  return ok;
}

bool CFile::openBigFile(const CXString& name) {
  auto archive = std::make_unique<CBigFile>();
  if (!archive->open(name)) {
    archiveSlot().reset();
    return false;
  }
  TLOG_INFO("archive " << name.view() << ": " << archive->files().size() << " files");
  archiveSlot() = std::move(archive);
  return true;
}

void CFile::closeBigFile() { archiveSlot().reset(); }

CFile* CFile::getBigFileHandle() {
  auto* archive = dynamic_cast<CBigFile*>(archiveSlot().get());
  return archive ? archive->getHandle() : nullptr;
}

CBigFileIfc* CFile::getBigFileIfc() { return archiveSlot().get(); }

void CFile::setBigFileIfc(std::unique_ptr<CBigFileIfc> archive) { archiveSlot() = std::move(archive); }

CFile_Stream::CFile_Stream(const void* data, long length, int mode) {
  openMemory(data, length > 0 ? static_cast<size_t>(length) : 0, mode | modeRead);
}

CFile_Stream::CFile_Stream(std::vector<uint8_t> data, int mode) { openMemory(std::move(data), mode | modeRead); }
