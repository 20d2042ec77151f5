// ANIMO: a script object that shows an animation file on the scene's screen, plays its named events
// and reports playback, frame changes, mouse actions and collisions as events.
#pragma once

#include <memory>

#include "graphics/animation.h"
#include "graphics/collision.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CRefreshScreen;

class CMC_Animo : public CMC_Object, public CCollisionObserver, public CPlayableObserver {
 public:
  enum {
    EVI_ONSTARTED = 3,
    EVI_ONFINISHED,
    EVI_ONPAUSED,
    EVI_ONRESUMED,
    EVI_ONFRAMECHANGEDFRAME,
    EVI_ONFRAMECHANGED,
    EVI_ONCOLLISIONFINISHED,
    EVI_ONCOLLISION,
    EVI_ONFOCUSON,
    EVI_ONFOCUSOFF,
    EVI_ONCLICK,
    EVI_ONRELEASE,
  };

  CMC_Animo(CMC_ObjectsContainer* scope, CMElement* element);
  // An empty animation made by code (CREATE).
  CMC_Animo(CMC_ObjectsContainer* scope, const CXString& name);
  ~CMC_Animo() override;

  const CMC_EventList* getBehavioursList() const override;
  CGraphicsObject* getDrawable() const override { return animo_.get(); }
  CXObject* clone() const override;
  using CMC_Object::clone;
  bool done(bool unloading) override;

  CAnimo6* getAnimo() const { return animo_.get(); }
  // Loads another file; false (no frames, warning logged) when it cannot.
  bool load(const CXString& file);
  void show(bool visible);
  // Through the anchor; the old and the new area are redrawn.
  void setPosition(int x, int y);
  void move(int dx, int dy);
  void setPriority(int priority);
  // -1 when the animation is not on the screen.
  int getPriority() const;
  void monitorCollisions(bool alpha);
  void stopMonitoringCollisions();
  bool isAsButton() const { return asButton_; }
  void setAsButton(bool on) { asButton_ = on; }
  bool getOnFirstFrame() const { return onFirstFrame_; }
  void setOnFirstFrame(bool on) { onFirstFrame_ = on; }
  bool getFlushAfterPlayed() const { return flushAfterPlayed_; }
  void invalidate();

  // Playback through the object: it is the animation's observer while it plays.
  bool play(const CXString& event, int entry = 0);
  bool play(int event);
  bool playReverse(const CXString& event, int entry);
  bool playRandom(const CXString& event, int first, int last);
  void stop(bool report);
  void pause();
  void resume();

  // As a button (the input layer calls these): the point is in screen coordinates.
  void onMouseMove(int x, int y);
  void onMouseButton(const CXString& button, bool pressed, int x, int y);

  void onCollision(CGraphicsObject* a, CGraphicsObject* b) override;
  void onCollisionFinished(CGraphicsObject* a, CGraphicsObject* b) override;

  bool onPlayableStarted(CPlayable* playable) override;
  bool onPlayableTick(CPlayable* playable) override;
  bool onPlayableFinished(CPlayable* playable) override;

 private:
  void collisionEvent(int index, const char* event, CGraphicsObject* a, CGraphicsObject* b);
  // Fires event^NAME (the event's name in upper case), then for a "_REVERSE" event event^ its base
  // name, then the plain event: the first one bound runs.
  void fireNamed(int index, const char* event, const CXString& eventName);
  static CRefreshScreen* screen();

  std::unique_ptr<CAnimo6> animo_;
  int priority_ = 0;
  bool toCanvas_ = false;
  bool asButton_ = false;
  bool focused_ = false;
  bool monitoring_ = false;
  bool flushAfterPlayed_ = false;
  bool onFirstFrame_ = false;
};

class CMC_Animo_Runner : public CMC_Runner {
 public:
  enum Method {
    SHOW = 1, HIDE, PAUSE, RESUME, SETPOSITION, MOVE, LOAD, CLEARCLIPPING, SETCLIPPING, PLAY, SETFRAME, STOP,
    ISPLAYING, GETPOSITIONX, GETPOSITIONY, GETWIDTH, GETHEIGHT, GETFRAME, GETFRAMENAME, SETFRAMENAME, GETFRAMENO,
    GETEVENTNAME, ISNEAR, ISINSIDE, PLAYRAND, MONITORCOLLISION, REMOVEMONITORCOLLISION, SETFORWARD, SETBACKWARD,
    NEXTFRAME, PREVFRAME, SETPRIORITY, GETALPHA, GETPIXEL, SETFPS, GETFPS, MERGEALPHA, INVALIDATE, GETCURRFRAMEPOSX,
    GETCURRFRAMEPOSY, GETCENTERX, GETCENTERY, GETNOE, GETNOF, GETNOFINEVENT, GETMAXWIDTH, GETMAXHEIGHT, ISVISIBLE,
    GETCFRAMEINEVENT, SETASBUTTON, SETONFF, SETOPACITY, GETOPACITY, SETVOLUME, SETPAN, SETFREQ, SETANCHOR,
    GETPRIORITY, FLIPH, FLIPV, RESETFLIPS, DRAWONTO, PLAYREVERSE, NPLAY, ISAT, GETANCHOR, GETEVENTNUMBER,
    REPLACECOLOR, GETENDX, GETENDY
  };
  void prepareMthHashSet() override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// The ANIMO type, its runner, and the element-built animations; registered with the other types.
void registerAnimoType();
}  // namespace tarnvik
