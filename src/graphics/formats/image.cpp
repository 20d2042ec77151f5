// IMG files in the "PIK", "NVI" and oldest layouts, every compression type, JPEG files, depth
// conversion, packing in memory, and writing "PIK" files.
#include "graphics/formats/image.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>
#include <vector>

#include "files/bytereader.h"
#include "files/file.h"
#include "foundation/log.h"
#include "graphics/formats/codecs.h"
#include "graphics/formats/jpeg.h"
#include "graphics/formats/psd.h"

namespace {

using tarnvik::ByteReader;
using tarnvik::ByteWriter;

constexpr size_t kPikHeader = 40;
constexpr size_t kNviHeader = 37;
constexpr size_t kOldHeader = 92;

bool sizeAccepted(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width <= CGraphicsObject::kMaxSide && height <= CGraphicsObject::kMaxSide &&
         static_cast<size_t>(width) * static_cast<size_t>(height) <= tarnvik::imagelimits::kMaxPixels;
}

bool knownDepth(int depth) { return depth == 15 || depth == 16 || depth == 24 || depth == 32; }

bool refuse(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

// Largest run-length content a block for `count` units may hold: at most one control byte per unit.
size_t rleContentBound(size_t count, size_t unit) { return count * (unit + 1) + 64; }

}  // namespace

// --- depth helpers ---

int CImage::__get_pixel_size(int bpp) {
  switch (bpp) {
    case 15:
    case 16:
      return 2;
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return 1;
  }
}

size_t CImage::__get_data_size(int width, int height, int bpp) {
  if (width <= 0 || height <= 0) return 0;
  return static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(__get_pixel_size(bpp));
}

int CImage::__get_convert_code(int depth) {
  switch (depth) {
    case 2:
      return 15;
    case 4:
      return 16;
    case 8:
      return 24;
    default:
      return depth;
  }
}

bool CImage::__convert_bpp(const uint8_t* in, int from, uint16_t* out, int to, size_t count) {
  if (!in || !out || (to != 15 && to != 16)) return false;
  switch (from) {
    case 15:
    case 16:
      for (size_t i = 0; i < count; ++i) {
        uint16_t p = static_cast<uint16_t>(in[2 * i] | (in[2 * i + 1] << 8));
        if (from != to) p = to == 16 ? _convert15to16(p) : _convert16to15(p);
        out[i] = p;
      }
      return true;
    case 24:
    case 32: {
      const size_t step = from == 24 ? 3 : 4;
      for (size_t i = 0; i < count; ++i) {
        const uint8_t* s = in + i * step;
        uint16_t p = _convert32to16(static_cast<uint32_t>(s[0]) | (static_cast<uint32_t>(s[1]) << 8) |
                                    (static_cast<uint32_t>(s[2]) << 16));
        out[i] = to == 16 ? p : _convert16to15(p);
      }
      return true;
    }
    default:
      return false;
  }
}

// --- reading ---

bool CImage::probe(const uint8_t* data, size_t size, CImageFileInfo& info, std::string* why) {
  info = CImageFileInfo();
  info.fileSize = size;
  if (!data || size < kNviHeader) return refuse(why, "shorter than any image header");
  ByteReader r(data, size);
  const std::string magic(reinterpret_cast<const char*>(data), 4);
  int64_t alphaSize = 0;
  if (magic == std::string("NVI", 4)) {
    r.skip(4);
    info.layout = "NVI";
    info.headerSize = kNviHeader;
    info.width = r.i16();
    info.height = r.i16();
    info.depth = r.u8();
    info.colourField = r.u32();
    alphaSize = r.u32();
    info.x = r.i16();
    info.y = r.i16();
    info.compression = r.i32();
    info.colourSize = info.colourField;
    if (info.colourSize > size - kNviHeader || static_cast<size_t>(alphaSize) > size - kNviHeader - info.colourSize)
      return refuse(why, "its data sizes reach past the end of the file");
  } else {
    if (size < kPikHeader) return refuse(why, "shorter than any image header");
    if (magic == std::string("PIK", 4)) {
      r.skip(4);
      info.layout = "PIK";
      info.headerSize = kPikHeader;
      info.width = r.i32();
      info.height = r.i32();
      info.depth = __get_convert_code(r.i32());
      info.colourField = r.u32();
      r.u32();
      info.compression = r.i32();
      alphaSize = r.u32();
      info.x = r.i32();
      info.y = r.i32();
    } else {
      // The oldest layout: 80 bytes not read, then width, height, 6 unused bytes and the flags.
      if (size < kOldHeader) return refuse(why, "no known image header");
      r.seek(80);
      info.layout = "old";
      info.headerSize = kOldHeader;
      info.width = r.u16();
      info.height = r.u16();
      r.skip(6);
      const int flags = r.u16();
      info.depth = __get_convert_code(flags & 0xF);
      if (info.depth != 15 && info.depth != 16 && info.depth != 24) return refuse(why, "no known image header");
      alphaSize = (flags & 0x400) ? static_cast<int64_t>(info.width) * info.height : 0;
      info.compression = CImage::kNone;
    }
    // The colour data are what lies between the header and the alpha data.
    if (static_cast<uint64_t>(alphaSize) > size - info.headerSize)
      return refuse(why, "its alpha size is larger than the file");
    info.colourSize = size - info.headerSize - static_cast<size_t>(alphaSize);
  }
  if (!r.ok()) return refuse(why, "its header is cut short");
  info.alphaSize = static_cast<size_t>(alphaSize);
  if (!sizeAccepted(info.width, info.height)) return refuse(why, "its width or height is out of range");
  if (!knownDepth(info.depth)) return refuse(why, "its colour depth is unknown");
  const size_t dataSize = __get_data_size(info.width, info.height, info.depth);
  const size_t pixels = static_cast<size_t>(info.width) * info.height;
  info.effectiveCompression = info.compression;
  if (info.layout == "NVI") {
    if (info.compression != kNone && info.compression != kLZO) return refuse(why, "its compression type is unknown");
    if (info.compression == kNone &&
        (info.colourSize != dataSize || (info.alphaSize != 0 && info.alphaSize != pixels)))
      return refuse(why, "its data sizes disagree with its width and height");
    return true;
  }
  // Uncompressed data of the wrong length are an LZO1X block.
  if (info.compression == kNone && info.colourSize != dataSize) info.effectiveCompression = kLZO;
  switch (info.effectiveCompression) {
    case kNone:
      if (info.alphaSize != 0 && info.alphaSize != pixels) return refuse(why, "its alpha size disagrees with its size");
      break;
    case kLZO:
    case kLZORLE:
    case kRLE:
      break;
    case kJPEG:
      if (info.colourField == 0 || info.colourField > info.colourSize)
        return refuse(why, "its JPEG length disagrees with the file");
      break;
    default:
      return refuse(why, "its compression type is unknown");
  }
  return true;
}

void CImage::clearImage() {
  create(0, 0);
  compression_ = kNone;
  packedColour_.clear();
  packedAlpha_.clear();
  keptPacked_ = packedOnly_ = packedAlphaPresent_ = false;
}

// One IMG decode: the probed header, the file's blocks, and where the colour and alpha bytes end up.
struct CImage::ImgDecode {
  CImageFileInfo info;
  size_t pixels = 0, dataSize = 0;
  const uint8_t* colour = nullptr;
  const uint8_t* alpha = nullptr;
  bool withAlpha = false;
  int bpp = 16;
  bool direct = false;  // file pixels are already the image's form
  uint8_t* target = nullptr;
  // Colour bytes at the file's depth: a view into the file, or decoded into `raw`, or (for 16-bit
  // depths) straight into the image's pixels.
  std::vector<uint8_t> raw;
  const uint8_t* source = nullptr;
  bool decodedIntoPixels = false;
  std::vector<uint8_t> alphaPlane;
  const uint8_t* alphaSource = nullptr;
  bool keptRle = false;

  // Where an unpacker writes the colour bytes.
  uint8_t* colourOut() {
    if (direct) {
      decodedIntoPixels = true;
      return target;
    }
    raw.resize(dataSize);
    source = raw.data();
    return raw.data();
  }
};

bool CImage::decodeImg(const uint8_t* data, size_t size, std::string& why) {
  ImgDecode d;
  if (!probe(data, size, d.info, &why)) return false;
  const int w = d.info.width, h = d.info.height, depth = d.info.depth;
  d.pixels = static_cast<size_t>(w) * h;
  d.dataSize = __get_data_size(w, h, depth);
  d.colour = data + d.info.headerSize;
  d.alpha = d.colour + d.info.colourSize;
  d.withAlpha = d.info.alphaSize != 0;
  d.bpp = depth == 15 ? 15 : 16;
  d.direct = depth == 15 || depth == 16;
  if (!create(w, h, d.bpp, d.withAlpha)) {
    why = "its size cannot be allocated";
    return false;
  }
  d.target = static_cast<uint8_t*>(CGraphicsObject::GetDataPtr());
  if (!unpackImgBlocks(d, why)) return false;
  finishImgDecode(d);
  return true;
}

bool CImage::unpackImgBlocks(ImgDecode& d, std::string& why) {
  if (d.info.layout == "NVI" && d.info.compression == kLZO) return unpackImgLzw(d, why);
  switch (d.info.effectiveCompression) {
    case kNone:
      d.source = d.colour;
      d.alphaSource = d.withAlpha ? d.alpha : nullptr;
      return true;
    case kLZO:
    case kJPEG:
      return unpackImgLzoOrJpeg(d, why);
    case kLZORLE:
    case kRLE:
      return unpackImgRunLength(d, why);
    default:
      why = "its compression type is unknown";
      return false;
  }
}

bool CImage::unpackImgLzw(ImgDecode& d, std::string& why) {
  if (!CLZWCompression::decompress(d.colour, d.info.colourSize, d.dataSize, d.raw)) {
    why = "its LZW colour data do not unpack to its size";
    return false;
  }
  d.source = d.raw.data();
  if (d.withAlpha) {
    if (!CLZWCompression::decompress(d.alpha, d.info.alphaSize, d.pixels, d.alphaPlane)) {
      why = "its LZW alpha data do not unpack to its size";
      return false;
    }
    d.alphaSource = d.alphaPlane.data();
  }
  return true;
}

bool CImage::unpackImgLzoOrJpeg(ImgDecode& d, std::string& why) {
  if (d.info.effectiveCompression == kLZO) {
    if (d.dataSize > d.info.colourSize * tarnvik::imagelimits::kLzoMaxRatio + 64 ||
        !CLZWCompression2::decompressInto(d.colour, d.info.colourSize, d.colourOut(), d.dataSize)) {
      why = "its LZO1X colour block does not unpack to its size";
      return false;
    }
  } else {
    JPEG jpeg(d.colour, d.info.colourField);
    std::vector<uint16_t> decoded;
    if (!jpeg.readHeader() || jpeg.getWidth() != d.info.width || jpeg.getHeight() != d.info.height ||
        !jpeg.decompress(d.bpp, decoded)) {
      why = "its JPEG colour data cannot be decoded to its size";
      return false;
    }
    std::memcpy(d.target, decoded.data(), d.pixels * 2);
    d.decodedIntoPixels = true;
  }
  if (d.withAlpha) {
    if (d.pixels > d.info.alphaSize * tarnvik::imagelimits::kLzoMaxRatio + 64 ||
        !CLZWCompression2::decompressInto(d.alpha, d.info.alphaSize, GetAlphaPtr(), d.pixels)) {
      why = "its LZO1X alpha block does not unpack to its size";
      return false;
    }
    d.alphaSource = GetAlphaPtr();
  }
  return true;
}

bool CImage::unpackImgRunLength(ImgDecode& d, std::string& why) {
  if (d.dataSize % 2 != 0) {
    why = "its run-length colour data do not fill whole 16-bit units";
    return false;
  }
  const uint8_t* colourRle = d.colour;
  size_t colourRleSize = d.info.colourSize;
  const uint8_t* alphaRle = d.alpha;
  size_t alphaRleSize = d.info.alphaSize;
  std::vector<uint8_t> content, alphaContent;
  if (d.info.effectiveCompression == kLZORLE) {
    if (!CLZWCompression2::decompress(d.colour, d.info.colourSize, 0, rleContentBound(d.dataSize / 2, 2), content)) {
      why = "its LZO1X colour block does not unpack";
      return false;
    }
    colourRle = content.data();
    colourRleSize = content.size();
    if (d.withAlpha) {
      if (!CLZWCompression2::decompress(d.alpha, d.info.alphaSize, 0, rleContentBound(d.pixels, 1), alphaContent)) {
        why = "its LZO1X alpha block does not unpack";
        return false;
      }
      alphaRle = alphaContent.data();
      alphaRleSize = alphaContent.size();
    }
  }
  if (d.dataSize > CRLECompression::maxExpansion(colourRleSize, 2) ||
      !CRLECompression::__decompress(colourRle, colourRleSize, d.colourOut(), d.dataSize)) {
    why = "its run-length colour data do not unpack to its size";
    return false;
  }
  if (d.withAlpha && (d.pixels > CRLECompression::maxExpansion(alphaRleSize, 1) ||
                      !CRLECompression::__decompresschar(alphaRle, alphaRleSize, GetAlphaPtr(), d.pixels))) {
    why = "its run-length alpha data do not unpack to its size";
    return false;
  }
  if (d.withAlpha) d.alphaSource = GetAlphaPtr();
  // Type 4 blocks stay at hand so the image can return to its packed form.
  // (Type 3's unpacked blocks are ours already and move over; type 4's are copied out of the file.)
  if (d.direct) {
    if (d.info.effectiveCompression == kLZORLE) {
      packedColour_ = std::move(content);
      packedAlpha_ = std::move(alphaContent);
    } else {
      packedColour_.assign(colourRle, colourRle + colourRleSize);
      if (d.withAlpha) packedAlpha_.assign(alphaRle, alphaRle + alphaRleSize);
    }
    d.keptRle = true;
  }
  return true;
}

void CImage::finishImgDecode(ImgDecode& d) {
  if (!d.decodedIntoPixels)
    __convert_bpp(d.source, d.info.depth, static_cast<uint16_t*>(static_cast<void*>(d.target)), d.bpp, d.pixels);
  if (d.withAlpha && d.alphaSource && d.alphaSource != GetAlphaPtr()) std::memcpy(GetAlphaPtr(), d.alphaSource, d.pixels);
  if (d.keptRle) {
    keptPacked_ = true;
    packedAlphaPresent_ = d.withAlpha;
    packedBpp_ = d.bpp;
  }
  compression_ = kNone;
  SetPosition(d.info.x + getAnchor().x, d.info.y + getAnchor().y);
}

bool CImage::LoadFromMemory(const uint8_t* data, size_t size) {
  clearImage();
  std::string why;
  if (!decodeImg(data, size, why)) {
    clearImage();
    TLOG_WARN("image data refused: " << why);
    return false;
  }
  return true;
}

bool CImage::LoadJpegFromMemory(const uint8_t* data, size_t size, int bpp) {
  clearImage();
  JPEG jpeg(data, size);
  std::vector<uint16_t> decoded;
  const int depth = bpp == 15 ? 15 : 16;
  if (!jpeg.readHeader() || !jpeg.decompress(depth, decoded) || !create(jpeg.getWidth(), jpeg.getHeight(), depth)) {
    clearImage();
    TLOG_WARN("JPEG data refused: not a complete JPEG image of an accepted size");
    return false;
  }
  std::memcpy(CGraphicsObject::GetDataPtr(), decoded.data(), decoded.size() * 2);
  SetPosition(getAnchor().x, getAnchor().y);
  return true;
}

bool CImage::Load(CFileContext* context, const CXString& name) {
  clearImage();
  std::vector<uint8_t> bytes;
  if (!CFile::readAll(context, name, bytes)) {
    // Whoever asked for the image names it, where it was asked for.
    TLOG_DEBUG("image " << name.view() << " not found");
    return false;
  }
  std::string lower(name.view());
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  bool isImg = lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".img") == 0;
  bool ok = isImg ? LoadFromMemory(bytes.data(), bytes.size()) : LoadJpegFromMemory(bytes.data(), bytes.size());
  if (!ok) {
    TLOG_WARN("image " << name.view() << " cannot be read");
    return false;
  }
  setFileName(name);
  return true;
}

bool CImage::Load(CFile* file) {
  clearImage();
  if (!file || !file->isOpen()) return false;
  long length = file->Length();
  if (length <= 0 || length > (1L << 30)) {
    TLOG_WARN("image file refused: its length " << length << " is out of range");
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  file->Seek(0, SEEK_SET);
  if (file->Read(bytes.data(), static_cast<int>(length)) != length) {
    TLOG_WARN("image file cannot be read whole");
    return false;
  }
  return LoadFromMemory(bytes.data(), bytes.size());
}

// --- packing in memory ---

bool CImage::Compress(int compression) {
  if (compression != kRLE) return true;  // only type 4 is produced in memory
  if (keptPacked_) return true;
  void* pixels = GetDataPtr();
  if (!pixels || (GetRealBpp() != 15 && GetRealBpp() != 16) || GetPitch() != Width()) return false;
  const size_t count = static_cast<size_t>(Width()) * Height();
  packedColour_ = CRLECompression::__compress(static_cast<const uint8_t*>(pixels), count * 2);
  packedAlphaPresent_ = hasAlpha();
  packedAlpha_ = packedAlphaPresent_ ? CRLECompression::__compresschar(GetAlphaPtr(), count) : std::vector<uint8_t>();
  packedBpp_ = GetRealBpp();
  keptPacked_ = true;
  return true;
}

bool CImage::DeCompressRLE2() {
  if (!packedOnly_) return true;
  const int w = Width(), h = Height();
  const size_t count = static_cast<size_t>(w) * h;
  if (!create(w, h, packedBpp_, packedAlphaPresent_) ||
      !CRLECompression::__decompress(packedColour_.data(), packedColour_.size(),
                                     static_cast<uint8_t*>(CGraphicsObject::GetDataPtr()), count * 2) ||
      (packedAlphaPresent_ &&
       !CRLECompression::__decompresschar(packedAlpha_.data(), packedAlpha_.size(), GetAlphaPtr(), count))) {
    // Our own blocks always unpack; should memory fail, the image stays at its size without pixels.
    create(0, 0);
    setSize(w, h);
    return false;
  }
  packedOnly_ = false;
  return true;
}

bool CImage::DeCompress() { return DeCompressRLE2(); }

bool CImage::bringBackCompressed() {
  if (!keptPacked_ || packedOnly_) return true;
  const int w = Width(), h = Height();
  create(0, 0);
  setSize(w, h);
  packedOnly_ = true;
  return true;
}

bool CImage::pack() { return Compress(kRLE) && bringBackCompressed(); }
bool CImage::unpack() { return DeCompressRLE2(); }

void* CImage::GetDataPtr() {
  if (packedOnly_) DeCompressRLE2();
  return CGraphicsObject::GetDataPtr();
}

bool CImage::redraw(CGraphicsObject* destination) {
  if (packedOnly_) DeCompressRLE2();
  return CGraphicsObject::redraw(destination);
}

// --- writing ---

bool CImage::encode(CGraphicsObject& object, int compression, std::vector<uint8_t>& out) {
  out.clear();
  void* pixels = object.GetDataPtr();
  const int bpp = object.GetRealBpp();
  if (!pixels || (bpp != 15 && bpp != 16)) {
    TLOG_WARN("image not saved: it has no 15 or 16-bit pixels");
    return false;
  }
  if (compression != kNone && compression != kLZO && compression != kLZORLE && compression != kRLE &&
      compression != kJPEG) {
    TLOG_WARN("image not saved: compression type " << compression << " cannot be written");
    return false;
  }
  const CXRect full(0, 0, object.Width(), object.Height());
  CXRect region = full;
  const CXRect& clip = object.GetClippingRect();
  if (!clip.isEmpty()) {
    region = clip.intersection(full);
    if (region.isEmpty()) {
      TLOG_WARN("image not saved: its clipping rectangle lies outside it");
      return false;
    }
  }
  const int w = region.width(), h = region.height();
  const size_t count = static_cast<size_t>(w) * h;
  std::vector<uint16_t> colour(count);
  std::vector<uint8_t> alpha(object.hasAlpha() ? count : 0);
  const uint16_t* base = static_cast<const uint16_t*>(pixels);
  for (int y = 0; y < h; ++y) {
    const size_t from = static_cast<size_t>(region.top + y) * object.GetPitch() + region.left;
    std::memcpy(colour.data() + static_cast<size_t>(y) * w, base + from, static_cast<size_t>(w) * 2);
    if (!alpha.empty())
      std::memcpy(alpha.data() + static_cast<size_t>(y) * w,
                  object.GetAlphaPtr() + static_cast<size_t>(region.top + y) * object.Width() + region.left, w);
  }
  const auto* colourBytes = reinterpret_cast<const uint8_t*>(colour.data());

  std::vector<uint8_t> colourBlock, alphaBlock;
  size_t colourField = count * 2;
  switch (compression) {
    case kNone:
      colourBlock.assign(colourBytes, colourBytes + count * 2);
      alphaBlock = alpha;
      break;
    case kLZO:
      colourBlock = CLZWCompression2::compress(colourBytes, count * 2);
      if (!alpha.empty()) alphaBlock = CLZWCompression2::compress(alpha.data(), count);
      break;
    case kRLE:
      colourBlock = CRLECompression::__compress(colourBytes, count * 2);
      if (!alpha.empty()) alphaBlock = CRLECompression::__compresschar(alpha.data(), count);
      break;
    case kLZORLE: {
      std::vector<uint8_t> rle = CRLECompression::__compress(colourBytes, count * 2);
      colourBlock = CLZWCompression2::compress(rle.data(), rle.size());
      if (!alpha.empty()) {
        rle = CRLECompression::__compresschar(alpha.data(), count);
        alphaBlock = CLZWCompression2::compress(rle.data(), rle.size());
      }
      break;
    }
    case kJPEG:
      if (!JPEG::compress(colour.data(), w, h, w, bpp, kJpegQuality, colourBlock)) colourBlock.clear();
      colourField = colourBlock.size();
      if (!alpha.empty()) alphaBlock = CLZWCompression2::compress(alpha.data(), count);
      break;
  }
  if (colourBlock.empty() || (!alpha.empty() && alphaBlock.empty())) {
    TLOG_WARN("image not saved: its data could not be packed as type " << compression);
    return false;
  }
  ByteWriter writer;
  writer.bytes("PIK", 4);
  writer.i32(w);
  writer.i32(h);
  writer.i32(bpp);
  writer.u32(static_cast<uint32_t>(colourField));
  writer.u32(0);
  writer.i32(compression);
  writer.u32(static_cast<uint32_t>(alphaBlock.size()));
  const CXPoint at = object.GetPosition();
  writer.i32(at.x + region.left);
  writer.i32(at.y + region.top);
  writer.bytes(colourBlock);
  writer.bytes(alphaBlock);
  out = writer.take();
  return true;
}

bool CImage::SaveToMemory(int compression, std::vector<uint8_t>& out) { return encode(*this, compression, out); }

bool CImage::Save(const CXString& name, int compression) {
  std::vector<uint8_t> bytes;
  return SaveToMemory(compression, bytes) && CFile::writeFileAtomic(name, bytes.data(), bytes.size());
}

bool CImage::Save(CFile* file, int compression) {
  std::vector<uint8_t> bytes;
  return file && SaveToMemory(compression, bytes) &&
         file->Write(bytes.data(), static_cast<int>(bytes.size())) == static_cast<int>(bytes.size());
}

// --- loading by extension ---

CImageFile::CImageFile() = default;
CImageFile::~CImageFile() = default;

namespace {

std::string extensionOf(const CXString& name) {
  std::string text(name.view());
  size_t dot = text.find_last_of('.');
  size_t slash = text.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) return "";
  std::string ext = text.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

}  // namespace

int CImageFile::Load(CFileContext* context, const CXString& name) {
  object_.reset();
  const std::string ext = extensionOf(name);
  if (ext == "img" || ext == "jpg" || ext == "jpeg") {
    auto image = std::make_unique<CImage>();
    if (!image->Load(context, name)) return kNoFile;
    object_ = std::move(image);
    return kImage;
  }
  if (ext == "psd") {
    auto psd = std::make_unique<CPSD>();
    if (!psd->Load(context, name)) return kNoFile;
    object_ = std::move(psd);
    return kPSD;
  }
  if (ext == "ann") {
    TLOG_WARN("image file " << name.view() << ": animations are not read here yet");
    return kNoFile;
  }
  TLOG_WARN("image file " << name.view() << ": unknown extension");
  return kNoFile;
}

bool CImageFile::Save(CGraphicsObject* object, const CXString& name, int compression) {
  if (!object) return false;
  const std::string ext = extensionOf(name);
  std::vector<uint8_t> bytes;
  if (ext == "img") {
    if (!CImage::encode(*object, compression, bytes)) return false;
  } else if (ext == "jpg" || ext == "jpeg") {
    const int bpp = object->GetRealBpp();
    auto* pixels = static_cast<const uint16_t*>(object->GetDataPtr());
    if (!pixels || (bpp != 15 && bpp != 16) ||
        !JPEG::compress(pixels, object->Width(), object->Height(), object->GetPitch(), bpp, CImage::kJpegQuality, bytes))
      return false;
  } else {
    TLOG_WARN("image file " << name.view() << ": cannot be written (unknown extension)");
    return false;
  }
  return CFile::writeFileAtomic(name, bytes.data(), bytes.size());
}
