// CImage: a drawable holding one image loaded from an IMG or JPEG file, and written as IMG.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/pixels/graphics_object.h"

class CFile;
class CFileContext;

// What an IMG file's header says, without decoding its data (for tools and diagnostics).
struct CImageFileInfo {
  std::string layout;      // "PIK", "NVI" or "old"
  int width = 0, height = 0;
  int depth = 0;           // in bits, after mapping the depth codes
  int compression = 0;     // as stored (before the uncompressed-size rule)
  int effectiveCompression = 0;
  // Where the colour and alpha data lie and how long they are; the header's own colour size field
  // (the JPEG stream's length for type 5).
  size_t headerSize = 0, colourSize = 0, alphaSize = 0, fileSize = 0, colourField = 0;
  int x = 0, y = 0;
};

class CImage : public CGraphicsObject {
 public:
  // Compression types of IMG files and animation frames.
  enum Compression { kNone = 0, kLZO = 2, kLZORLE = 3, kRLE = 4, kJPEG = 5 };
  // Quality of the JPEG colour data Save writes for type 5.
  static constexpr int kJpegQuality = 90;

  CImage() = default;

  // Loads by name through the file rules: ".img" (any case) as an IMG file, anything else as a
  // JPEG file. On failure the image is empty, a warning is logged and false returned.
  bool Load(CFileContext* context, const CXString& name);
  // Reads an IMG file (any layout) from an open file.
  bool Load(CFile* file);
  // Reads an IMG file held in memory.
  bool LoadFromMemory(const uint8_t* data, size_t size);
  // Reads a whole JPEG file held in memory (no alpha plane, position 0, 0).
  bool LoadJpegFromMemory(const uint8_t* data, size_t size, int bpp = 16);

  // Writes the image (or its clipping rectangle) as a "PIK" IMG file with the compression;
  // false (and nothing left under the name) on failure. Types that cannot be written are refused.
  bool Save(const CXString& name, int compression);
  bool Save(CFile* file, int compression);
  // The file bytes Save would write.
  bool SaveToMemory(int compression, std::vector<uint8_t>& out);
  // The same for any drawable with 15 or 16-bit pixels.
  static bool encode(CGraphicsObject& object, int compression, std::vector<uint8_t>& out);
  // Reads an IMG header; false for data no layout accepts.
  static bool probe(const uint8_t* data, size_t size, CImageFileInfo& info, std::string* why = nullptr);

  int GetCompression() const { return compression_; }

  // Packs the pixels in memory: only type 4 is produced (colour with the 16-bit run-length encoder,
  // alpha with the byte encoder); other types leave the image as it is. The pixels stay usable.
  bool Compress(int compression);
  // Unpacks whatever is kept packed (type 4 blocks); the image's pixels are then present.
  bool DeCompress() override;
  bool DeCompressRLE2();
  // Frees the unpacked pixels when packed blocks are kept (the size stays); the next unpack, or
  // drawing the image, restores them.
  bool bringBackCompressed() override;
  // pack: keep type-4 blocks (made now if missing) and free the pixels; unpack: restore them.
  bool pack() override;
  bool unpack() override;
  bool isPacked() const { return packedOnly_; }
  void* GetDataPtr() override;
  bool redraw(CGraphicsObject* destination) override;

  // Depth conversions of single pixels and whole buffers.
  static uint16_t _convert15to16(uint16_t p) { return static_cast<uint16_t>(((p & 0x7FE0) << 1) | (p & 0x001F)); }
  static uint16_t _convert16to15(uint16_t p) { return static_cast<uint16_t>(((p & 0xFFC0) >> 1) | (p & 0x001F)); }
  // 0x00RRGGBB (little-endian B, G, R, X in memory) to 5-6-5: the top bits of each byte.
  static uint16_t _convert32to16(uint32_t p) {
    return static_cast<uint16_t>((((p >> 16) & 0xF8) << 8) | (((p >> 8) & 0xFC) << 3) | ((p & 0xFF) >> 3));
  }
  // Bytes per pixel for a depth: 2 for 15 and 16, 3 for 24, 4 for 32, 1 otherwise.
  static int __get_pixel_size(int bpp);
  static size_t __get_data_size(int width, int height, int bpp);
  // Depth codes of IMG headers (2, 4, 8) to bits; other values as they are.
  static int __get_convert_code(int depth);
  // Converts `count` pixels of `from` bits (15, 16, 24, 32) to 16-bit pixels of depth `to` (15 or 16).
  static bool __convert_bpp(const uint8_t* in, int from, uint16_t* out, int to, size_t count);

 protected:
  void clearImage();
  // IMG bytes into the image, one step per compression family; `why` says what was refused.
  bool decodeImg(const uint8_t* data, size_t size, std::string& why);

  int compression_ = kNone;
  // Kept type-4 blocks: run-length colour (16-bit units) and alpha (bytes).
  std::vector<uint8_t> packedColour_, packedAlpha_;
  bool keptPacked_ = false;    // packed blocks are held
  bool packedOnly_ = false;    // ... and the pixels were freed
  bool packedAlphaPresent_ = false;
  int packedBpp_ = 16;

 private:
  struct ImgDecode;
  bool unpackImgBlocks(ImgDecode& d, std::string& why);
  bool unpackImgLzw(ImgDecode& d, std::string& why);
  bool unpackImgLzoOrJpeg(ImgDecode& d, std::string& why);
  bool unpackImgRunLength(ImgDecode& d, std::string& why);
  void finishImgDecode(ImgDecode& d);
};

// Loads any image file by its extension and holds what it made.
class CImageFile {
 public:
  // The file types Load returns.
  enum { kNoFile = 0, kImage = 1, kPSD = 4, kAnimation = 5 };

  CImageFile();
  ~CImageFile();
  // "img" and "jpg" (also "jpeg") make a CImage, "psd" a CPSD; "ann" makes nothing yet (animations
  // arrive with their own reader) and returns kNoFile, as does a file that cannot be read.
  int Load(CFileContext* context, const CXString& name);
  CGraphicsObject* getObject() const { return object_.get(); }
  // Writes a drawable as "img" (any compression Save writes) or "jpg"; false for other extensions.
  static bool Save(CGraphicsObject* object, const CXString& name, int compression);

 private:
  std::unique_ptr<CGraphicsObject> object_;
};
