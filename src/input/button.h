// CButton: a hot spot that swaps a standard, a hover and a pressed graphic, plays a sound on hover
// and on press, can be dragged, and tells its observers what happened.
#pragma once

#include <functional>
#include <memory>

#include "input/hotspot.h"

class CControl;

// Observers of a control, in slot order.
class CControlNotifier {
 public:
  virtual ~CControlNotifier() = default;
  virtual void onControlFocusOn(CControl*, const CXPoint&) {}
  virtual void onControlFocusOff(CControl*, const CXPoint&) {}
  virtual void onControlClicked(CControl*, const CXPoint&) {}
  virtual void onControlReleased(CControl*, const CXPoint&) {}
  virtual void onControlAction(CControl*, const CXPoint&) {}
  virtual void onControlRightClick(CControl*, const CXPoint&) {}
  virtual void onStartDragging(CControl*, const CXPoint&) {}
  // `delta` is how far the pointer moved since the last drag notification.
  virtual void onDragging(CControl*, const CXPoint& /*point*/, const CXPoint& /*delta*/) {}
  virtual void onEndDragging(CControl*, const CXPoint&) {}
};

class CControl {
 public:
  virtual ~CControl() = default;
  void setNotifier(CControlNotifier* notifier) { notifier_ = notifier; }

 protected:
  CControlNotifier* notifier_ = nullptr;
};

// A graphic of the button: the drawable and, when it belongs to someone else, a token that expires
// when it goes (a destroyed graphic is then simply absent).
struct CButtonGraphic {
  CGraphicsObject* object = nullptr;
  std::weak_ptr<char> life;
  bool owned = false;  // true: no token to watch
  CGraphicsObject* get() const { return object && (owned || !life.expired()) ? object : nullptr; }
};

class CButton : public CControl, public CHotSpot {
 public:
  enum Graphic { kStandard = 0, kOnMove = 1, kOnClick = 2 };
  enum Sound { kSoundOnMove = 0, kSoundOnClick = 1 };
  // A sound hook: play (true) or stop (false).
  using SoundHook = std::function<void(bool play)>;

  CButton() : life_(std::make_shared<char>()) {}

  void setGraphic(Graphic which, CButtonGraphic graphic);
  CGraphicsObject* getGraphic(Graphic which) const { return graphics_[which].get(); }
  void SetSound(Sound which, SoundHook hook) { sounds_[which] = std::move(hook); }
  // The accent: the graphic whose shape is the hot spot (when the rectangle is empty).
  void Accent(CButtonGraphic graphic) { accent_ = graphic; }
  CGraphicsObject* getGraphics() const override;

  void Enable(bool enabled);
  void DisableButVisible();
  bool isEnabled() const { return enabled_; }
  void Freeze(bool frozen) { frozen_ = frozen; }
  // Shows (true) or takes back (false) the pressed look.
  void Force(bool forced);
  bool isForced() const { return forced_; }
  void EnableDragging(bool on) { draggable_ = on; }
  bool isDraggable() const { return draggable_; }
  bool isDragging() const { return dragging_; }
  void HideStandardWhileOnMove(bool on) { hideStandard_ = on; }
  void LockSound(bool on) { soundLocked_ = on; }
  CXPoint getLastClick() const { return lastClick_; }
  // Shows and hides the graphics as the state says.
  void syncVisibility();
  // The hot spot's state, then the button's switches, drag and last click.
  bool serializeState(CXArchive* archive) override;

 protected:
  int onLeave(const CXPoint& point) override;
  void onEnter(const CXPoint& point) override;
  void onPress(const CXPoint& point) override;
  void onRelease(const CXPoint& point) override;
  void onReleaseOutside(const CXPoint& point) override;
  bool onOtherPress(int button, const CXPoint& point) override;
  bool onHeldMove(const CXPoint& point) override;
  void onReset() override;

 private:
  void show(Graphic which, bool visible);
  void sound(Sound which, bool play);

  CButtonGraphic graphics_[3];
  CButtonGraphic accent_;
  SoundHook sounds_[2];
  bool enabled_ = true;
  bool visibleWhileDisabled_ = false;
  bool frozen_ = false;
  bool forced_ = false;
  bool draggable_ = false;
  bool dragging_ = false;
  bool hideStandard_ = false;
  bool soundLocked_ = false;
  CXPoint lastClick_, dragFrom_;
  // Observers may delete the button: calls after a notification check this first.
  std::shared_ptr<char> life_;
};
