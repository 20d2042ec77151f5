// CPSD: the layers of a Photoshop document (8- or 16-bit RGB or greyscale), one of which is the object's pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/pixels/graphics_object.h"

class CFile;
class CFileContext;
namespace tarnvik {
class ByteReader;
}

class CPSD : public CGraphicsObject {
 public:
  struct Layer {
    CXString name;
    CXRect rect;                // in document coordinates
    std::vector<uint8_t> rgba;  // width x height x 4 bytes, 8 bits per channel
  };

  CPSD() = default;

  // Reads every layer; a document without layers gives one layer from its merged image. On failure
  // nothing is held, a warning is logged and false returned.
  bool Load(CFileContext* context, const CXString& name);
  bool Load(CFile* file);
  bool LoadFromMemory(const uint8_t* data, size_t size);

  int GetLayerCount() const { return static_cast<int>(layers_.size()); }
  // Makes the layer the object's pixels (5-6-5 with its alpha plane), placed at its rectangle.
  bool SelectLayer(int index);
  bool SelectLayer(const CXString& name);
  // Empty name / rectangle for an index out of range.
  CXString GetLayerName(int index) const;
  CXRect GetLayerRect(int index) const;
  const Layer* getLayer(int index) const;
  int getDocumentWidth() const { return docWidth_; }
  int getDocumentHeight() const { return docHeight_; }

  // Writes a document of 8-bit RGBA layers with PackBits rows (for tools and tests).
  static std::vector<uint8_t> write(int width, int height, const std::vector<Layer>& layers);

 private:
  bool parse(const uint8_t* data, size_t size, std::string& why);
  // The layer records and their channel data, up to `end`.
  bool parseLayers(tarnvik::ByteReader& r, size_t end, int bytesPerSample, bool grey, std::string& why);
  bool parseTaggedLayers(tarnvik::ByteReader& r, size_t end, int bytesPerSample, bool grey, std::string& why);
  bool parseMerged(tarnvik::ByteReader& r, size_t start, int channels, int bytesPerSample, bool grey, std::string& why);

  std::vector<Layer> layers_;
  int docWidth_ = 0, docHeight_ = 0;
};
