// Reading and writing the files of the data objects through the file layer.
#include "objects/data/data_files.h"

#include "files/file.h"
#include "files/path.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "runtime/objects_container.h"

namespace tarnvik::datafiles {

bool readFile(CMC_ObjectsContainer* scope, const CXString& name, size_t maxBytes, std::vector<uint8_t>& out,
              const CXString& who) {
  out.clear();
  if (name.isEmpty()) {
    TLOG_WARN(who.view() << ": no file name");
    return false;
  }
  CFile file(CMC_Object::windowOf(scope), name, CFile::modeRead | CFile::modeBinary);
  if (file.getErrorCode() != 0) {
    TLOG_WARN(who.view() << ": cannot open " << name.view());
    return false;
  }
  long length = file.Length();
  if (length < 0) {
    TLOG_WARN(who.view() << ": cannot read " << name.view());
    return false;
  }
  if (static_cast<unsigned long>(length) > maxBytes) {
    TLOG_WARN(who.view() << ": " << name.view() << " has " << length << " bytes, more than the " << maxBytes
                         << " this object reads; not loaded");
    return false;
  }
  out.resize(static_cast<size_t>(length));
  size_t done = 0;
  while (done < out.size()) {
    int got = file.Read(out.data() + done, static_cast<int>(out.size() - done));
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  out.resize(done);
  return true;
}

bool writeFile(CMC_ObjectsContainer* scope, const CXString& name, const void* data, size_t size, const CXString& who) {
  if (name.isEmpty()) {
    TLOG_WARN(who.view() << ": no file name");
    return false;
  }
  CXString target = CPath::makeAbsolute(CPath::resolveFileName(CMC_Object::windowOf(scope), name));
  if (!CPath::isWritable(target)) {
    TLOG_WARN(who.view() << ": " << name.view() << " lies outside the game's writable places; not written");
    return false;
  }
  if (!CFile::writeFileAtomic(target, data, size)) {
    TLOG_WARN(who.view() << ": cannot write " << target.view());
    return false;
  }
  return true;
}

}  // namespace tarnvik::datafiles
