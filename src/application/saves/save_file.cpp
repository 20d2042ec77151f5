// The save file's layout: the envelope of checksummed sections and the header inside it.
#include "application/saves/save_file.h"

#include <zlib.h>

#include <cstring>

#include "files/bytereader.h"
#include "files/file.h"
#include "files/memory_sink.h"
#include "files/xarchive.h"

namespace tarnvik::saves {

namespace {

constexpr size_t kSectionCount = std::size(kSectionTags);
// The header's texts are names and dates; anything longer is not a header of ours.
constexpr int32_t kMaxHeaderText = 4096;

uint32_t checksum(const char* tag, std::span<const uint8_t> bytes) {
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(tag), 4);
  // zlib reads a null buffer as "start again" (0): an empty section adds nothing instead.
  if (bytes.empty()) return static_cast<uint32_t>(crc);
  return static_cast<uint32_t>(crc32(crc, bytes.data(), static_cast<uInt>(bytes.size())));
}

std::vector<uint8_t> encodeHeader(const SaveHeader& h) {
  CFile_Sink sink;
  CXArchive a(&sink, true);
  a << CXString(h.game) << static_cast<int64_t>(h.fingerprint) << CXString(h.scene) << CXString(h.date)
    << h.playMilliseconds << CXString(h.name) << h.frame;
  return std::move(sink.bytes());
}

bool decodeHeader(std::span<const uint8_t> bytes, SaveHeader& h, std::string& why) {
  CFile_Stream stream(bytes.data(), static_cast<long>(bytes.size()));
  CXArchive a(&stream, false);
  CXString game, scene, date, name;
  int64_t print = 0;
  a >> game >> print >> scene >> date >> h.playMilliseconds >> name >> h.frame;
  if (!a.isOk() || stream.Tell() != static_cast<long>(bytes.size())) {
    why = "damaged: its header does not read";
    return false;
  }
  for (const CXString* text : {&game, &scene, &date, &name})
    if (text->length() > kMaxHeaderText) {
      why = "damaged: its header does not read";
      return false;
    }
  h.game = game.str();
  h.fingerprint = static_cast<uint64_t>(print);
  h.scene = scene.str();
  h.date = date.str();
  h.name = name.str();
  return true;
}

// The sections as views into `bytes`, checked for magic, layout, order, lengths and checksums.
bool splitSections(const std::vector<uint8_t>& bytes, std::span<const uint8_t> (&out)[kSectionCount], std::string& why) {
  ByteReader r(bytes.data(), bytes.size());
  if (bytes.size() < sizeof kSaveMagic || std::memcmp(bytes.data(), kSaveMagic, sizeof kSaveMagic) != 0) {
    why = "not a save file";
    return false;
  }
  r.skip(sizeof kSaveMagic);
  int32_t layout = r.i32();
  if (!r.ok()) {
    why = "cut short before its layout number";
    return false;
  }
  if (layout != kSaveLayout) {
    why = "a save of layout " + std::to_string(layout) + "; this player reads layout " + std::to_string(kSaveLayout);
    return false;
  }
  for (size_t i = 0; i < kSectionCount; ++i) {
    const char* want = kSectionTags[i];
    std::string tag = r.fixedString(4);
    int32_t length = r.i32();
    if (!r.ok()) {
      why = std::string("cut short before section ") + want;
      return false;
    }
    if (tag != want) {
      why = "damaged: section " + tag + " where " + want + " was expected";
      return false;
    }
    if (length < 0 || static_cast<size_t>(length) + 4 > r.remaining()) {
      why = std::string("cut short in section ") + want;
      return false;
    }
    out[i] = r.view(static_cast<size_t>(length));
    uint32_t sum = r.u32();
    if (sum != checksum(want, out[i])) {
      why = std::string("damaged: section ") + want + " fails its checksum";
      return false;
    }
  }
  if (!r.atEnd()) {
    why = "damaged: bytes after its last section";
    return false;
  }
  return true;
}

}  // namespace

std::vector<uint8_t> encodeSave(const SaveImage& image) {
  ByteWriter w;
  w.bytes(kSaveMagic, sizeof kSaveMagic);
  w.i32(kSaveLayout);
  std::vector<uint8_t> head = encodeHeader(image.header);
  const std::vector<uint8_t>* sections[kSectionCount] = {&head, &image.thumbnailPng, &image.engine, &image.settings,
                                                         &image.objects};
  for (size_t i = 0; i < kSectionCount; ++i) {
    w.fixedString(kSectionTags[i], 4);
    w.i32(static_cast<int32_t>(sections[i]->size()));
    w.bytes(sections[i]->data(), sections[i]->size());
    w.u32(checksum(kSectionTags[i], *sections[i]));
  }
  return w.take();
}

bool decodeSave(const std::vector<uint8_t>& bytes, SaveImage& image, std::string& why) {
  std::span<const uint8_t> parts[kSectionCount];
  if (!splitSections(bytes, parts, why) || !decodeHeader(parts[0], image.header, why)) return false;
  image.thumbnailPng.assign(parts[1].begin(), parts[1].end());
  image.engine.assign(parts[2].begin(), parts[2].end());
  image.settings.assign(parts[3].begin(), parts[3].end());
  image.objects.assign(parts[4].begin(), parts[4].end());
  return true;
}

uint64_t fingerprint(const std::vector<uint8_t>& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace tarnvik::saves
