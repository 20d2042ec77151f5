// CImage: a drawable holding one image loaded from an IMG or JPEG file, and written as IMG.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/graphics_object.h"

class CFile;
class CFileContext;

class CImage : public CGraphicsObject {
 public:
  // Compression types of IMG files and animation frames.
  enum Compression { kNone = 0, kLZO = 2, kLZORLE = 3, kRLE = 4, kJPEG = 5 };

  CImage() = default;

  // Loads by name through the file rules: ".img" (any case) as an IMG file, anything else as a
  // JPEG file. On failure the image is empty, a warning is logged and false returned.
  bool Load(CFileContext* context, const CXString& name);
  // Reads an IMG file (any layout) from an open file.
  bool Load(CFile* file);
  // Reads an IMG file held in memory.
  bool LoadFromMemory(const uint8_t* data, size_t size);

  // Writes the image (or its clipping rectangle) as a "PIK" IMG file with the compression;
  // false (and nothing left under the name) on failure. Types that cannot be written are refused.
  bool Save(const CXString& name, int compression);
  bool Save(CFile* file, int compression);
  // The file bytes Save would write.
  bool SaveToMemory(int compression, std::vector<uint8_t>& out);

  int GetCompression() const { return compression_; }

 protected:
  int compression_ = kNone;
};
