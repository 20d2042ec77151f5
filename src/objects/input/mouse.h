// MOUSE: a mouse listener that turns the pointer's moves and clicks into script events, with
// methods to move, show, hide, confine and query the cursor.
#pragma once

#include "input/input_manager.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Mouse : public CMC_Object, public CMouseListener {
 public:
  enum { EVI_ONMOVE = 3, EVI_ONCLICK, EVI_ONRELEASE, EVI_ONDBLCLICK };

  CMC_Mouse(CMC_ObjectsContainer* scope, CMElement* element);
  ~CMC_Mouse() override;

  const CMC_EventList* getBehavioursList() const override;
  // Record: the handlers, the name, the enabled and signal flags and the active rectangle.
  bool serialize(CXArchive* archive) override;
  // Run-time state: switches, pointer, last click and button, active rectangle.
  bool serializeState(CXArchive* archive) override;

  bool onMouseMove(const CXPoint& point) override;
  bool onClick(int button, const CXPoint& point) override;
  bool onRelease(int button, const CXPoint& point) override;
  bool onDblClick(const CXPoint& point) override;

  void enable(bool on);
  bool isEnabled() const { return enabled_; }
  void enableSignal(bool on) { signal_ = on; }
  void show(bool visible);
  CXPoint getPosition() const { return position_; }
  CXPoint getLastClick() const { return lastClick_; }
  void setPosition(const CXPoint& point);
  void setActiveRect(const CXRect& rect) { active_ = rect; }
  int getLastButton() const { return lastButton_; }

  // The button name of a number ("LEFT", "MIDDLE", "RIGHT") and back (-1 for another text).
  static const char* buttonName(int button);
  static int buttonOf(const CXString& name);

 private:
  bool outside(const CXPoint& point) const { return !active_.isEmpty() && !active_.contains(point); }

  bool enabled_ = true;
  bool signal_ = true;
  bool hidden_ = false;
  CXPoint position_, lastClick_;
  int lastButton_ = 0;
  CXRect active_;
};

class CMC_Mouse_Runner : public CMC_Runner {
 public:
  enum Method {
    SHOW = 1, HIDE, ENABLE, DISABLE, GETPOSX, GETPOSY, GETLASTCLICKPOSX, GETLASTCLICKPOSY, SET, SETPOSITION, MOVE,
    CLICK, ENABLESIGNAL, DISABLESIGNAL, MOUSERELEASE, SETCLIPRECT, LOCKACTIVECURSOR, ISLBUTTONDOWN, ISRBUTTONDOWN,
    SETACTIVERECT
  };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers MOUSE: its maker, its saved-state record and its runner.
void registerMouseType();
}  // namespace tarnvik
