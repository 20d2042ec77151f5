// CMC_DrawableObject: what the script types that show one drawable (IMAGE, ANIMO) have in common:
// placement on the screen, priority, as-button mouse events and collision events.
#pragma once

#include <memory>

#include "graphics/collision.h"
#include "runtime/object.h"

class CXArchive;

class CGraphicsObject;
class CHotSpot;
class CRefreshScreen;

class CMC_DrawableObject : public CMC_Object, public CCollisionObserver {
 public:
  // Where a type's mouse and collision events sit in its event list.
  struct EventIndexes {
    int click, release, focusOn, focusOff, collision, collisionFinished;
  };

  CMC_DrawableObject(CMC_ObjectsContainer* scope, CMElement* element, int type, EventIndexes events);
  CMC_DrawableObject(CMC_ObjectsContainer* scope, const CXString& name, int type, EventIndexes events);
  ~CMC_DrawableObject() override;

  // Leaves the screen and the collision inspector.
  bool done(bool unloading) override;

  void show(bool visible);
  // Redraws the drawable's area (after its pixels, clipping or frame changed).
  void invalidate();
  // Moves through the anchor; the old and the new area are redrawn.
  void setPosition(int x, int y);
  void move(int dx, int dy);
  // Registers with the refresh manager at the priority (or moves there when registered).
  void setPriority(int priority);
  // -1 when the drawable is not on the screen.
  int getPriority() const;
  void monitorCollisions(bool alpha);
  void stopMonitoringCollisions();
  bool isAsButton() const { return asButton_; }
  // As a button the drawable is a hot spot of the input dispatch, like a BUTTON.
  void setAsButton(bool on);

  // As a button: the point is in screen coordinates. The hot spot calls focus and buttonEvent.
  void onMouseMove(int x, int y);
  void onMouseButton(const CXString& button, bool pressed, int x, int y);
  void focus(bool on);
  void buttonEvent(const CXString& button, bool pressed);

  // Run-time state shared by the drawable types: place, anchor, visibility, opacity, clipping,
  // priority on the screen (or none), as-button, focus and collision monitoring.
  bool serializeState(CXArchive* archive) override;
  // The collision record's flags and the names of the objects it collides with now.
  bool serializeCollisions(CXArchive* archive);
  void onCollision(CGraphicsObject* a, CGraphicsObject* b) override;
  void onCollisionFinished(CGraphicsObject* a, CGraphicsObject* b) override;

 protected:
  // The keys every such type reads: TOCANVAS, PRIORITY, ASBUTTON, FLUSHAFTERPLAYED.
  void readCommonKeys(CMElement* element);
  // Puts the drawable on the screen when TOCANVAS asked for it; collision monitoring as the
  // element's keys say.
  void placeFromElement(CMElement* element);
  // The record part every such type shares, after the name: the file, the visibility and the keys
  // above (TOCANVAS, PRIORITY, ASBUTTON, FLUSHAFTERPLAYED, collision monitoring). Reading stores the
  // keys and gives back the file and the visibility; the type loads the file, then calls
  // restorePlacement, which monitors and puts the drawable on the screen as the record says.
  bool serializeCommon(CXArchive* archive, CXString& file, bool& visible);
  void restorePlacement();
  // Copies the shared state into a clone and gives it the same place on the screen and in the
  // collision inspector.
  void copyDrawableState(CMC_DrawableObject& copy) const;
  // Moves the drawable itself (types whose drawable moves differently override it).
  virtual void moveDrawable(int dx, int dy);
  static CRefreshScreen* screen();

  int priority_ = 0;
  bool toCanvas_ = false;
  bool asButton_ = false;
  bool focused_ = false;
  bool monitoring_ = false;
  bool flushAfterPlayed_ = false;
  int32_t restoredMonitor_ = 0;  // collision monitoring read from a record: 0 none, 1 rectangles, 2 alpha

 private:
  void collisionEvent(int index, const char* event, CGraphicsObject* a, CGraphicsObject* b);
  EventIndexes events_;
  std::unique_ptr<CHotSpot> hotSpot_;
};
