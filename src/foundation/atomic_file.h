// Writing a file whole: a regular file is replaced through a synced temporary file renamed over it, so
// a reader (or a crash) finds the old content or the new one, never a part; anything else (a device,
// a FIFO, a terminal or pipe behind /dev/stdout) is written in place.
#pragma once

#include <cstddef>
#include <string>

namespace tarnvik {

// Where a whole-file write of `path` goes. Symbolic links are followed to the file they name (also a
// dangling one), so the link stays a link. `inPlace`: the path names something other than a regular
// file, or an open file of the process (/dev/stdout, /dev/fd/N, /proc/...), and is opened and written
// as it is: no temporary, no rename, a regular file behind it appended to.
struct OutputTarget {
  std::string path;
  bool inPlace = false;
};
OutputTarget outputTarget(const std::string& path);

// `mode` is a new file's permission bits; the process's umask applies to them unless `exactMode`.
// On failure a replaced file is left as it was, the temporary file is removed, and `error` says
// "cannot create a temporary file beside PATH: ..." or "cannot write PATH: ..." (a device that is
// full, a FIFO whose reader left).
bool replaceFileAtomically(const std::string& path, const void* data, size_t size, unsigned mode, bool exactMode,
                           std::string& error);

}  // namespace tarnvik
