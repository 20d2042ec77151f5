// Bitmap fonts: one strip of equal letter cells with per-letter margins and kerning, loaded from a
// font file or built from an animation whose frames are the letters; and the collection that finds
// fonts by family, style and size.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/pixels/graphics_object.h"

class CAnimo;
class CFile;
class CFileContext;

class CSimpleFont6 : public CGraphicsObject {
 public:
  CSimpleFont6() = default;

  // Loads a font file by name through the file rules; false (empty font, warning logged) when it
  // cannot be read.
  bool Load(CFileContext* context, const CXString& name);
  bool Load(CFile* file);
  bool LoadFromMemory(const uint8_t* data, size_t size);
  // The font file bytes of this font.
  bool SaveToMemory(std::vector<uint8_t>& out) const;
  // Builds the font from an animation file (every frame one letter, named by the first character of
  // the event that shows it). The second argument is not used.
  bool create(CFileContext* context, const CXString& animation, const CXString& unused = CXString());
  bool create(const CAnimo& animation);
  // An empty font of one cell per letter (transparent, margins and kerning 0), for font makers to
  // fill through pixels16(), GetAlphaPtr(), setMargins and setKerning; false for refused sizes.
  bool createEmpty(int cell, int height, const std::vector<char>& letters);
  void setMargins(int i, int left, int right);
  // Frees the tables and the strip.
  void flush();

  int getLetterCount() const { return static_cast<int>(letters_.size()); }
  int getCellWidth() const { return cell_; }
  // The letter's index ("@" is looked up as "<", "$" as ">"), or -1.
  int findLetter(char c) const;
  // Width of c after p (p = 0 for none): a blank is as wide as "l", "~" is 1, otherwise the cell
  // minus both margins minus the kerning of (p, c); 0 for a character the font lacks.
  int getLetterWidth(char previous, char c) const;
  // Draws c into the destination with its left edge at x; returns the advance: the letter's width
  // (after p) plus 2 for a drawn letter, the width alone for a blank or "~", 0 for an unknown one.
  int drawLetter(CGraphicsObject* destination, int x, int y, char previous, char c);
  // Draws a line of text; returns its width.
  int drawText(CGraphicsObject* destination, int x, int y, const CXString& text);
  // The width drawText would advance.
  int getTextWidth(const CXString& text) const;

  // Fully transparent columns at the left / right of a drawable (all its columns when it is wholly
  // transparent; 0 without an alpha plane).
  static int getLeftOffset(const CGraphicsObject* glyph);
  static int getRightOffset(const CGraphicsObject* glyph);

  char getLetter(int i) const { return letters_[static_cast<size_t>(i)]; }
  int getLeftMargin(int i) const { return left_[static_cast<size_t>(i)]; }
  int getRightMargin(int i) const { return right_[static_cast<size_t>(i)]; }
  int getKerning(int previous, int c) const;
  void setKerning(int previous, int c, int value);

  const CXString& getFamily() const { return family_; }
  const CXString& getStyle() const { return style_; }
  int getSize() const { return size_; }
  void setFamily(const CXString& family) { family_ = family; }
  void setStyle(const CXString& style) { style_ = style; }
  // The size is kept in the font file's first word (the pixel size a font maker made it at).
  void setSize(int size) {
    size_ = size;
    firstWord_ = static_cast<uint32_t>(size);
  }
  // True the first time a text asks for a character the font lacks, so each is warned about once.
  bool noteMissing(char c) const {
    auto i = static_cast<unsigned char>(c);
    if (missingWarned_[i]) return false;
    missingWarned_[i] = true;
    return true;
  }

 private:
  int advanceOf(int index, int previousIndex) const;
  // Fills the character-to-letter index after the letters changed (the first of equal letters wins).
  void indexLetters();

  uint32_t firstWord_ = 0;
  int cell_ = 0;
  std::vector<char> letters_;
  std::vector<int8_t> left_, right_;
  std::vector<int8_t> kerning_;
  CXString family_, style_;
  int size_ = 0;
  mutable std::bitset<256> missingWarned_;
  std::array<int, 256> index_ = makeEmptyIndex();
  static std::array<int, 256> makeEmptyIndex() {
    std::array<int, 256> empty;
    empty.fill(-1);
    return empty;
  }
};

class CFontCollection {
 public:
  void add(std::unique_ptr<CSimpleFont6> font);
  // The first font whose family and style equal the arguments ignoring case and whose size is the
  // given size; null when none.
  CSimpleFont6* get(const CXString& family, const CXString& style, int size) const;
  size_t size() const { return fonts_.size(); }

 private:
  std::vector<std::unique_ptr<CSimpleFont6>> fonts_;
};
