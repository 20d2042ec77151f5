// IMAGE: a script object that shows one image file on the scene's screen, with methods to move,
// show, hide, clip, recolour, test and save it, as-button mouse events and collision events.
#pragma once

#include <memory>

#include "graphics/collision.h"
#include "graphics/image.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CRefreshScreen;

class CMC_Image : public CMC_Object, public CCollisionObserver {
 public:
  enum {
    EVI_ONCLICK = 3,
    EVI_ONRELEASE,
    EVI_ONFOCUSON,
    EVI_ONFOCUSOFF,
    EVI_ONCOLLISION,
    EVI_ONCOLLISIONFINISHED,
  };

  CMC_Image(CMC_ObjectsContainer* scope, CMElement* element);
  // An empty image made by code (CREATE).
  CMC_Image(CMC_ObjectsContainer* scope, const CXString& name);
  ~CMC_Image() override;

  const CMC_EventList* getBehavioursList() const override;
  CGraphicsObject* getDrawable() const override { return image_.get(); }
  CXObject* clone() const override;
  using CMC_Object::clone;
  bool done(bool unloading) override;

  CImage* getImage() const { return image_.get(); }
  // Loads another file into the image; false (empty image, warning logged) when it cannot.
  bool load(const CXString& file);
  void show(bool visible);
  // Moves through the anchor; the old and the new area are redrawn.
  void setPosition(int x, int y);
  void move(int dx, int dy);
  void resetPosition() { setPosition(resetPosition_.x, resetPosition_.y); }
  void setResetPosition(int x, int y) { resetPosition_ = CXPoint(x, y); }
  CXPoint getResetPosition() const { return resetPosition_; }
  // Registers with the refresh manager at the priority (or moves there when registered).
  void setPriority(int priority);
  // -1 when the image is not on the screen.
  int getPriority() const;
  void monitorCollisions(bool alpha);
  void stopMonitoringCollisions();
  bool isAsButton() const { return asButton_; }
  void setAsButton(bool on) { asButton_ = on; }
  // Redraws the image's area (after its pixels or clipping changed).
  void invalidate();

  // As a button (the input layer calls these): the point is in screen coordinates.
  void onMouseMove(int x, int y);
  void onMouseButton(const CXString& button, bool pressed, int x, int y);

  // Collision events from the inspector.
  void onCollision(CGraphicsObject* a, CGraphicsObject* b) override;
  void onCollisionFinished(CGraphicsObject* a, CGraphicsObject* b) override;

 private:
  void collisionEvent(int index, const char* event, CGraphicsObject* a, CGraphicsObject* b);
  static CRefreshScreen* screen();

  std::unique_ptr<CImage> image_;
  int priority_ = 0;
  bool toCanvas_ = false;
  bool asButton_ = false;
  bool focused_ = false;
  bool monitoring_ = false;
  bool flushAfterPlayed_ = false;
  CXPoint resetPosition_;
};

class CMC_Image_Runner : public CMC_Runner {
 public:
  enum Method {
    SHOW = 1, HIDE, SETPOSITION, RESETPOSITION, SETRESETPOSITION, MOVE, LOAD, CLEARCLIPPING, SETCLIPPING,
    GETPOSITIONX, GETPOSITIONY, GETWIDTH, GETHEIGHT, ISNEAR, ISINSIDE, MONITORCOLLISION, REMOVEMONITORCOLLISION,
    SETSCALEFACTOR, SETPRIORITY, GETPRIORITY, GETALPHA, GETPIXEL, MERGEALPHA, MERGEALPHA2, INVALIDATE, GETCENTERX,
    GETCENTERY, ISVISIBLE, LINK, SETASBUTTON, SETOPACITY, GETOPACITY, SAVE, SETANCHOR, FLIPH, FLIPV, RESETFLIPS,
    DRAWONTO, ISAT, GETSLIDECOMPS, GETCOLORAT, GETCOLORRAT, GETCOLORGAT, GETCOLORBAT, REPLACECOLOR
  };
  void prepareMthHashSet() override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// The IMAGE creator for CREATE and the element creator; registered with the other types.
void registerImageType();
}  // namespace tarnvik
