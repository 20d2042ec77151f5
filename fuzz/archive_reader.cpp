// Fuzz target: arbitrary bytes opened as an archive; every entry is looked up, listed and read.
#include <cstdint>
#include <vector>

#include "files/bigfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CBigFile archive;
  if (!archive.openBuffer(std::vector<uint8_t>(data, data + size))) return 0;
  std::vector<uint8_t> out;
  for (int32_t i = 0; i < static_cast<int32_t>(archive.files().size()) && i < 4096; ++i) {
    std::string path = archive.pathOf(i);
    int32_t found = archive.findFile(CXString(path));
    if (archive.isSafe(i) && found < 0) __builtin_trap();  // a safe entry is always found
    archive.readFile(i, out);
    archive.GetSize(CXString(path));
  }
  for (size_t f = 0; f < archive.folders().size() && f < 256; ++f) {
    CFindData info;
    intptr_t h = archive.FindFirst(CXString(archive.folders()[f].name + "\\*.*"), info);
    while (h >= 0 && archive.FindNext(h, info) == 0) {
    }
    archive.FindClose(h);
    archive.ChDir(CXString(archive.folders()[f].name));
    archive.FileExists(CXString("..\\x"));
  }
  return 0;
}
