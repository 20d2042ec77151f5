// Name rules, process roots, the cached case-insensitive lookup and the writable places.
#include "files/path.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "foundation/cp1250.h"
#include "foundation/log.h"

namespace fs = std::filesystem;

namespace {

bool isSep(char c) { return c == '/' || c == '\\'; }

char foldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string processDirectory() {
  std::error_code ec;
  fs::path p = fs::current_path(ec);
  return ec ? std::string("/") : p.string();
}

// One folder's entries: exact names, and the first name (in byte order) of every case-folded spelling.
struct Listing {
  std::unordered_set<std::string> exact;
  std::unordered_map<std::string, std::string> folded;
};

struct State {
  std::mutex mutex;
  std::optional<std::string> startDir;
  std::optional<std::string> dataRoot;
  std::optional<std::string> currentDir;
  std::unordered_map<std::string, Listing> cache;
  std::vector<std::string> writable;  // canonical folders
  bool dataRootReadOnly = false;
};

State& state() {
  static State s;
  return s;
}

std::string& rootOrDefault(std::optional<std::string>& root) {
  if (!root) root = processDirectory();
  return *root;
}

// Reads a folder into the cache; null when it is not a readable folder. Caller holds the mutex.
const Listing* listingOf(State& st, const std::string& dir) {
  auto it = st.cache.find(dir);
  if (it != st.cache.end()) return &it->second;
  std::error_code ec;
  fs::directory_iterator iter(dir, ec);
  if (ec) return nullptr;
  std::vector<std::string> names;
  for (; iter != fs::directory_iterator(); iter.increment(ec)) {
    if (ec) break;
    names.push_back(iter->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  Listing listing;
  for (const std::string& n : names) {
    listing.exact.insert(n);
    listing.folded.emplace(tarnvik::cp1250::diskKey(n), n);
  }
  return &st.cache.emplace(dir, std::move(listing)).first->second;
}

std::string childOf(const std::string& dir, const std::string& name) {
  return dir == "/" ? "/" + name : dir + "/" + name;
}

// The real name of `name` inside `dir`, ignoring case; exact case first. A name missing from a cached
// listing is checked on disk, so files made by other programs are still found.
bool lookupEntry(State& st, const std::string& dir, const std::string& name, std::string& real) {
  const Listing* l = listingOf(st, dir);
  if (!l) return false;
  if (l->exact.count(name)) {
    real = name;
    return true;
  }
  // Without letter case, for every letter of the code page: the requested name as a definition file
  // writes it (Windows-1250), else as UTF-8; disk names as UTF-8, or as Windows-1250 bytes.
  for (const std::string& key : tarnvik::cp1250::requestKeys(name)) {
    auto f = l->folded.find(key);
    if (f != l->folded.end()) {
      real = f->second;
      return true;
    }
  }
  struct stat sb;
  if (::lstat(childOf(dir, name).c_str(), &sb) != 0) return false;
  st.cache.erase(dir);
  real = name;
  return true;
}

std::vector<std::string> components(const std::string& native) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < native.size()) {
    size_t j = native.find('/', i);
    if (j == std::string::npos) j = native.size();
    if (j > i) parts.push_back(native.substr(i, j - i));
    i = j + 1;
  }
  return parts;
}

// Walks the first `count` components through the cache; `out` gets the real path.
bool walk(State& st, const std::vector<std::string>& parts, size_t count, std::string& out) {
  std::string cur = "/";
  for (size_t i = 0; i < count; ++i) {
    std::string real;
    if (!lookupEntry(st, cur, parts[i], real)) return false;
    cur = childOf(cur, real);
  }
  out = cur;
  return true;
}

bool isInside(const std::string& path, const std::string& root) {
  if (root == "/") return true;
  return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                          path[root.size()] == '/');
}

// Position of `marker` as a whole path component, or -1.
int findComponent(const std::string& path, const std::string& marker) {
  size_t from = 0;
  while (true) {
    size_t i = path.find(marker, from);
    if (i == std::string::npos) return -1;
    bool startOk = i == 0 || isSep(path[i - 1]);
    size_t end = i + marker.size();
    bool endOk = end == path.size() || isSep(path[end]);
    if (startOk && endOk) return static_cast<int>(i);
    from = i + 1;
  }
}

CXString markerForm(const CXString& path, const std::string& root) {
  const std::string& p = path.str();
  int at = findComponent(p, "Dane");
  if (at < 0) at = findComponent(p, "COMMON");
  if (at < 0) {
    std::string upper = p;
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    at = findComponent(upper, "WAVS");
  }
  if (at < 0) return path;
  return CPath::join(CXString(root), CXString(p.substr(static_cast<size_t>(at))));
}

}  // namespace

void CPath::setStartDirectory(const CXString& dir) {
  std::string native = toNative(makeAbsolute(dir));
  std::lock_guard<std::mutex> lock(state().mutex);
  state().startDir = native;
}

CXString CPath::getStartDirectory() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return CXString(rootOrDefault(state().startDir));
}

void CPath::setDataRoot(const CXString& dir) {
  std::string native = toNative(makeAbsolute(dir));
  std::lock_guard<std::mutex> lock(state().mutex);
  state().dataRoot = native;
}

CXString CPath::getDataRoot() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return CXString(rootOrDefault(state().dataRoot));
}

void CPath::setCurrentDirectory(const CXString& dir) {
  std::string native = toNative(makeAbsolute(dir));
  std::lock_guard<std::mutex> lock(state().mutex);
  state().currentDir = native;
}

CXString CPath::getCurrentDirectory() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return CXString(rootOrDefault(state().currentDir));
}

namespace {

CXString resolveWithRoot(const CXString& name, const CXString& root) {
  if (name.isEmpty()) return name;
  char first = name.GetAt(0);
  if (first == '$' || first == '&') return CPath::join(root, name.Right(1));
  int q = name.Find('?');
  if (q >= 0) return CPath::getFullPath(CPath::getCurrentDirectory(), name.Left(q), name.Right(q + 1));
  return name;
}

}  // namespace

CXString CPath::resolveFileName(const CFileContext*, const CXString& name) {
  return resolveWithRoot(name, getDataRoot());
}

CXString CPath::resolveFileNameEx(const CFileContext*, const CXString& name) {
  return resolveWithRoot(name, getStartDirectory());
}

CXString CPath::getFullPath(const CXString& a, const CXString& b, const CXString& c) {
  CXString path = b.isEmpty() ? a : join(a, b);
  return join(path, c);
}

CXString CPath::join(const CXString& a, const CXString& b) {
  if (a.isEmpty()) return b;
  if (b.isEmpty()) return a;
  std::string left = a.str();
  size_t start = 0;
  while (start < b.str().size() && isSep(b.str()[start])) ++start;
  if (!isSep(left.back())) left += '/';
  return CXString(left + b.str().substr(start));
}

bool CPath::isAbsolute(const CXString& path) {
  return (!path.isEmpty() && isSep(path.GetAt(0))) || path.GetAt(1) == ':';
}

CXString CPath::makeAbsolute(const CXString& name) {
  if (isAbsolute(name)) return name;
  return join(getCurrentDirectory(), name);
}

void CPath::setDataRootReadOnly(bool readOnly) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().dataRootReadOnly = readOnly;
}

bool CPath::isDataRootReadOnly() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().dataRootReadOnly;
}

CXString CPath::getLocalCopy(const CXString& path) {
  std::string root, start;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    if (!state().dataRootReadOnly) return CXString();
    root = rootOrDefault(state().dataRoot);
    start = rootOrDefault(state().startDir);
  }
  std::string native = toNative(makeAbsolute(path));
  if (root == start || native == root || !isInside(native, root)) return CXString();
  return join(CXString(start), CXString(native.substr(root == "/" ? 1 : root.size() + 1)));
}

bool CPath::makeFolders(const CXString& folder) {
  std::string native;
  std::error_code ec;
  if (findExisting(folder, native)) return fs::is_directory(native, ec);
  // The deepest folder that exists (found ignoring case) keeps its spelling; the rest is created.
  std::string wanted = toNative(makeAbsolute(folder));
  std::string base = "/";
  size_t rest = 1;
  for (size_t at = wanted.find('/', 1); at != std::string::npos; at = wanted.find('/', at + 1)) {
    std::string found;
    if (!findExisting(CXString(wanted.substr(0, at)), found)) break;
    base = found;
    rest = at + 1;
  }
  std::string target = join(CXString(base), CXString(wanted.substr(rest))).str();
  if (!isWritable(CXString(target))) return false;
  fs::create_directories(target, ec);
  // The listings of the folders that gained an entry are stale now.
  refreshFolder(base);
  for (size_t at = target.find('/', base.size() + 1); at != std::string::npos; at = target.find('/', at + 1))
    refreshFolder(target.substr(0, at));
  if (ec) TLOG_WARN("cannot create folder " << target << ": " << ec.message());
  return !ec;
}

CXString CPath::getLocalPath(const CXString& path) { return markerForm(path, getStartDirectory().str()); }

CXString CPath::getCDPath(const CXString& path) { return markerForm(path, getDataRoot().str()); }

CXString CPath::languageVariant(const CXString& path, const CXString& folder) {
  if (folder.isEmpty() || path.isEmpty()) return CXString();
  int cut = std::max(path.FindLast('\\'), path.FindLast('/'));
  if (cut < 0) return folder + "/" + path;
  return path.Left(cut + 1) + folder + "/" + path.Right(cut + 1);
}

std::string CPath::toNative(const CXString& path) {
  std::string p = path.str();
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.size() >= 2 && p[1] == ':') p = p.size() == 2 ? "/" : p.substr(2);
  bool absolute = !p.empty() && p[0] == '/';
  std::vector<std::string> out;
  for (const std::string& part : components(p)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!out.empty() && out.back() != "..")
        out.pop_back();
      else if (!absolute)
        out.push_back(part);
      continue;
    }
    out.push_back(part);
  }
  std::string result = absolute ? "/" : "";
  for (size_t i = 0; i < out.size(); ++i) {
    if (i) result += '/';
    result += out[i];
  }
  return result.empty() ? std::string(".") : result;
}

bool CPath::findExisting(const CXString& path, std::string& native) {
  if (path.isEmpty()) return false;
  std::vector<std::string> parts = components(toNative(makeAbsolute(path)));
  State& st = state();
  std::lock_guard<std::mutex> lock(st.mutex);
  return walk(st, parts, parts.size(), native);
}

bool CPath::resolveForWrite(const CXString& path, std::string& native) {
  if (path.isEmpty()) return false;
  std::vector<std::string> parts = components(toNative(makeAbsolute(path)));
  if (parts.empty()) return false;
  State& st = state();
  std::lock_guard<std::mutex> lock(st.mutex);
  std::string folder;
  if (!walk(st, parts, parts.size() - 1, folder)) return false;
  std::string real;
  if (!lookupEntry(st, folder, parts.back(), real)) real = parts.back();
  native = childOf(folder, real);
  return true;
}

void CPath::refreshFolder(const std::string& nativeFolder) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().cache.erase(nativeFolder.empty() ? std::string("/") : nativeFolder);
}

void CPath::clearCache() {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().cache.clear();
}

void CPath::addWritablePlace(const CXString& dir) {
  std::string native;
  if (!findExisting(dir, native)) native = toNative(makeAbsolute(dir));
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(native, ec);
  std::string root = ec ? native : canonical.string();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  std::lock_guard<std::mutex> lock(state().mutex);
  state().writable.push_back(root);
}

void CPath::clearWritablePlaces() {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().writable.clear();
}

bool CPath::hasWritablePlaces() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return !state().writable.empty();
}

bool CPath::isWritable(const CXString& path) {
  std::vector<std::string> roots;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    roots = state().writable;
  }
  if (roots.empty()) return true;
  CXString absolute = makeAbsolute(resolveFileName(nullptr, path));
  std::string native;
  if (!resolveForWrite(absolute, native)) native = toNative(absolute);
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(native, ec);
  if (ec) {
    TLOG_WARN("write refused: cannot check the path " << path.str());
    return false;
  }
  std::string target = canonical.string();
  for (const std::string& root : roots)
    if (isInside(target, root)) return true;
  TLOG_WARN("write refused: " << path.str() << " (" << target << ") is outside the game's writable places");
  return false;
}

bool CPath::wildcardFits(const std::string& name, const std::string& pattern) {
  if (pattern.empty() || pattern == "*.*" || pattern == "*") return true;
  size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || foldChar(pattern[p]) == foldChar(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}
