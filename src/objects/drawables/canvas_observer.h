// CANVAS_OBSERVER: a script object told of the refresh manager's events (initial update, frames,
// window focus). Every application has one named "CANVASOBSERVER"; scenes bind handlers to it.
#pragma once

#include "graphics/refresh_screen.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_CanvasObserver : public CMC_Object, public CCanvasObserver {
 public:
  // Event positions after ONINIT, ONDONE, ONSIGNAL, in the refresh manager's event order.
  enum {
    EVI_ONINITIALUPDATE = 3,
    EVI_ONFRAMESTARTED,
    EVI_ONFRAMECOMPOSED,
    EVI_ONWINDOWFOCUSON,
    EVI_ONWINDOWFOCUSOFF,
    EVI_ONINITIALUPDATED,
  };

  CMC_CanvasObserver(CMC_ObjectsContainer* scope, CMElement* element);
  explicit CMC_CanvasObserver(const CXString& name);
  ~CMC_CanvasObserver() override;

  const CMC_EventList* getBehavioursList() const override;
  // Saved-state record: the handlers and the name.
  bool serialize(CXArchive* archive) override;
  void onCanvasEvent(int event) override;
  // The refresh manager of the current window, or null before a display exists.
  static CRefreshScreen* screen();
  // The name of the script object whose drawable is topmost at the point, or empty.
  CXString graphicsAt(int x, int y, bool onlyVisible, int lowest, int highest, bool ignoreAlpha) const;

 private:
  void attach();
  CRefreshScreen* attached_ = nullptr;
};

class CMC_CanvasObserver_Runner : public CMC_Runner {
 public:
  enum Method {
    REFRESH = 1,
    SETBACKGROUND,
    GETGRAPHICSAT,
    SETGRAYSCALE,
    ISGRAYSCALE,
    SETBACKGROUNDPOSITION,
    MOVEBACKGROUND,
    GETBACKGROUNDPOSITIONX,
    GETBACKGROUNDPOSITIONY
  };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers CANVAS_OBSERVER (also written CANVASOBSERVER): its maker, its saved-state record and its runner.
void registerCanvasObserverType();
}  // namespace tarnvik
