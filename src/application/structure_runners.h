// Method tables of the APPLICATION, EPISODE and SCENE script types.
#pragma once

#include "runtime/runner.h"

// What the scene asks of its TIMER objects (the timer type lives in a higher layer).
class CTimerState {
 public:
  virtual ~CTimerState() = default;
  virtual bool isTimerEnabled() const = 0;
};

class CMC_Scene_Runner : public CMC_Runner {
 public:
  enum Method {
    STARTMUSIC = 1, STOPMUSIC, GETDRAGGEDNAME, GETPLAYINGSEQ, RUN, RUNCLONES, CREATEOBJECT, REMOVE, REMOVECLONES,
    SETMUSICVOLUME, GETMUSICVOLUME, SETMUSICPAN, SETMUSICFREQ, PAUSE, RESUME, SETMINHSPRIORITY, SETMAXHSPRIORITY,
    GETELEMENTSNO, TOTIME, ISPAUSED, GETPLAYINGANIMO, RESUMEONLY, RESUMESEQONLY, GETMINHSPRIORITY, GETMAXHSPRIORITY,
    GETRUNNINGTIMER, GETOBJECTS
  };
  void prepareMthHashSet() override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

class CMC_Episode_Runner : public CMC_Runner {
 public:
  enum Method { NEXT = 1, PREV, BACK, RESTART, GOTO, GETLATESTSCENE, GETCURRENTSCENE };
  void prepareMthHashSet() override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

class CMC_Application_Runner : public CMC_Runner {
 public:
  enum Method {
    EXIT = 1, RESTART, GOTO, SETLANGUAGE, GETLANGUAGE, PRINT, ENABLEMUSIC, DISABLEMUSIC, RUN, STOREBINARY, RUNENV,
    EXISTSENV, STARTDRAGGINGWINDOW, STOPDRAGGINGWINDOW, RELOAD, GETPLAYER, GETOBJECTS
  };
  void prepareMthHashSet() override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

// Registers the three runners with the runner registry (before it is initialised).
void registerStructureRunners();
