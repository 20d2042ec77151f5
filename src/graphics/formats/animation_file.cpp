// ANN files: the "NVP" and "NV+" layouts, the oldest layout ("PIK", "PI2", "PI3"), and the writer.
#include <algorithm>
#include <cstring>

#include "files/bytereader.h"
#include "files/file.h"
#include "files/file_bytes.h"
#include "foundation/log.h"
#include "graphics/animation.h"
#include "graphics/formats/frame_codec.h"

using tarnvik::ByteReader;
using tarnvik::ByteWriter;

namespace {

constexpr size_t kEventRecord = 67;
constexpr size_t kEntryRecord = 30;
constexpr size_t kFrameHeader = 52;
constexpr size_t kFrameHeaderPlus = 32;
constexpr size_t kOldHeader = 12;

// A string stored as its length with the terminating zero (4 bytes) and the bytes; the text ends at
// the first zero.
bool readString(ByteReader& r, CXString& out) {
  int32_t length = r.i32();
  if (!r.ok() || length < 0 || static_cast<size_t>(length) > r.remaining()) {
    r.fail();
    return false;
  }
  auto bytes = r.view(static_cast<size_t>(length));
  size_t end = 0;
  while (end < bytes.size() && bytes[end] != 0) ++end;
  out = CXString(std::string(reinterpret_cast<const char*>(bytes.data()), end));
  return r.ok();
}

void writeString(ByteWriter& w, const CXString& text) {
  w.i32(static_cast<int32_t>(text.str().size() + 1));
  w.bytes(text.str().data(), text.str().size());
  w.u8(0);
}

struct FrameHeader {
  int width = 0, height = 0, x = 0, y = 0, compression = 0;
  uint32_t colorSize = 0, alphaSize = 0;
  std::array<uint32_t, 3> extra{};
  std::vector<uint32_t> more;
};

bool readFrameHeader(ByteReader& r, size_t headerSize, FrameHeader& h) {
  size_t start = r.position();
  h.width = r.u16();
  h.height = r.u16();
  h.x = r.i16();
  h.y = r.i16();
  h.compression = r.u16();
  h.colorSize = r.u32();
  size_t k = r.u16();
  if (!r.ok() || k > (headerSize - 16) / 4) return false;
  for (size_t i = 0; i < k; ++i) {
    uint32_t v = r.u32();
    if (i < 3) h.extra[i] = v;
    else if (i == 3) h.alphaSize = v;
    else h.more.push_back(v);
  }
  return r.seek(start + headerSize);
}

void writeFrameHeader(ByteWriter& w, size_t headerSize, const CAnimoFrame& f, int compression, size_t colorSize,
                      size_t alphaSize) {
  size_t start = w.size();
  w.u16(static_cast<uint16_t>(f.Width()));
  w.u16(static_cast<uint16_t>(f.Height()));
  w.i16(static_cast<int16_t>(f.GetPosition().x));
  w.i16(static_cast<int16_t>(f.GetPosition().y));
  w.u16(static_cast<uint16_t>(compression));
  w.u32(static_cast<uint32_t>(colorSize));
  const size_t room = (headerSize - 16) / 4;
  std::vector<uint32_t> values(f.extra.begin(), f.extra.end());
  bool extras = std::any_of(f.extra.begin(), f.extra.end(), [](uint32_t v) { return v != 0; });
  if (alphaSize > 0 || !f.more.empty()) {
    values.push_back(static_cast<uint32_t>(alphaSize));
    values.insert(values.end(), f.more.begin(), f.more.end());
  } else if (!extras) {
    values.clear();
  }
  values.resize(std::min(values.size(), room));
  w.u16(static_cast<uint16_t>(values.size()));
  for (uint32_t v : values) w.u32(v);
  while (w.size() < start + headerSize) w.u8(0);
}

// When set, frames are unpacked as they are read.
bool g_unpackAtLoad = false;

// A frame over its stored blocks, unpacked when due; an empty frame (with a warning) when its size is refused.
std::unique_ptr<CAnimoFrame> makeFrame(const FrameHeader& h, int depth, const std::shared_ptr<const tarnvik::FileBytes>& file,
                                       std::span<const uint8_t> color, std::span<const uint8_t> alpha, int index,
                                       CXString& problem) {
  auto frame = std::make_unique<CAnimoFrame>();
  frame->compression = h.compression;
  frame->extra = h.extra;
  frame->more = h.more;
  frame->SetPosition(h.x, h.y);
  if (h.width == 0 || h.height == 0) return frame;
  if (h.width > CGraphicsObject::kMaxSide || h.height > CGraphicsObject::kMaxSide) {
    problem = "frame " + std::to_string(index) + " is too large";
    TLOG_WARN("animation: " << problem.view());
    return frame;
  }
  // The colour block is followed by the alpha block in every layout.
  const size_t offset = static_cast<size_t>(color.data() - file->data());
  frame->setPacked(tarnvik::PackedFrame{file->forParts(), offset, color.size(), alpha.size(), h.compression, h.width,
                                        h.height},
                   depth, index);
  if (g_unpackAtLoad) frame->keep();
  return frame;
}

}  // namespace

void CAnimo::setUnpackAtLoad(bool on) { g_unpackAtLoad = on; }

bool CAnimo::Load(CFileContext* context, const CXString& name) {
  TLOG_DEBUG("CAnimo -> Loading file " << name.view());
  std::shared_ptr<const tarnvik::FileBytes> bytes = CFile::readShared(context, name);
  bool ok = bytes && LoadFromBytes(bytes);
  if (!ok) {
    if (!bytes || bytes->size() == 0) resetContent();
    TLOG_WARN("CAnimo -> Loading file " << name.view() << " - Failed." << (problem_.isEmpty() ? "" : " ")
                                       << problem_.view());
    return false;
  }
  setFileName(name);
  TLOG_DEBUG("CAnimo -> Loading file " << name.view() << " - Succesfull.");
  return true;
}

bool CAnimo::Load(CFile* file) {
  std::vector<uint8_t> bytes;
  return CFile::readAll(file, bytes) && LoadFromBytes(tarnvik::FileBytes::hold(std::move(bytes)));
}

bool CAnimo::LoadFromMemory(const uint8_t* data, size_t size) {
  return LoadFromBytes(tarnvik::FileBytes::hold(data ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>()));
}

bool CAnimo::LoadFromBytes(std::shared_ptr<const tarnvik::FileBytes> file) {
  resetContent();
  const uint8_t* data = file ? file->data() : nullptr;
  const size_t size = file ? file->size() : 0;
  problem_ = CXString();
  if (!data || size < kOldHeader) {
    problem_ = "shorter than a header";
    return false;
  }
  bool ok = false;
  if (std::memcmp(data, "NVP", 3) == 0) {
    ok = readNVP(file, false);
  } else if (std::memcmp(data, "NV+", 3) == 0) {
    ok = readNVP(file, true);
    layout_ = kNVPlus;
  } else if (std::memcmp(data, "PIK", 3) == 0 || std::memcmp(data, "PI2", 3) == 0 || std::memcmp(data, "PI3", 3) == 0) {
    ok = readOldest(file, data[2] == 'K' ? 0 : data[2] == '2' ? 1 : 2);
  } else if (std::memcmp(data, "PAK", 3) == 0) {
    problem_ = "the packed \"PAK\" layout is not supported";
  } else {
    ok = readNVP(file, false);
    animoFlags_ |= kOtherLayout;
  }
  if (!ok) {
    // Nothing half-read stays: an animation without frames and events.
    CXString problem = problem_.isEmpty() ? CXString("the file ends early or holds impossible counts") : problem_;
    resetContent();
    problem_ = problem;
    return false;
  }
  if (GetNOF() > 0) placeFrame();
  // The first event's first frame is the likeliest to be shown first: the workers start on it while
  // the scene goes on loading.
  if (const CAnimoEntry* first = GetFrameInfo(0, 0)) frameAt(first->frame)->unpackAhead();
  return true;
}

bool CAnimo::readNVP(const std::shared_ptr<const tarnvik::FileBytes>& file, bool plus) {
  ByteReader r(file->data(), file->size());
  r.skip(4);
  const size_t frameCount = r.u16();
  int depth = r.u16();
  const size_t eventCount = r.u16();
  r.bytes(headerText_.data(), headerText_.size());
  r.u8();
  int fps = r.i32();
  uint32_t flags = r.u32();
  int opacity = r.u8();
  RandomFramesNumber = r.u16();
  r.skip(10);
  if (!r.ok()) return false;
  if (depth == 2) depth = 15;
  if (depth == 4) depth = 16;
  if (depth != 15 && depth != 16) {
    problem_ = "colour depth " + std::to_string(depth) + " is not supported";
    return false;
  }
  SetFlags(static_cast<int>(flags & 0xFF));
  animoFlags_ = flags & 0xFFFF00u;
  SetOpacity(opacity);
  // Kept and written back; the events carry the rates they play at.
  headerFps_ = fps;
  CXString author, description;
  int32_t length = r.i32();
  if (!r.ok() || length < 0 || static_cast<size_t>(length) > r.remaining()) return false;
  auto a = r.view(static_cast<size_t>(length));
  Author = CXString(std::string(reinterpret_cast<const char*>(a.data()), a.size()));
  length = r.i32();
  if (!r.ok() || length < 0 || static_cast<size_t>(length) > r.remaining()) return false;
  auto d = r.view(static_cast<size_t>(length));
  Description = CXString(std::string(reinterpret_cast<const char*>(d.data()), d.size()));

  // Every event takes at least its record, every frame at least its header.
  const size_t headerSize = plus ? kFrameHeaderPlus : kFrameHeader;
  if (eventCount * kEventRecord + frameCount * headerSize > r.remaining()) return false;
  std::vector<CAnimoEvent> events(eventCount);
  size_t dropped = 0;
  for (CAnimoEvent& e : events) {
    e.name = CXString(r.fixedString(32));
    size_t entries = r.u16();
    r.skip(4);
    e.loopStart = r.u16();
    e.loopEnd = r.u16();
    e.loopCount = r.u16();
    e.loopCounter = r.u16();
    e.fps = r.i32();
    e.flags = r.u32();
    e.opacity = r.u8();
    r.bytes(e.reserved.data(), e.reserved.size());
    if (!r.ok() || entries * (2 + kEntryRecord) > r.remaining()) return false;
    e.entries.resize(entries);
    for (CAnimoEntry& entry : e.entries) entry.frame = r.u16();
    for (CAnimoEntry& entry : e.entries) {
      entry.hasName = r.u32() != 0;
      entry.hasText = r.u32() != 0;
      entry.x = r.i16();
      entry.y = r.i16();
      entry.value1 = r.i32();
      entry.hasSound = r.u32() != 0;
      entry.value2 = r.i32();
      entry.value3 = r.u8();
      r.bytes(entry.reserved.data(), entry.reserved.size());
      if (entry.hasName && !readString(r, entry.name)) return false;
      if (entry.hasText && !readString(r, entry.text)) return false;
      if (entry.hasSound && !readString(r, entry.sound)) return false;
      if (!r.ok()) return false;
    }
    // Entries naming frames that do not exist are never shown.
    dropped += static_cast<size_t>(std::erase_if(e.entries, [frameCount](const CAnimoEntry& entry) {
      return static_cast<size_t>(entry.frame) >= frameCount;
    }));
  }
  if (dropped > 0) TLOG_WARN("animation: " << dropped << " event entries name frames that do not exist; skipped");

  if (frameCount * headerSize > r.remaining()) return false;
  std::vector<FrameHeader> headers(frameCount);
  for (FrameHeader& h : headers)
    if (!readFrameHeader(r, headerSize, h)) return false;
  for (size_t i = 0; i < frameCount; ++i) {
    const FrameHeader& h = headers[i];
    auto color = r.view(h.colorSize);
    auto alpha = r.view(h.alphaSize);
    if (!r.ok()) return false;
    frames_.push_back(makeFrame(h, depth, file, color, alpha, static_cast<int>(i), problem_));
  }
  events_ = std::move(events);
  return true;
}

bool CAnimo::readOldest(const std::shared_ptr<const tarnvik::FileBytes>& file, int compression) {
  layout_ = kPIK;
  const uint8_t* data = file->data();
  ByteReader r(data, file->size());
  r.skip(4);
  const size_t frameCount = r.u16();
  int depth = r.u16();
  r.skip(4);
  depth = depth == 2 ? 15 : depth == 4 ? 16 : depth == 8 ? 24 : 0;
  if (!r.ok()) return false;
  if (depth != 15 && depth != 16) {
    problem_ = "colour depth code " + std::to_string(data[6]) + " is not supported";
    return false;
  }
  if (r.remaining() >= 3) {
    std::string tag(reinterpret_cast<const char*>(data + r.position()), 3);
    if (tag == "EXT" || tag == "SEQ" || tag == "POS") {
      problem_ = "the chunk \"" + tag + "\" of the oldest layout is not supported";
      return false;
    }
  }
  if (frameCount * kFrameHeader > r.remaining()) return false;
  std::vector<FrameHeader> headers(frameCount);
  for (FrameHeader& h : headers) {
    if (!readFrameHeader(r, kFrameHeader, h)) return false;
    // The tag says how every frame is stored.
    h.compression = compression;
  }
  for (size_t i = 0; i < frameCount; ++i) {
    auto color = r.view(headers[i].colorSize);
    auto alpha = r.view(headers[i].alphaSize);
    if (!r.ok()) return false;
    frames_.push_back(makeFrame(headers[i], depth, file, color, alpha, static_cast<int>(i), problem_));
  }
  for (int k = 0; k < 3; ++k) {
    CAnimoEvent e;
    e.name = "standard";
    e.fps = 15;
    e.opacity = 255;
    e.entries.resize(frameCount);
    for (size_t i = 0; i < frameCount; ++i) e.entries[i].frame = static_cast<int>(i);
    if (k == 2) std::reverse(e.entries.begin(), e.entries.end());
    events_.push_back(std::move(e));
  }
  return true;
}

// --- writing ---

bool CAnimo::SaveToMemory(int compression, std::vector<uint8_t>& out, Layout layout) const {
  out.clear();
  if (!tarnvik::framecodec::canPack(compression)) {
    TLOG_WARN("animation: compression " << compression << " cannot be written; frames are stored unpacked");
    compression = 0;
  }
  // The oldest layout stores its frames unpacked.
  if (layout == kPIK) compression = 0;
  int depth = 16;
  for (const auto& f : frames_)
    if (f->GetDataPtr()) {
      depth = f->GetRealBpp();
      break;
    }
  if (depth != 15 && depth != 16) return false;
  for (const auto& f : frames_)
    if (f->GetDataPtr() && f->GetRealBpp() != 15 && f->GetRealBpp() != 16) return false;
  if (frames_.size() > 0xFFFF || events_.size() > 0xFFFF) return false;

  ByteWriter w;
  const size_t headerSize = layout == kNVPlus ? kFrameHeaderPlus : kFrameHeader;
  if (layout == kPIK) {
    w.bytes("PIK", 4);
    w.u16(static_cast<uint16_t>(frames_.size()));
    w.u16(depth == 15 ? 2 : 4);
    w.u32(0);
  } else {
    w.bytes(layout == kNVPlus ? "NV+" : "NVP", 4);
    w.u16(static_cast<uint16_t>(frames_.size()));
    w.u16(static_cast<uint16_t>(depth));
    w.u16(static_cast<uint16_t>(events_.size()));
    w.bytes(headerText_.data(), headerText_.size());
    w.u8(0);
    w.i32(headerFps_);
    w.u32((animoFlags_ & ~static_cast<uint32_t>(kOtherLayout)) | (static_cast<uint32_t>(GetFlags()) & 0xFF));
    w.u8(static_cast<uint8_t>(GetOpacity()));
    w.u16(static_cast<uint16_t>(RandomFramesNumber));
    for (int i = 0; i < 10; ++i) w.u8(0);
    w.i32(static_cast<int32_t>(Author.str().size()));
    w.bytes(Author.str().data(), Author.str().size());
    w.i32(static_cast<int32_t>(Description.str().size()));
    w.bytes(Description.str().data(), Description.str().size());
    for (const CAnimoEvent& e : events_) {
      if (e.entries.size() > 0xFFFF) return false;
      w.fixedString(e.name.str().substr(0, 31), 32);
      w.u16(static_cast<uint16_t>(e.entries.size()));
      w.u32(0);
      w.u16(static_cast<uint16_t>(e.loopStart));
      w.u16(static_cast<uint16_t>(e.loopEnd));
      w.u16(static_cast<uint16_t>(e.loopCount));
      w.u16(static_cast<uint16_t>(e.loopCounter));
      w.i32(e.fps);
      w.u32(e.flags);
      w.u8(e.opacity);
      w.bytes(e.reserved.data(), e.reserved.size());
      for (const CAnimoEntry& entry : e.entries) w.u16(static_cast<uint16_t>(entry.frame));
      for (const CAnimoEntry& entry : e.entries) {
        w.u32(entry.hasName ? 1 : 0);
        w.u32(entry.hasText ? 1 : 0);
        w.i16(entry.x);
        w.i16(entry.y);
        w.i32(entry.value1);
        w.u32(entry.hasSound ? 1 : 0);
        w.i32(entry.value2);
        w.u8(entry.value3);
        w.bytes(entry.reserved.data(), entry.reserved.size());
        if (entry.hasName) writeString(w, entry.name);
        if (entry.hasText) writeString(w, entry.text);
        if (entry.hasSound) writeString(w, entry.sound);
      }
    }
  }

  // Pack every frame first: the headers carry the stored sizes.
  std::vector<std::vector<uint8_t>> colors(frames_.size()), alphas(frames_.size());
  std::vector<int> frameTypes(frames_.size(), 0);
  for (size_t i = 0; i < frames_.size(); ++i) {
    // Unpacked here when still packed (and perhaps packed again by the budget after its turn).
    if (!frames_[i]->GetDataPtr()) continue;
    const CAnimoFrame& f = *frames_[i];
    const size_t count = static_cast<size_t>(f.Width()) * f.Height();
    std::vector<uint16_t> pixels(count);
    for (int y = 0; y < f.Height(); ++y) {
      const auto* row = static_cast<const uint16_t*>(f.pixels()) + static_cast<size_t>(y) * f.GetPitch();
      std::copy(row, row + f.Width(), pixels.begin() + static_cast<ptrdiff_t>(y) * f.Width());
    }
    if (f.GetRealBpp() != depth) {
      CGraphicsObject convert;
      convert.SetDataPtr(pixels.data(), f.Width(), f.Height(), f.GetRealBpp(), f.Width());
      convert.Convert(depth);
    }
    std::span<const uint8_t> alpha;
    if (f.hasAlpha()) alpha = std::span<const uint8_t>(f.GetAlphaPtr(), count);
    frameTypes[i] = compression;
    if (!tarnvik::framecodec::pack(compression, pixels, alpha, colors[i], alphas[i])) {
      frameTypes[i] = 0;
      tarnvik::framecodec::pack(0, pixels, alpha, colors[i], alphas[i]);
    }
  }
  for (size_t i = 0; i < frames_.size(); ++i)
    writeFrameHeader(w, headerSize, *frames_[i], frameTypes[i], colors[i].size(), alphas[i].size());
  for (size_t i = 0; i < frames_.size(); ++i) {
    w.bytes(colors[i]);
    w.bytes(alphas[i]);
  }
  out = w.take();
  return true;
}

bool CAnimo::Save(const CXString& name, int compression) {
  std::vector<uint8_t> bytes;
  return SaveToMemory(compression, bytes) && CFile::writeFileAtomic(name, bytes.data(), bytes.size());
}

bool CAnimo::Save(CFile* file, int compression) {
  std::vector<uint8_t> bytes;
  return file && SaveToMemory(compression, bytes) &&
         file->Write(bytes.data(), static_cast<int>(bytes.size())) == static_cast<int>(bytes.size());
}
