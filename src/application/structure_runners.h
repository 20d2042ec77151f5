// Method tables of the APPLICATION, EPISODE and SCENE script types.
#pragma once

#include "runtime/runner.h"

class CMC_Scene;

class CMC_Scene_Runner : public CMC_Runner {
 public:
  enum Method {
    STARTMUSIC = 1, STOPMUSIC, GETDRAGGEDNAME, GETPLAYINGSEQ, RUN, RUNCLONES, CREATEOBJECT, REMOVE, REMOVECLONES,
    SETMUSICVOLUME, GETMUSICVOLUME, SETMUSICPAN, SETMUSICFREQ, PAUSE, RESUME, SETMINHSPRIORITY, SETMAXHSPRIORITY,
    GETELEMENTSNO, TOTIME, ISPAUSED, GETPLAYINGANIMO, RESUMEONLY, RESUMESEQONLY, GETMINHSPRIORITY, GETMAXHSPRIORITY,
    GETRUNNINGTIMER, GETOBJECTS
  };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;

 private:
  // The methods by subject: the scene's music, its objects, pausing, hot-spot priorities, and what plays.
  CMC_Object* runMusic(int id, CMC_Scene* scene, const CMC_Args* args);
  CMC_Object* runObjects(int id, CMC_Scene* scene, CMC_Object* target, CMC_ObjectsContainer* scope,
                         const CMC_Args* args);
  CMC_Object* runPause(int id, CMC_Scene* scene, const CMC_Args* args);
  CMC_Object* runHotSpots(int id, CMC_Scene* scene, const CMC_Args* args);
  CMC_Object* runPlaying(int id, CMC_Scene* scene);
};

class CMC_Episode_Runner : public CMC_Runner {
 public:
  enum Method { NEXT = 1, PREV, BACK, RESTART, GOTO, GETLATESTSCENE, GETCURRENTSCENE };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

class CMC_Application_Runner : public CMC_Runner {
 public:
  enum Method {
    EXIT = 1, RESTART, GOTO, SETLANGUAGE, GETLANGUAGE, PRINT, ENABLEMUSIC, DISABLEMUSIC, RUN, STOREBINARY, RUNENV,
    EXISTSENV, STARTDRAGGINGWINDOW, STOPDRAGGINGWINDOW, RELOAD, GETPLAYER, GETOBJECTS
  };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

// Registers the three runners with the runner registry (before it is initialised).
void registerStructureRunners();
