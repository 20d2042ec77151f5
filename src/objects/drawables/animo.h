// ANIMO: a script object that shows an animation file on the scene's screen, plays its named events
// and reports playback, frame changes, mouse actions and collisions as events.
#pragma once

#include <memory>

#include "graphics/animation.h"
#include "objects/drawables/drawable_object.h"
#include "runtime/runner.h"

class CMC_Animo : public CMC_DrawableObject, public CPlayableObserver {
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
  // Saved-state record: the handlers, the name, the shared drawable part, then ONFIRSTFRAME,
  // PRELOAD and FPS.
  bool serialize(CXArchive* archive) override;

  // Run-time state: the drawable's, the file shown, then the playing state.
  bool serializeState(CXArchive* archive) override;
  CAnimo6* getAnimo() const { return animo_.get(); }
  // Loads another file; false (no frames, warning logged) when it cannot.
  bool load(const CXString& file);
  bool getOnFirstFrame() const { return onFirstFrame_; }
  void setOnFirstFrame(bool on) { onFirstFrame_ = on; }
  bool getFlushAfterPlayed() const { return flushAfterPlayed_; }

  // Playback through the object: it is the animation's observer while it plays.
  bool play(const CXString& event, int entry = 0);
  bool play(int event);
  bool playReverse(const CXString& event, int entry);
  bool playRandom(const CXString& event, int first, int last);
  void stop(bool report);
  void pause();
  void resume();

  bool onPlayableStarted(CPlayable* playable) override;
  bool onPlayableTick(CPlayable* playable) override;
  bool onPlayableFinished(CPlayable* playable) override;

 protected:
  void moveDrawable(int dx, int dy) override;

 private:
  // Fires event^NAME (the event's name in upper case), then for a "_REVERSE" event event^ its base
  // name, then the plain event: the first one bound runs.
  void fireNamed(int index, const char* event, const CXString& eventName);

  std::unique_ptr<CAnimo6> animo_;
  bool onFirstFrame_ = false;
  int32_t fpsKey_ = -1;  // the FPS the definition gave (-1: none, the events keep their own rates)
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
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers ANIMO: its maker, its saved-state record, its runner, and the element-built animations.
void registerAnimoType();
}  // namespace tarnvik
