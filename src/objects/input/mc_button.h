// BUTTON: a script object over a CButton built from named IMAGE, ANIMO and SOUND objects of its
// scene; turns the button's notifications into script events.
#pragma once

#include <cstdint>
#include <memory>

#include "input/button.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Button : public CMC_Object, public CControlNotifier {
 public:
  enum {
    EVI_ONFOCUSON = 3, EVI_ONFOCUSOFF, EVI_ONPAUSED, EVI_ONCLICKED, EVI_ONRELEASED, EVI_ONACTION, EVI_ONSTARTDRAGGING,
    EVI_ONDRAGGING, EVI_ONENDDRAGGING
  };

  // What the definition element says; a saved-state record keeps the same.
  struct Definition {
    CXString rect, standard, onMove, onClick, soundOnMove, soundOnClick, accent, drag, enable;
    bool draggable = false;
    int32_t priority = 0;
  };

  // Without an element (a saved-state record to be read) the button is built at init, once the
  // scene's graphics objects are there.
  CMC_Button(CMC_ObjectsContainer* scope, CMElement* element);
  ~CMC_Button() override;

  const CMC_EventList* getBehavioursList() const override;
  // A working copy: the same definition, rectangle, graphics and state, its own hot spot.
  CXObject* clone() const override;
  using CMC_Object::clone;
  void init() override;
  bool done(bool unloading) override;
  // Record: the handlers, the name and the definition's properties.
  bool serialize(CXArchive* archive) override;
  // Run-time state: the graphics' names, the dragged name, then the button's own state.
  bool serializeState(CXArchive* archive) override;

  CButton* getButton() const { return button_.get(); }
  // RECT: a graphics object's name, or "left, top, right, bottom". False when it is neither.
  bool setRect(const CXString& rect);
  void setRect(const CXRect& rect);
  // Replaces the graphic of a state; false (nothing changed) when the name is not a graphics object.
  bool setGraphic(CButton::Graphic which, const CXString& name);
  const CXString& getGraphicName(CButton::Graphic which) const { return names_[which]; }
  bool setAccent(const CXString& name);
  // The SOUND objects played on hover and press, called by name (PLAY, STOP) when they play.
  void setSound(CButton::Sound which, const CXString& name);

  void onControlFocusOn(CControl*, const CXPoint&) override;
  void onControlFocusOff(CControl*, const CXPoint&) override;
  void onControlClicked(CControl*, const CXPoint&) override;
  void onControlReleased(CControl*, const CXPoint&) override;
  void onControlAction(CControl*, const CXPoint&) override;
  void onStartDragging(CControl*, const CXPoint&) override;
  void onDragging(CControl*, const CXPoint&, const CXPoint& delta) override;
  void onEndDragging(CControl*, const CXPoint&) override;

 private:
  void build();
  void event(int index, const char* name);
  // The named IMAGE or ANIMO object visible from the scene, or null (with a warning).
  CMC_Object* graphicsObject(const CXString& name, const char* what);

  std::unique_ptr<CButton> button_;
  Definition definition_;
  bool built_ = false;
  CXString names_[3];
  CXString dragName_;
};

class CMC_Button_Runner : public CMC_Runner {
 public:
  enum Method {
    SETRECT = 1, ENABLE, DISABLE, ENABLEDRAGGING, DISABLEDRAGGING, DISABLEBUTVISIBLE, ACCENT, SETSTD, SETONMOVE,
    SETONCLICK, SETPRIORITY, GETPRIORITY, GETSTD, GETONMOVE, GETONCLICK, SYN
  };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers BUTTON: its maker, its saved-state record and its runner.
void registerButtonType();
}  // namespace tarnvik
