// EDITBOX: a one-line text field for names and answers: typed characters go to the focused box,
// editing keys move and delete, a click focuses it, and its caret blinks every 500 ms.
#pragma once

#include "graphics/window.h"
#include "input/input_manager.h"
#include "objects/text/mc_text.h"

class CMC_EditBox : public CMC_Text, public CKeyListener, public CMouseListener, public CFrameParticipant {
 public:
  enum { EVI_ONENTER = 3, EVI_ONCHANGED };
  static constexpr uint32_t kBlinkMs = 500;

  // Without an element: an empty box whose saved-state record is read next.
  CMC_EditBox(CMC_ObjectsContainer* scope, CMElement* element);
  ~CMC_EditBox() override;

  const CMC_EventList* getBehavioursList() const override;
  bool done(bool unloading) override;
  bool serialize(CXArchive* archive) override;
  // Run-time state: the text's, then the switch, the caret, its blink time and the focus.
  bool serializeState(CXArchive* archive) override;

  // The one box typed characters go to (null when none has the focus).
  static CMC_EditBox* focused();
  void setFocus();
  void enable(bool on);
  bool isEnabled() const { return enabled_; }
  // Replaces the text (cut to MAXLENGTH) and puts the caret at its end.
  void setContent(const CXString& text);
  int getCaret() const { return caret_; }

  void onKeyDown(int code) override;
  void onChar(const std::string& character) override;
  bool onClick(const CXPoint& point) override;
  // Blinks the caret.
  void frameTick() override;

 protected:
  void drawOver(CGraphicsObject& surface, CSimpleFont6* font) override;

 private:
  void listen();
  // The text cut to MAXLENGTH; the caret goes to its end.
  CXString fitted(const CXString& text);
  bool accepts() const;
  bool caretShown() const;
  void edited();
  void moveCaret(int to);

  int maxLength_ = 0;  // 0: no limit
  bool enabled_ = true;
  int caret_ = 0;
  uint32_t focusTime_ = 0;
  bool caretDrawn_ = false;
  CWindow* ticker_ = nullptr;  // the window whose frames blink the caret
};

class CMC_EditBox_Runner : public CMC_Runner {
 public:
  enum Method { SETTEXT = 1, GETTEXT, ENABLE, DISABLE, SETFOCUS, SHOW, HIDE, ISVISIBLE, SETPOSITION, SETPRIORITY };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// EDITBOX's maker, saved-state record and runner.
void registerEditBoxType();
}  // namespace tarnvik
