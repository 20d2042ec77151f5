// Whole-file writes: the output target, the atomic replacement, the write in place.
#include "foundation/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tarnvik {

namespace {

bool writeAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The names of a process's open files (/dev/stdout, /dev/fd/N, /proc/self/fd/N): written in place
// whatever they lead to, since replacing one would cut the output from what the descriptor reaches.
bool namesOpenFile(const std::string& path) {
  return path.rfind("/dev/std", 0) == 0 || path.rfind("/dev/fd/", 0) == 0 || path.rfind("/proc/", 0) == 0;
}

// Follows a chain of symbolic links by hand, for a link whose end does not exist yet.
std::string followLinks(std::string path) {
  for (int depth = 0; depth < 40; ++depth) {
    char target[PATH_MAX];
    ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n < 0) break;
    std::string next(target, static_cast<size_t>(n));
    if (next.empty() || next[0] != '/') {
      size_t slash = path.rfind('/');
      next = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + next;
    }
    path = next;
  }
  return path;
}

bool writeInPlace(const std::string& path, const void* data, size_t size, std::string& error) {
  // O_APPEND: a regular file reached this way is a shell's redirection behind /dev/stdout, written on
  // after what the program printed there; devices and FIFOs ignore the flag.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = writeAll(fd, static_cast<const char*>(data), size);
  int savedErrno = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) error = "cannot write " + path + ": " + std::strerror(savedErrno);
  return ok;
}

}  // namespace

OutputTarget outputTarget(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) || namesOpenFile(path)) return {path, true};
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return {path, false};
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {path, true};
    std::string resolved(real);
    std::free(real);
    return {resolved, namesOpenFile(resolved)};
  }
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) return {followLinks(path), false};
  return {path, false};
}

bool replaceFileAtomically(const std::string& requested, const void* data, size_t size, unsigned mode, bool exactMode,
                           std::string& error) {
  OutputTarget target = outputTarget(requested);
  if (target.inPlace) return writeInPlace(target.path, data, size, error);
  const std::string& path = target.path;
  // A name of this process's own, made anew until it is free: two writers never share a temporary file.
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = "cannot create a temporary file beside " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = writeAll(fd, static_cast<const char*>(data), size);
  if (ok && exactMode) ok = ::fchmod(fd, static_cast<mode_t>(mode)) == 0;
  if (ok) ok = ::fsync(fd) == 0;
  int savedErrno = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    error = "cannot write " + path + ": " + std::strerror(savedErrno);
    return false;
  }
  return true;
}

}  // namespace tarnvik
