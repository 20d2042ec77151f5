// Photoshop documents: layer records (also in 16-bit tagged blocks), channel data raw, in PackBits
// rows or zlib-compressed, 8 or 16 bits a sample, the merged image.
// Numbers in these files are big-endian.
#include "graphics/formats/psd.h"

#include <algorithm>
#include <cstring>
#include <span>

#include <zlib.h>

#include "files/bytereader.h"
#include "files/file.h"
#include "foundation/log.h"
#include "graphics/formats/codecs.h"

namespace {

using tarnvik::ByteReader;
using tarnvik::ByteWriter;

// Big-endian reads over the bounds-checked reader.
struct BigEndian {
  ByteReader& r;
  uint16_t u16() { return __builtin_bswap16(r.u16()); }
  int16_t i16() { return static_cast<int16_t>(u16()); }
  uint32_t u32() { return __builtin_bswap32(r.u32()); }
  int32_t i32() { return static_cast<int32_t>(u32()); }
};

constexpr int kMaxChannels = 56;
// The most a deflate stream can expand (a stream of back-references), to refuse absurd sizes early.
constexpr size_t kMaxDeflateRatio = 1032;

bool layerSizeAccepted(int64_t width, int64_t height) {
  return width >= 0 && height >= 0 && width <= CGraphicsObject::kMaxSide && height <= CGraphicsObject::kMaxSide &&
         static_cast<size_t>(width) * static_cast<size_t>(height) <= tarnvik::imagelimits::kMaxPixels;
}

// Inflates a zlib stream to exactly `size` bytes.
bool inflateExactly(std::span<const uint8_t> in, uint8_t* out, size_t size) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out;
  z.avail_out = static_cast<uInt>(size);
  int status = Z_OK;
  while (status == Z_OK && z.avail_out > 0) status = inflate(&z, Z_NO_FLUSH);
  bool ok = z.avail_out == 0 && (status == Z_OK || status == Z_STREAM_END);
  inflateEnd(&z);
  return ok;
}

// Undoes the horizontal prediction of compression 3: each sample is stored as its difference from
// the one to its left (16-bit samples as big-endian words).
void unpredict(uint8_t* data, size_t width, size_t height, int bytesPerSample) {
  for (size_t y = 0; y < height; ++y) {
    uint8_t* row = data + y * width * bytesPerSample;
    if (bytesPerSample == 1) {
      for (size_t x = 1; x < width; ++x) row[x] = static_cast<uint8_t>(row[x] + row[x - 1]);
    } else {
      for (size_t x = 1; x < width; ++x) {
        uint16_t left = static_cast<uint16_t>((row[2 * x - 2] << 8) | row[2 * x - 1]);
        uint16_t v = static_cast<uint16_t>(((row[2 * x] << 8) | row[2 * x + 1]) + left);
        row[2 * x] = static_cast<uint8_t>(v >> 8);
        row[2 * x + 1] = static_cast<uint8_t>(v);
      }
    }
  }
}

// One channel plane of width x height samples from `length` bytes starting with the compression
// word: 0 raw, 1 PackBits rows (one byte count per row first), 2 zlib, 3 zlib over horizontal
// differences. 16-bit samples are reduced to their high byte. `out` gets one byte per pixel, `stride`
// apart.
bool readPlane(ByteReader& r, size_t length, int width, int height, int bytesPerSample, uint8_t* out, size_t stride) {
  BigEndian be{r};
  if (length < 2 || !r.has(length)) return false;
  const size_t end = r.position() + length;
  const int compression = be.u16();
  const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
  if (w == 0 || h == 0) return r.seek(end);
  const size_t rowBytes = w * static_cast<size_t>(bytesPerSample);
  std::vector<uint8_t> plane(rowBytes * h);
  if (compression == 0) {
    if (length - 2 < plane.size()) return false;
    std::span<const uint8_t> bytes = r.view(plane.size());
    if (!r.ok()) return false;
    std::memcpy(plane.data(), bytes.data(), plane.size());
  } else if (compression == 1) {
    if (length - 2 < h * 2) return false;
    std::vector<uint16_t> counts(h);
    size_t total = 0;
    for (size_t y = 0; y < h; ++y) total += counts[y] = be.u16();
    if (!r.ok() || total > end - r.position()) return false;
    for (size_t y = 0; y < h; ++y) {
      std::span<const uint8_t> packed = r.view(counts[y]);
      if (!r.ok() || !CRLECompression2::decodeRow(packed.data(), packed.size(), plane.data() + y * rowBytes, rowBytes))
        return false;
    }
  } else if (compression == 2 || compression == 3) {
    std::span<const uint8_t> packed = r.view(length - 2);
    if (!r.ok() || plane.size() > (packed.size() + 1) * kMaxDeflateRatio) return false;
    if (!inflateExactly(packed, plane.data(), plane.size())) return false;
    if (compression == 3) unpredict(plane.data(), w, h, bytesPerSample);
  } else {
    return false;
  }
  for (size_t p = 0; p < w * h; ++p) out[p * stride] = plane[p * static_cast<size_t>(bytesPerSample)];
  return r.seek(end);
}

struct ChannelInfo {
  int id;
  size_t length;
};

}  // namespace

bool CPSD::parseLayers(ByteReader& r, size_t end, int bytesPerSample, bool grey, std::string& why) {
  BigEndian be{r};
  // A negative count says the first alpha channel holds the merged transparency; the layers are the same.
  const int count = std::abs(static_cast<int>(be.i16()));
  std::vector<std::vector<ChannelInfo>> channelLists;
  for (int i = 0; i < count && r.ok(); ++i) {
    Layer layer;
    const int32_t top = be.i32(), left = be.i32(), bottom = be.i32(), right = be.i32();
    layer.rect = CXRect(left, top, right, bottom);
    if (!layerSizeAccepted(int64_t(right) - left, int64_t(bottom) - top))
      return (why = "a layer's rectangle is out of range", false);
    const int n = be.u16();
    if (n > kMaxChannels) return (why = "a layer has too many channels", false);
    std::vector<ChannelInfo> list;
    for (int c = 0; c < n; ++c) {
      const int id = be.i16();
      list.push_back({id, be.u32()});
    }
    std::span<const uint8_t> signature = r.view(4);
    if (!r.ok() || std::memcmp(signature.data(), "8BIM", 4) != 0)
      return (why = "a layer record lacks its signature", false);
    r.skip(8);  // blend mode, opacity, clipping, flags, filler
    const uint32_t extra = be.u32();
    if (!r.has(extra)) return (why = "a layer record reaches past the end", false);
    const size_t extraEnd = r.position() + extra;
    r.skip(be.u32());  // layer mask data
    r.skip(be.u32());  // blending ranges
    const size_t nameLength = r.u8();
    layer.name = CXString(r.fixedString(nameLength));
    if (!r.ok() || r.position() > extraEnd) return (why = "a layer record is cut short", false);
    r.seek(extraEnd);
    layers_.push_back(std::move(layer));
    channelLists.push_back(std::move(list));
  }
  // Channel image data, layer by layer in record order.
  for (size_t i = 0; i < layers_.size() && r.ok(); ++i) {
    Layer& layer = layers_[i];
    const int w = layer.rect.width(), h = layer.rect.height();
    const size_t pixels = static_cast<size_t>(w) * h;
    size_t stated = 0;
    for (const ChannelInfo& channel : channelLists[i]) stated += channel.length;
    if (stated > r.remaining() || r.position() + stated > end)
      return (why = "a layer's channel data reach past the end", false);
    if (pixels > (stated + 1) * kMaxDeflateRatio + 1024) return (why = "a layer's data are too short for its size", false);
    if (pixels == 0) {  // an empty layer: its channels hold only their compression words
      for (const ChannelInfo& channel : channelLists[i])
        if (!r.skip(channel.length)) return (why = "a layer's channel data reach past the end", false);
      continue;
    }
    layer.rgba.assign(pixels * 4, 0);
    bool alpha = false;
    for (const ChannelInfo& channel : channelLists[i]) {
      if (channel.length == 0) continue;  // a channel without data: nothing stored for it
      if (channel.id >= 0 && channel.id <= 2 && !(grey && channel.id > 0)) {
        if (!readPlane(r, channel.length, w, h, bytesPerSample, layer.rgba.data() + channel.id, 4))
          return (why = "a layer's channel data cannot be read", false);
        if (grey)
          for (size_t p = 0; p < pixels; ++p) layer.rgba[p * 4 + 1] = layer.rgba[p * 4 + 2] = layer.rgba[p * 4];
      } else if (channel.id == -1) {
        if (!readPlane(r, channel.length, w, h, bytesPerSample, layer.rgba.data() + 3, 4))
          return (why = "a layer's transparency cannot be read", false);
        alpha = true;
      } else if (!r.skip(channel.length)) {
        return (why = "a layer's channel data reach past the end", false);
      }
    }
    if (!alpha)
      for (size_t p = 0; p < pixels; ++p) layer.rgba[p * 4 + 3] = 255;
  }
  return r.ok() || (why = "its layers are cut short", false);
}

// The global layer mask, then tagged blocks; 16- and 32-bit documents may keep their layers in an
// "Lr16"/"Lr32" block there instead of the layer information.
bool CPSD::parseTaggedLayers(ByteReader& r, size_t end, int bytesPerSample, bool grey, std::string& why) {
  BigEndian be{r};
  if (end - r.position() < 4) return true;
  const uint32_t mask = be.u32();
  if (!r.ok() || mask > end - r.position() || !r.skip(mask)) return true;
  while (r.ok() && end - r.position() >= 12) {
    std::span<const uint8_t> signature = r.view(4);
    std::span<const uint8_t> key = r.view(4);
    const uint32_t length = be.u32();
    if (!r.ok() || (std::memcmp(signature.data(), "8BIM", 4) != 0 && std::memcmp(signature.data(), "8B64", 4) != 0) ||
        length > end - r.position())
      return true;
    const size_t blockEnd = r.position() + length;
    if (layers_.empty() && (std::memcmp(key.data(), "Lr16", 4) == 0 || std::memcmp(key.data(), "Lr32", 4) == 0)) {
      if (!parseLayers(r, blockEnd, bytesPerSample, grey, why)) return false;
    }
    if (!r.seek(blockEnd)) return true;
  }
  return true;
}

bool CPSD::parse(const uint8_t* data, size_t size, std::string& why) {
  layers_.clear();
  ByteReader r(data, size);
  BigEndian be{r};
  if (size < 26 || std::memcmp(data, "8BPS", 4) != 0) return (why = "not a Photoshop document", false);
  r.skip(4);
  const int version = be.u16();
  r.skip(6);
  const int channels = be.u16();
  const int64_t height = be.u32(), width = be.u32();
  const int depth = be.u16(), mode = be.u16();
  if (version != 1 || (depth != 8 && depth != 16) || (mode != 3 && mode != 1) || channels < 1 || channels > kMaxChannels)
    return (why = "only 8- and 16-bit RGB or greyscale documents are read", false);
  if (width < 1 || height < 1 || !layerSizeAccepted(width, height))
    return (why = "its width or height is out of range", false);
  docWidth_ = static_cast<int>(width);
  docHeight_ = static_cast<int>(height);
  const bool grey = mode == 1;
  const int bytesPerSample = depth / 8;
  // Colour mode data and image resources ("8BIM" blocks) are skipped whole.
  r.skip(be.u32());
  r.skip(be.u32());
  const uint32_t layerSection = be.u32();
  if (!r.ok() || layerSection > r.remaining()) return (why = "its sections reach past the end", false);
  const size_t afterLayers = r.position() + layerSection;
  if (layerSection >= 4) {
    const uint32_t layerInfo = be.u32();
    if (layerInfo > afterLayers - r.position()) return (why = "its layer information reaches past the end", false);
    const size_t infoEnd = r.position() + layerInfo;
    if (layerInfo >= 2 && !parseLayers(r, infoEnd, bytesPerSample, grey, why)) return false;
    if (!r.seek(infoEnd)) return (why = "its layers are cut short", false);
    if (!parseTaggedLayers(r, afterLayers, bytesPerSample, grey, why)) return false;
  }
  if (!r.ok()) return (why = "its layers are cut short", false);
  if (layers_.empty()) return parseMerged(r, afterLayers, channels, bytesPerSample, grey, why);
  return true;
}

// A document without layers: its merged image is the one layer.
bool CPSD::parseMerged(ByteReader& r, size_t start, int channels, int bytesPerSample, bool grey, std::string& why) {
  BigEndian be{r};
  if (!r.seek(start)) return (why = "its merged image is missing", false);
  Layer layer;
  layer.name = CXString("Background");
  layer.rect = CXRect(0, 0, docWidth_, docHeight_);
  const size_t w = docWidth_, h = docHeight_, pixels = w * h, rowBytes = w * static_cast<size_t>(bytesPerSample);
  const int compression = be.u16();
  const int planes = std::min(channels, grey ? 1 : 3);
  if (!r.ok() || pixels > (r.remaining() + 1) * 128) return (why = "its merged image is too short for its size", false);
  layer.rgba.assign(pixels * 4, 255);
  std::vector<uint8_t> row(rowBytes);
  std::vector<uint16_t> counts;
  if (compression == 1) {
    if (!r.has(static_cast<size_t>(channels) * h * 2)) return (why = "its merged image is cut short", false);
    for (size_t k = 0; k < static_cast<size_t>(channels) * h; ++k) counts.push_back(be.u16());
  } else if (compression != 0) {
    return (why = "its merged image uses an unknown compression", false);
  }
  for (int c = 0; c < planes; ++c) {
    for (size_t y = 0; y < h; ++y) {
      if (compression == 0) {
        std::span<const uint8_t> bytes = r.view(rowBytes);
        if (!r.ok()) return (why = "its merged image is cut short", false);
        std::memcpy(row.data(), bytes.data(), rowBytes);
      } else {
        std::span<const uint8_t> packed = r.view(counts[c * h + y]);
        if (!r.ok() || !CRLECompression2::decodeRow(packed.data(), packed.size(), row.data(), rowBytes))
          return (why = "its merged image rows cannot be unpacked", false);
      }
      for (size_t x = 0; x < w; ++x)
        for (int k = grey ? 0 : c; k <= (grey ? 2 : c); ++k)
          layer.rgba[(y * w + x) * 4 + k] = row[x * static_cast<size_t>(bytesPerSample)];
    }
  }
  layers_.push_back(std::move(layer));
  return true;
}

bool CPSD::LoadFromMemory(const uint8_t* data, size_t size) {
  create(0, 0);
  std::string why;
  if (!parse(data, size, why)) {
    layers_.clear();
    docWidth_ = docHeight_ = 0;
    TLOG_WARN("Photoshop document refused: " << why);
    return false;
  }
  for (int i = 0; i < GetLayerCount(); ++i)
    if (SelectLayer(i)) break;
  return true;
}

bool CPSD::Load(CFileContext* context, const CXString& name) {
  std::vector<uint8_t> bytes;
  if (!CFile::readAll(context, name, bytes)) {
    create(0, 0);
    layers_.clear();
    TLOG_WARN("Photoshop document " << name.view() << " not found");
    return false;
  }
  if (!LoadFromMemory(bytes.data(), bytes.size())) return false;
  setFileName(name);
  return true;
}

bool CPSD::Load(CFile* file) {
  if (!file || !file->isOpen()) return false;
  long length = file->Length();
  if (length <= 0 || length > (1L << 30)) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  file->Seek(0, SEEK_SET);
  if (file->Read(bytes.data(), static_cast<int>(length)) != length) return false;
  return LoadFromMemory(bytes.data(), bytes.size());
}

const CPSD::Layer* CPSD::getLayer(int index) const {
  return index >= 0 && index < GetLayerCount() ? &layers_[static_cast<size_t>(index)] : nullptr;
}

CXString CPSD::GetLayerName(int index) const {
  const Layer* layer = getLayer(index);
  return layer ? layer->name : CXString();
}

CXRect CPSD::GetLayerRect(int index) const {
  const Layer* layer = getLayer(index);
  return layer ? layer->rect : CXRect();
}

bool CPSD::SelectLayer(int index) {
  const Layer* layer = getLayer(index);
  if (!layer || !create(layer->rect.width(), layer->rect.height(), 16, true)) return false;
  uint16_t* pixels = pixels16();
  uint8_t* alpha = GetAlphaPtr();
  const size_t count = static_cast<size_t>(Width()) * Height();
  for (size_t p = 0; p < count; ++p) {
    const uint8_t* s = layer->rgba.data() + p * 4;
    pixels[p] = static_cast<uint16_t>(((s[0] >> 3) << 11) | ((s[1] >> 2) << 5) | (s[2] >> 3));
    alpha[p] = s[3];
  }
  SetPosition(layer->rect.left + getAnchor().x, layer->rect.top + getAnchor().y);
  return true;
}

bool CPSD::SelectLayer(const CXString& name) {
  for (int i = 0; i < GetLayerCount(); ++i)
    if (layers_[static_cast<size_t>(i)].name.view() == name.view()) return SelectLayer(i);
  return false;
}

std::vector<uint8_t> CPSD::write(int width, int height, const std::vector<Layer>& layers) {
  ByteWriter body;  // layer info: count, records, channel data
  auto be16 = [](ByteWriter& w, uint16_t v) { w.u16(__builtin_bswap16(v)); };
  auto be32 = [](ByteWriter& w, uint32_t v) { w.u32(__builtin_bswap32(v)); };
  // Channel data first, so the records can state their lengths.
  std::vector<std::vector<std::vector<uint8_t>>> channelData;
  for (const Layer& layer : layers) {
    const int w = layer.rect.width(), h = layer.rect.height();
    std::vector<std::vector<uint8_t>> planes;
    for (int c : {3, 0, 1, 2}) {
      ByteWriter counts, rows;
      be16(counts, 1);
      std::vector<uint8_t> row(static_cast<size_t>(std::max(w, 0)));
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) row[x] = layer.rgba[(static_cast<size_t>(y) * w + x) * 4 + c];
        std::vector<uint8_t> packed = CRLECompression2::encodeRow(row.data(), row.size());
        be16(counts, static_cast<uint16_t>(packed.size()));
        rows.bytes(packed);
      }
      std::vector<uint8_t> plane = counts.take();
      plane.insert(plane.end(), rows.data().begin(), rows.data().end());
      planes.push_back(std::move(plane));
    }
    channelData.push_back(std::move(planes));
  }
  be16(body, static_cast<uint16_t>(layers.size()));
  for (size_t i = 0; i < layers.size(); ++i) {
    const Layer& layer = layers[i];
    be32(body, static_cast<uint32_t>(layer.rect.top));
    be32(body, static_cast<uint32_t>(layer.rect.left));
    be32(body, static_cast<uint32_t>(layer.rect.bottom));
    be32(body, static_cast<uint32_t>(layer.rect.right));
    be16(body, 4);
    const int ids[] = {-1, 0, 1, 2};
    for (int c = 0; c < 4; ++c) {
      be16(body, static_cast<uint16_t>(ids[c]));
      be32(body, static_cast<uint32_t>(channelData[i][c].size()));
    }
    body.bytes("8BIMnorm", 8);
    body.u8(255);
    body.u8(0);
    body.u8(0);
    body.u8(0);
    std::string name = layer.name.str().substr(0, 255);
    size_t namePadded = (1 + name.size() + 3) / 4 * 4;
    be32(body, static_cast<uint32_t>(8 + namePadded));
    be32(body, 0);
    be32(body, 0);
    body.u8(static_cast<uint8_t>(name.size()));
    body.bytes(name.data(), name.size());
    for (size_t k = 1 + name.size(); k < namePadded; ++k) body.u8(0);
  }
  for (const auto& planes : channelData)
    for (const auto& plane : planes) body.bytes(plane);

  ByteWriter out;
  out.bytes("8BPS", 4);
  be16(out, 1);
  for (int i = 0; i < 6; ++i) out.u8(0);
  be16(out, 3);
  be32(out, static_cast<uint32_t>(height));
  be32(out, static_cast<uint32_t>(width));
  be16(out, 8);
  be16(out, 3);
  be32(out, 0);  // colour mode data
  be32(out, 0);  // image resources
  be32(out, static_cast<uint32_t>(4 + body.size() + 4));
  be32(out, static_cast<uint32_t>(body.size()));
  out.bytes(body.data().data(), body.size());
  be32(out, 0);  // global layer mask
  // Merged image: raw, three white planes.
  be16(out, 0);
  std::vector<uint8_t> white(static_cast<size_t>(width) * height * 3, 255);
  out.bytes(white);
  return out.take();
}
