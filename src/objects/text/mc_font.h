// FONT: a script object holding one bitmap font (a font file, or an animation whose frames are the
// letters), asked for its height and the width of texts; and the built-in font texts fall back on.
#pragma once

#include <memory>

#include "graphics/font.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Font : public CMC_Object {
 public:
  // Without an element: an empty font whose saved-state record is read next.
  CMC_Font(CMC_ObjectsContainer* scope, CMElement* element);
  ~CMC_Font() override;

  bool serialize(CXArchive* archive) override;
  // Loads a font file, or builds the font from an animation (".ann"); false (empty font, warning
  // logged) when neither works.
  bool load(const CXString& file);
  CSimpleFont6* getFont() const { return font_.get(); }
  // Whether texts can draw with it: it has letters.
  bool isUsable() const { return font_->getLetterCount() > 0; }

 private:
  std::unique_ptr<CSimpleFont6> font_;
  CXString file_;
};

class CMC_Font_Runner : public CMC_Runner {
 public:
  enum Method { GETHEIGHT = 1, GETTEXTWIDTH };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// The font every text without a usable font of its own draws with; null only when the build made
// none.
CSimpleFont6* builtinFont();
// The bytes of the built-in font file (kept, not copied).
void setBuiltinFontData(const uint8_t* data, size_t size);
// Hands the font the build made to setBuiltinFontData; defined by the generated library
// tarnvik_builtin_font, which programs link and call once at start.
void installBuiltinFont();
// FONT's maker, saved-state record and runner.
void registerFontType();
}  // namespace tarnvik
