// IMG files: the "PIK" layout without compression (the full set of layouts and codecs replaces this).
#include "graphics/image.h"

#include <cstring>

#include "files/bytereader.h"
#include "files/file.h"
#include "foundation/log.h"

bool CImage::Load(CFileContext* context, const CXString& name) {
  std::vector<uint8_t> bytes;
  if (!CFile::readAll(context, name, bytes)) {
    TLOG_WARN("image " << name.view() << " not found");
    create(0, 0);
    return false;
  }
  if (!LoadFromMemory(bytes.data(), bytes.size())) {
    TLOG_WARN("image " << name.view() << " cannot be read");
    return false;
  }
  setFileName(name);
  return true;
}

bool CImage::Load(CFile* file) {
  if (!file || !file->isOpen()) return false;
  long length = file->Length();
  if (length <= 0 || length > (1L << 30)) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  file->Seek(0, SEEK_SET);
  if (file->Read(bytes.data(), static_cast<int>(length)) != length) return false;
  return LoadFromMemory(bytes.data(), bytes.size());
}

bool CImage::LoadFromMemory(const uint8_t* data, size_t size) {
  create(0, 0);
  if (!data || size < 40 || std::memcmp(data, "PIK", 4) != 0) return false;
  auto u32 = [&](size_t at) {
    return static_cast<int32_t>(data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) | (uint32_t(data[at + 3]) << 24));
  };
  int w = u32(4), h = u32(8), depth = u32(12), compression = u32(24), alphaSize = u32(28);
  if (depth == 2) depth = 15;
  if (depth == 4) depth = 16;
  if ((depth != 15 && depth != 16) || compression != kNone) return false;
  if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) return false;
  size_t pixels = static_cast<size_t>(w) * h;
  if (size < 40 + pixels * 2 + (alphaSize ? pixels : 0) || (alphaSize && static_cast<size_t>(alphaSize) != pixels)) return false;
  create(w, h, depth, alphaSize != 0);
  std::memcpy(GetDataPtr(), data + 40, pixels * 2);
  if (alphaSize) std::memcpy(GetAlphaPtr(), data + 40 + pixels * 2, pixels);
  SetPosition(u32(32) + getAnchor().x, u32(36) + getAnchor().y);
  compression_ = kNone;
  return true;
}

bool CImage::SaveToMemory(int compression, std::vector<uint8_t>& out) {
  out.clear();
  if (!GetDataPtr() || GetRealBpp() == 32 || compression != kNone) return false;
  size_t pixels = static_cast<size_t>(Width()) * Height();
  auto put = [&](int32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
  };
  out.insert(out.end(), {'P', 'I', 'K', 0});
  put(Width());
  put(Height());
  put(GetRealBpp());
  put(static_cast<int32_t>(pixels * 2));
  put(0);
  put(kNone);
  put(hasAlpha() ? static_cast<int32_t>(pixels) : 0);
  put(GetPosition().x);
  put(GetPosition().y);
  for (int y = 0; y < Height(); ++y) {
    const auto* row = reinterpret_cast<const uint8_t*>(pixels16() + static_cast<size_t>(y) * GetPitch());
    out.insert(out.end(), row, row + Width() * 2);
  }
  if (hasAlpha()) out.insert(out.end(), GetAlphaPtr(), GetAlphaPtr() + pixels);
  return true;
}

bool CImage::Save(const CXString& name, int compression) {
  std::vector<uint8_t> bytes;
  return SaveToMemory(compression, bytes) && CFile::writeFileAtomic(name, bytes.data(), bytes.size());
}

bool CImage::Save(CFile* file, int compression) {
  std::vector<uint8_t> bytes;
  return file && SaveToMemory(compression, bytes) &&
         file->Write(bytes.data(), static_cast<int>(bytes.size())) == static_cast<int>(bytes.size());
}
