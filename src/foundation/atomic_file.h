// Replacing a file whole: the bytes go to a new temporary file beside it, which is synced and then
// renamed over it, so a reader (or a crash) finds the old content or the new one, never a part.
#pragma once

#include <cstddef>
#include <string>

namespace tarnvik {

// `mode` is the new file's permission bits; the process's umask applies to them unless `exactMode`.
// On failure the old file is left as it was, the temporary file is removed, and `error` says
// "cannot create a temporary file beside PATH: ..." or "cannot write PATH: ...".
bool replaceFileAtomically(const std::string& path, const void* data, size_t size, unsigned mode, bool exactMode,
                           std::string& error);

}  // namespace tarnvik
