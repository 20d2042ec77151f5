// Bitmap fonts: reading and writing font files, building fonts from animations, measuring and drawing.
#include "graphics/font.h"

#include <algorithm>
#include <cstring>

#include "files/bytereader.h"
#include "files/file.h"
#include "foundation/log.h"
#include "graphics/animation.h"

bool CSimpleFont6::Load(CFileContext* context, const CXString& name) {
  std::vector<uint8_t> bytes;
  if (!CFile::readAll(context, name, bytes) || !LoadFromMemory(bytes.data(), bytes.size())) {
    // The FONT object that asked says so, where it was declared.
    TLOG_DEBUG("font " << name.view() << " cannot be read");
    flush();
    return false;
  }
  setFileName(name);
  return true;
}

bool CSimpleFont6::Load(CFile* file) {
  std::vector<uint8_t> bytes;
  return CFile::readAll(file, bytes) && LoadFromMemory(bytes.data(), bytes.size());
}

bool CSimpleFont6::LoadFromMemory(const uint8_t* data, size_t size) {
  flush();
  tarnvik::ByteReader r(data, size);
  uint32_t first = r.u32();
  int32_t width = r.i32(), height = r.i32(), bpp = r.i32(), count = r.i32();
  if (!r.ok()) return false;
  // A font without letters would have no cell width; one with more letters than columns neither.
  if (count < 1 || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || count > width ||
      (bpp != 15 && bpp != 16)) {
    TLOG_WARN("font: refused (" << count << " letters, " << width << " x " << height << ", " << bpp << " bits)");
    return false;
  }
  const size_t n = static_cast<size_t>(count);
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (n * n + 3 * n + pixels * 3 > r.remaining()) return false;
  auto letters = r.view(n);
  auto kerning = r.view(n * n);
  auto left = r.view(n);
  auto right = r.view(n);
  auto colour = r.view(pixels * 2);
  auto alpha = r.view(pixels);
  if (!r.ok() || !CGraphicsObject::create(width, height, bpp, true)) return false;
  firstWord_ = first;
  // Fonts made by other tools hold some other number here: only a plausible pixel size is taken.
  size_ = first <= 4096 ? static_cast<int>(first) : 0;
  letters_.assign(letters.begin(), letters.end());
  kerning_.assign(kerning.begin(), kerning.end());
  left_.assign(left.begin(), left.end());
  right_.assign(right.begin(), right.end());
  for (size_t i = 0; i < pixels; ++i) pixels16()[i] = static_cast<uint16_t>(colour[2 * i] | (colour[2 * i + 1] << 8));
  std::memcpy(GetAlphaPtr(), alpha.data(), pixels);
  cell_ = width / count;
  indexLetters();
  return true;
}

bool CSimpleFont6::SaveToMemory(std::vector<uint8_t>& out) const {
  out.clear();
  if (letters_.empty() || !pixels() || GetRealBpp() == 32) return false;
  tarnvik::ByteWriter w;
  w.u32(firstWord_);
  w.i32(Width());
  w.i32(Height());
  w.i32(GetRealBpp());
  w.i32(getLetterCount());
  w.bytes(letters_.data(), letters_.size());
  w.bytes(kerning_.data(), kerning_.size());
  w.bytes(left_.data(), left_.size());
  w.bytes(right_.data(), right_.size());
  for (int y = 0; y < Height(); ++y)
    for (int x = 0; x < Width(); ++x) w.u16(GetPixel(x, y));
  const size_t count = static_cast<size_t>(Width()) * Height();
  if (const uint8_t* alpha = GetAlphaPtr()) w.bytes(alpha, count);
  else for (size_t i = 0; i < count; ++i) w.u8(255);
  out = w.take();
  return true;
}

bool CSimpleFont6::create(CFileContext* context, const CXString& animation, const CXString&) {
  CAnimo animo;
  if (!animo.Load(context, animation)) {
    flush();
    return false;
  }
  return create(animo);
}

bool CSimpleFont6::create(const CAnimo& animation) {
  flush();
  const int count = animation.GetNOF();
  const int cell = animation.GetMaxWidth(), height = animation.GetMaxHeight();
  if (count < 1 || cell < 1 || height < 1 || static_cast<int64_t>(cell) * count > kMaxSide ||
      !CGraphicsObject::create(cell * count, height, 16, true)) {
    TLOG_WARN("font: the animation has no letters to build from");
    flush();
    return false;
  }
  cell_ = cell;
  letters_.assign(static_cast<size_t>(count), 0);
  left_.assign(static_cast<size_t>(count), 0);
  right_.assign(static_cast<size_t>(count), 0);
  kerning_.assign(static_cast<size_t>(count) * count, 0);
  for (int e = 0; e < animation.GetNOE(); ++e)
    for (const CAnimoEntry& entry : animation.GetEventInfo(e)->entries) {
      char& letter = letters_[static_cast<size_t>(entry.frame)];
      if (letter == 0 && !animation.GetEventName(e).isEmpty()) letter = animation.GetEventName(e).view()[0];
    }
  for (int i = 0; i < count; ++i) {
    CAnimoFrame* frame = animation.GetFrame(i);
    if (!frame || !frame->pixels()) {
      left_[static_cast<size_t>(i)] = static_cast<int8_t>(std::min(cell, 127));
      continue;
    }
    for (int y = 0; y < frame->Height(); ++y)
      for (int x = 0; x < frame->Width(); ++x) {
        size_t at = static_cast<size_t>(y) * Width() + static_cast<size_t>(i) * cell + x;
        uint16_t p = frame->GetPixel(x, y);
        // Letters are kept in 5-6-5 like the strip.
        if (frame->GetRealBpp() == 15) p = static_cast<uint16_t>(((p & 0x7FE0) << 1) | (p & 0x1F));
        pixels16()[at] = p;
        GetAlphaPtr()[at] = static_cast<uint8_t>(frame->GetAlpha(x, y));
      }
    int left = getLeftOffset(frame);
    int right = cell - frame->Width() + getRightOffset(frame);
    if (left >= frame->Width()) right = 0;  // wholly transparent: the left margin covers it
    left_[static_cast<size_t>(i)] = static_cast<int8_t>(std::min(left, 127));
    right_[static_cast<size_t>(i)] = static_cast<int8_t>(std::min(right, 127));
  }
  indexLetters();
  return true;
}

bool CSimpleFont6::createEmpty(int cell, int height, const std::vector<char>& letters) {
  flush();
  const auto n = static_cast<int64_t>(letters.size());
  if (n < 1 || cell < 1 || height < 1 || cell * n > kMaxSide || !CGraphicsObject::create(static_cast<int>(cell * n), height, 16, true)) {
    flush();
    return false;
  }
  cell_ = cell;
  letters_ = letters;
  left_.assign(letters.size(), 0);
  right_.assign(letters.size(), 0);
  kerning_.assign(letters.size() * letters.size(), 0);
  indexLetters();
  return true;
}

void CSimpleFont6::setMargins(int i, int left, int right) {
  if (i < 0 || i >= getLetterCount()) return;
  left_[static_cast<size_t>(i)] = static_cast<int8_t>(std::clamp(left, 0, 127));
  right_[static_cast<size_t>(i)] = static_cast<int8_t>(std::clamp(right, 0, 127));
}

void CSimpleFont6::flush() {
  CGraphicsObject::create(0, 0);
  letters_.clear();
  left_.clear();
  right_.clear();
  kerning_.clear();
  cell_ = 0;
  indexLetters();
}

void CSimpleFont6::indexLetters() {
  index_.fill(-1);
  for (size_t i = letters_.size(); i-- > 0;) index_[static_cast<unsigned char>(letters_[i])] = static_cast<int>(i);
}

int CSimpleFont6::findLetter(char c) const {
  if (c == '@') c = '<';
  else if (c == '$') c = '>';
  return index_[static_cast<unsigned char>(c)];
}

int CSimpleFont6::getKerning(int previous, int c) const {
  const int n = getLetterCount();
  if (previous < 0 || c < 0 || previous >= n || c >= n) return 0;
  return kerning_[static_cast<size_t>(previous) * n + c];
}

void CSimpleFont6::setKerning(int previous, int c, int value) {
  const int n = getLetterCount();
  if (previous < 0 || c < 0 || previous >= n || c >= n) return;
  kerning_[static_cast<size_t>(previous) * n + c] = static_cast<int8_t>(std::clamp(value, -128, 127));
}

int CSimpleFont6::advanceOf(int index, int previousIndex) const {
  // Margins from a file are kept as they are; here they count only within the cell.
  int left = std::clamp<int>(left_[static_cast<size_t>(index)], 0, cell_);
  int right = std::clamp<int>(right_[static_cast<size_t>(index)], 0, cell_ - left);
  return cell_ - left - right - getKerning(previousIndex, index);
}

int CSimpleFont6::getLetterWidth(char previous, char c) const {
  if (c == ' ') {
    int l = findLetter('l');
    return l < 0 ? 0 : advanceOf(l, -1);
  }
  if (c == '~') return 1;
  int index = findLetter(c);
  if (index < 0) return 0;
  return advanceOf(index, previous ? findLetter(previous) : -1);
}

int CSimpleFont6::drawLetter(CGraphicsObject* destination, int x, int y, char previous, char c) {
  if (c == ' ' || c == '~') return getLetterWidth(previous, c);
  int index = findLetter(c);
  if (index < 0 || !destination || !pixels()) return 0;
  int left = std::clamp<int>(left_[static_cast<size_t>(index)], 0, cell_);
  int right = std::clamp<int>(right_[static_cast<size_t>(index)], 0, cell_ - left);
  int from = index * cell_ + left, to = (index + 1) * cell_ - right;
  int advance = getLetterWidth(previous, c) + 2;
  if (to <= from) return advance;
  const CXRect keptClip = GetClippingRect();
  const CXPoint keptAnchor = getAnchor();
  const CXPoint keptPosition = GetPosition();
  setAnchor(0, 0);
  SetClippingRect(CXRect(from, 0, to, Height()));
  SetPosition(x - from, y);
  redraw(destination);
  SetClippingRect(keptClip);
  SetPosition(keptPosition.x, keptPosition.y);
  setAnchor(keptAnchor.x, keptAnchor.y);
  return advance;
}

int CSimpleFont6::drawText(CGraphicsObject* destination, int x, int y, const CXString& text) {
  int at = x;
  char previous = 0;
  for (char c : text.view()) {
    at += drawLetter(destination, at, y, previous, c);
    previous = c;
  }
  return at - x;
}

int CSimpleFont6::getTextWidth(const CXString& text) const {
  int width = 0;
  char previous = 0;
  for (char c : text.view()) {
    width += getLetterWidth(previous, c) + (c == ' ' || c == '~' || findLetter(c) < 0 ? 0 : 2);
    previous = c;
  }
  return width;
}

int CSimpleFont6::getLeftOffset(const CGraphicsObject* glyph) {
  if (!glyph || !glyph->hasAlpha()) return 0;
  for (int x = 0; x < glyph->Width(); ++x)
    for (int y = 0; y < glyph->Height(); ++y)
      if (glyph->GetAlpha(x, y) != 0) return x;
  return glyph->Width();
}

int CSimpleFont6::getRightOffset(const CGraphicsObject* glyph) {
  if (!glyph || !glyph->hasAlpha()) return 0;
  for (int x = glyph->Width() - 1; x >= 0; --x)
    for (int y = 0; y < glyph->Height(); ++y)
      if (glyph->GetAlpha(x, y) != 0) return glyph->Width() - 1 - x;
  return glyph->Width();
}

void CFontCollection::add(std::unique_ptr<CSimpleFont6> font) {
  if (font) fonts_.push_back(std::move(font));
}

CSimpleFont6* CFontCollection::get(const CXString& family, const CXString& style, int size) const {
  for (const auto& font : fonts_)
    if (font->getFamily().equalsIgnoreCase(family) && font->getStyle().equalsIgnoreCase(style) && font->getSize() == size)
      return font.get();
  return nullptr;
}
