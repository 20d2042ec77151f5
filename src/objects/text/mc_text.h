// TEXT: a drawable holding text laid out in a box with a FONT object's letters; composed again only
// when its text, font, box or justification changes.
#pragma once

#include <memory>

#include "graphics/text_layout.h"
#include "objects/drawables/drawable_object.h"
#include "runtime/runner.h"

class CMC_Font;
class CSimpleFont6;

// What TEXT and EDITBOX share: a FONT object named by the script, or the built-in font.
class CTextFontRef {
 public:
  void set(const CXString& name) {
    name_ = name;
    object_ = nullptr;
    life_.reset();
  }
  const CXString& name() const { return name_; }
  // The named FONT's font when it exists and has letters; otherwise the built-in font, with one
  // warning for `owner` (null when the build has no built-in font).
  CSimpleFont6* resolve(CMC_ObjectsContainer* scope, const CXString& owner);

 private:
  CXString name_;
  CMC_Font* object_ = nullptr;
  std::weak_ptr<char> life_;
  bool warned_ = false;
};

class CMC_Text : public CMC_DrawableObject {
 public:
  // Without an element: an empty text whose saved-state record is read next.
  CMC_Text(CMC_ObjectsContainer* scope, CMElement* element) : CMC_Text(scope, element, mc::TYPE_TEXT) {}
  ~CMC_Text() override;

  // A text read from a saved-state record is composed here, once its font can be looked up.
  void init() override;
  const CMC_EventList* getBehavioursList() const override;
  CGraphicsObject* getDrawable() const override { return surface_.get(); }
  bool serialize(CXArchive* archive) override;
  // Run-time state: text, font, box and justification (composed again), then the drawable's.
  bool serializeState(CXArchive* archive) override;

  void setText(const CXString& text);
  const CXString& getText() const { return text_; }
  void setFont(const CXString& fontName);
  // A box of at least 0 × 0 pixels: left, top, right, bottom.
  void setRect(const CXRect& rect);
  // Moves the box's top-left corner; the letters stay laid out as they are.
  void moveTo(int x, int y);
  const CXRect& getRect() const { return rect_; }
  void setJustify(tarnvik::HJustify h, tarnvik::VJustify v);
  void setOpacity(int opacity);
  const tarnvik::CTextLayout& getLayout() const { return layout_; }
  const tarnvik::TextBox& getBox() const { return box_; }

 protected:
  // The shared part of TEXT and the types built on it (EDITBOX): the keys FONT, TEXT, RECT,
  // HJUSTIFY, VJUSTIFY, LINESPACING, PRIORITY, VISIBLE, TOCANVAS, OPACITY.
  CMC_Text(CMC_ObjectsContainer* scope, CMElement* element, int type);
  // Lays the text out again and draws it into the drawable; the old and the new area are redrawn.
  void compose();
  // Draws what a derived type adds over the letters (the caret of an edit box).
  virtual void drawOver(CGraphicsObject& /*surface*/, CSimpleFont6* /*font*/) {}
  // The text without composing it (a record being read, composed at init).
  void keepText(const CXString& text) { text_ = text; }
  // One line that never wraps (an edit box).
  bool singleLine_ = false;
  bool composeAtInit_ = false;

 private:
  void readKeys(CMElement* element);

  std::unique_ptr<CGraphicsObject> surface_;
  CXString text_;
  CTextFontRef font_;
  CXRect rect_;
  tarnvik::TextBox box_;
  tarnvik::CTextLayout layout_;
};

class CMC_Text_Runner : public CMC_Runner {
 public:
  enum Method {
    SETTEXT = 1, GETTEXT, SETRECT, SETPOSITION, SETFONT, SETJUSTIFY, SHOW, HIDE, ISVISIBLE, SETOPACITY,
    GETOPACITY, SETPRIORITY, GETPRIORITY, GETWIDTH, GETHEIGHT, GETNUMLINES, GETPOSITIONX, GETPOSITIONY
  };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// The text a method's arguments make: each argument's text form, joined.
CXString joinedTextArguments(const CMC_Args* args);
// The element's value of a yes/no key, or `fallback` when the key is absent.
bool elementBoolOr(CMElement* element, const char* key, bool fallback);
// TEXT's maker, saved-state record and runner.
void registerTextType();
}  // namespace tarnvik
