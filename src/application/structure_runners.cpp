// APPLICATION, EPISODE and SCENE methods.
#include "application/structure_runners.h"

#include "application/mc_application.h"
#include "application/scene.h"
#include "foundation/log.h"
#include "foundation/xtimer.h"
#include "graphics/window.h"
#include "input/hotspot.h"
#include "platform/clock.h"
#include "runtime/behaviour.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"
#include "settings/commandline.h"
#include "settings/language.h"
#include "sound/sound_system.h"

namespace {

CMC_Scene* asScene(CMC_Object* target) {
  if (!target) return nullptr;
  int type = target->getType();
  if (type != mc::TYPE_SCENE && type != mc::TYPE_EPISODE && type != mc::TYPE_APPLICATION) return nullptr;
  return static_cast<CMC_Scene*>(target);
}

// RUN: object name, method name, further arguments; the object is looked up from `lookIn`.
CMC_Object* runOnObject(CMC_Runner* self, CMC_ObjectsContainer* lookIn, CMC_ObjectsContainer* scope,
                        const CMC_Args* args) {
  if (CMC_Runner::argCount(args) < 2) return nullptr;
  CMC_Object* object = lookIn->getObject(self->getParameterString(args, 0));
  if (!object) return nullptr;
  CMC_Runner* runner = CMC_RunnerFactory::getRunnerFor(object);
  if (!runner) return nullptr;
  CXString method = self->getParameterString(args, 1);
  CMC_Args rest(args->begin() + 2, args->end());
  return runner->run(method, object, scope, rest.empty() ? nullptr : &rest);
}

// The object and its clones NAME_1 .. NAME_n, as far as they exist in the scene.
std::vector<CMC_Object*> clonesOf(CMC_Scene* scene, CMC_Object* object) {
  std::vector<CMC_Object*> clones;
  for (int i = 1; i <= object->getClonesNo(); ++i)
    if (CMC_Object* clone = scene->getObject(object->getName() + "_" + CXString::toString(i))) clones.push_back(clone);
  return clones;
}

// GETOBJECTS(type name, group): the GROUP becomes the container's objects of that type.
void fillWithObjects(CMC_Runner* self, CMC_ObjectsContainer* container, CMC_ObjectsContainer* scope,
                     const CMC_Args* args) {
  CMC_ObjectsContainer* lookIn = scope ? scope : container;
  CMC_Object* group = lookIn->getObject(self->getParameterString(args, 1));
  if (!group || group->getType() != mc::TYPE_GROUP) {
    TLOG_DEBUG("GETOBJECTS: no GROUP named " << self->getParameterString(args, 1).view());
    return;
  }
  std::vector<CMC_Object*> found;
  container->getObjects(self->getParameterString(args, 0), found);
  CMC_Runner::fillGroup(group, found);
}

}  // namespace

// Scenes.

CMC_Runner::MethodTable CMC_Scene_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"STARTMUSIC", STARTMUSIC},
      {"STOPMUSIC", STOPMUSIC},
      {"GETDRAGGEDNAME", GETDRAGGEDNAME},
      {"GETPLAYINGSEQ", GETPLAYINGSEQ},
      {"RUN", RUN},
      {"RUNCLONES", RUNCLONES},
      {"CREATEOBJECT", CREATEOBJECT},
      {"REMOVE", REMOVE},
      {"REMOVECLONES", REMOVECLONES},
      {"SETMUSICVOLUME", SETMUSICVOLUME},
      {"GETMUSICVOLUME", GETMUSICVOLUME},
      {"SETMUSICPAN", SETMUSICPAN},
      {"SETMUSICFREQ", SETMUSICFREQ},
      {"PAUSE", PAUSE},
      {"RESUME", RESUME},
      {"SETMINHSPRIORITY", SETMINHSPRIORITY},
      {"SETMAXHSPRIORITY", SETMAXHSPRIORITY},
      {"GETELEMENTSNO", GETELEMENTSNO},
      {"TOTIME", TOTIME},
      {"ISPAUSED", ISPAUSED},
      {"GETPLAYINGANIMO", GETPLAYINGANIMO},
      {"RESUMEONLY", RESUMEONLY},
      {"RESUMESEQONLY", RESUMESEQONLY},
      {"GETMINHSPRIORITY", GETMINHSPRIORITY},
      {"GETMAXHSPRIORITY", GETMAXHSPRIORITY},
      {"GETRUNNINGTIMER", GETRUNNINGTIMER},
      {"GETOBJECTS", GETOBJECTS},
  };
  return kMethods;
}

CMC_Object* CMC_Scene_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  CMC_Scene* scene = asScene(target);
  if (!scene) return CMC_Runner::run(id, target, scope, args);
  switch (id) {
    case STARTMUSIC:
    case STOPMUSIC:
    case SETMUSICVOLUME:
    case GETMUSICVOLUME:
    case SETMUSICPAN:
    case SETMUSICFREQ:
      return runMusic(id, scene, args);
    case RUN:
    case RUNCLONES:
    case CREATEOBJECT:
    case REMOVE:
    case REMOVECLONES:
    case GETELEMENTSNO:
    case GETOBJECTS:
      return runObjects(id, scene, target, scope, args);
    case PAUSE:
    case RESUME:
    case RESUMEONLY:
    case RESUMESEQONLY:
    case ISPAUSED:
    case TOTIME:
      return runPause(id, scene, args);
    case GETDRAGGEDNAME:
    case SETMINHSPRIORITY:
    case SETMAXHSPRIORITY:
    case GETMINHSPRIORITY:
    case GETMAXHSPRIORITY:
      return runHotSpots(id, scene, args);
    case GETPLAYINGSEQ:
    case GETPLAYINGANIMO:
    case GETRUNNINGTIMER:
      return runPlaying(id, scene);
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

CMC_Object* CMC_Scene_Runner::runMusic(int id, CMC_Scene* scene, const CMC_Args* args) {
  switch (id) {
    case STARTMUSIC:
      scene->startMusic(getParameterString(args, 0));
      return nullptr;
    case STOPMUSIC:
      scene->stopMusic();
      return nullptr;
    case SETMUSICVOLUME:
      scene->setMusicVolume(CMC_Scene::musicVolumeFromScript(getParameterInteger(args, 0)));
      return nullptr;
    case GETMUSICVOLUME:
      // Reports the stored device volume mapped once more, as the described engine does.
      return CMC_VariableFactory::integer(CMC_Scene::musicVolumeFromScript(scene->getMusicVolume()));
    case SETMUSICPAN:
      scene->setMusicPan(CMC_Scene::musicPanFromScript(getParameterInteger(args, 0)));
      return nullptr;
    case SETMUSICFREQ:
      scene->setMusicFreq(getParameterInteger(args, 0));
      return nullptr;
    default:
      return nullptr;
  }
}

CMC_Object* CMC_Scene_Runner::runObjects(int id, CMC_Scene* scene, CMC_Object* target, CMC_ObjectsContainer* scope,
                                         const CMC_Args* args) {
  switch (id) {
    case RUN:
      return runOnObject(this, scene, scope, args);
    case RUNCLONES: {
      // RUNCLONES(object, behaviour): runs the behaviour once for each clone, the clone as its
      // current object and its name as the first parameter.
      CMC_Object* object = scene->getObject(getParameterString(args, 0));
      CMC_Object* behaviour = scene->getObject(getParameterString(args, 1));
      if (!object || !behaviour || behaviour->getType() != mc::TYPE_BEHAVIOUR) return nullptr;
      for (CMC_Object* clone : clonesOf(scene, object)) {
        CMC_ParamArray params({clone->getName()});
        if (static_cast<CMC_Behaviour*>(behaviour)->run(clone, params.get(), true)) break;
      }
      return nullptr;
    }
    case CREATEOBJECT:
      // CREATEOBJECT(name, type): an empty object of a registered type.
      scene->createObject(getParameterString(args, 0), getParameterString(args, 1));
      return nullptr;
    case REMOVE: {
      CMC_Object* object = scene->getObject(scene->getObjectId(getParameterString(args, 0)));
      if (object && object != scope && object != target) {
        scene->removeObject(object);
        object->done(false);
        CMC_Behaviour::addToTrash(object);  // deleted at the end of the tick, after the running code
      }
      return nullptr;
    }
    case REMOVECLONES: {
      // REMOVECLONES(object): removes every clone of the object and starts its clone count again.
      CMC_Object* object = scene->getObject(getParameterString(args, 0));
      if (!object) return nullptr;
      for (CMC_Object* clone : clonesOf(scene, object)) {
        if (scene->getObjectId(clone->getName()) < 0) continue;
        scene->removeObject(clone);
        clone->done(false);
        CMC_Behaviour::addToTrash(clone);
      }
      object->resetClones();
      return nullptr;
    }
    case GETELEMENTSNO:
      return CMC_VariableFactory::integer(scene->getElementsNo());
    case GETOBJECTS:
      fillWithObjects(this, scene, scope, args);
      return nullptr;
    default:
      return nullptr;
  }
}

CMC_Object* CMC_Scene_Runner::runPause(int id, CMC_Scene* scene, const CMC_Args* args) {
  switch (id) {
    case PAUSE:
      scene->pause(argCount(args) > 0 && getParameterBool(args, 0));
      return nullptr;
    case RESUME:
      scene->resume();
      return nullptr;
    case RESUMEONLY:
      // Resumes the scene's drawing and sound but leaves the timers as they are.
      if (scene->isPaused()) {
        bool timers = CXTimer::isEnabled();
        scene->resume();
        CXTimer::enable(timers);
      }
      return nullptr;
    case RESUMESEQONLY:  // resumes the playing sequences only; there are none yet
      return nullptr;
    case ISPAUSED:
      return CMC_VariableFactory::boolean(scene->isPaused());
    case TOTIME:
      // Milliseconds since the scene was entered.
      return CMC_VariableFactory::integer(static_cast<int32_t>(tarnvik::engineClock().now() - scene->getStartTime()));
    default:
      return nullptr;
  }
}

CMC_Object* CMC_Scene_Runner::runHotSpots(int id, CMC_Scene* scene, const CMC_Args* args) {
  switch (id) {
    case GETDRAGGEDNAME:
      return CMC_VariableFactory::string(CXString(CHotSpot::draggedName()));
    case SETMINHSPRIORITY:
      scene->setMinHSPriority(getParameterInteger(args, 0));
      CHotSpot::setMinPriority(scene->getMinHSPriority());
      return nullptr;
    case SETMAXHSPRIORITY:
      scene->setMaxHSPriority(getParameterInteger(args, 0));
      CHotSpot::setMaxPriority(scene->getMaxHSPriority());
      return nullptr;
    case GETMINHSPRIORITY:
      return CMC_VariableFactory::integer(scene->getMinHSPriority());
    case GETMAXHSPRIORITY:
      return CMC_VariableFactory::integer(scene->getMaxHSPriority());
    default:
      return nullptr;
  }
}

CMC_Object* CMC_Scene_Runner::runPlaying(int id, CMC_Scene* scene) {
  switch (id) {
    case GETPLAYINGSEQ:    // name of a playing sequence; none play yet
    case GETPLAYINGANIMO:  // name of a playing animation; none play yet
      return CMC_VariableFactory::string(CXString());
    case GETRUNNINGTIMER: {
      // Name of the first timer of the scene that is enabled, empty when none.
      for (CMC_Object* timer : scene->getObjectsOfType(mc::TYPE_TIMER)) {
        auto* state = dynamic_cast<CTimerState*>(timer);
        if (state && state->isTimerEnabled()) return CMC_VariableFactory::string(timer->getName());
      }
      return CMC_VariableFactory::string(CXString());
    }
    default:
      return nullptr;
  }
}

// Episodes.

CMC_Runner::MethodTable CMC_Episode_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"NEXT", NEXT},
      {"PREV", PREV},
      {"BACK", BACK},
      {"RESTART", RESTART},
      {"GOTO", GOTO},
      {"GETLATESTSCENE", GETLATESTSCENE},
      {"GETCURRENTSCENE", GETCURRENTSCENE},
  };
  return kMethods;
}

CMC_Object* CMC_Episode_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_EPISODE) return CMC_Runner::run(id, target, scope, args);
  auto* episode = static_cast<CMC_Episode*>(target);
  switch (id) {
    case NEXT:
      if (CMC_Scene* next = episode->nextScene()) episode->setPending(next);
      return nullptr;
    case PREV:
      if (CMC_Scene* prev = episode->prevScene()) episode->setPending(prev);
      return nullptr;
    case BACK:
      episode->back();
      return nullptr;
    case RESTART:
      episode->restart();
      return nullptr;
    case GOTO:
      episode->_goto(getParameterString(args, 0));
      return nullptr;
    case GETLATESTSCENE:
      return CMC_VariableFactory::string(episode->getLatestScene());
    case GETCURRENTSCENE:
      return CMC_VariableFactory::string(episode->getCurrentChild() ? episode->getCurrentChild()->getName() : CXString());
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

// The application.

CMC_Runner::MethodTable CMC_Application_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"EXIT", EXIT},
      {"RESTART", RESTART},
      {"GOTO", GOTO},
      {"SETLANGUAGE", SETLANGUAGE},
      {"GETLANGUAGE", GETLANGUAGE},
      {"PRINT", PRINT},
      {"ENABLEMUSIC", ENABLEMUSIC},
      {"DISABLEMUSIC", DISABLEMUSIC},
      {"RUN", RUN},
      {"STOREBINARY", STOREBINARY},
      {"RUNENV", RUNENV},
      {"EXISTSENV", EXISTSENV},
      {"STARTDRAGGINGWINDOW", STARTDRAGGINGWINDOW},
      {"STOPDRAGGINGWINDOW", STOPDRAGGINGWINDOW},
      {"RELOAD", RELOAD},
      {"GETPLAYER", GETPLAYER},
      {"GETOBJECTS", GETOBJECTS},
  };
  return kMethods;
}

CMC_Object* CMC_Application_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope,
                                        const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_APPLICATION) return CMC_Runner::run(id, target, scope, args);
  auto* application = static_cast<CMC_Application*>(target);
  CWindow* window = application->getWindow();
  switch (id) {
    case EXIT:
      application->exit();
      return nullptr;
    case RESTART:
      application->restart();
      return nullptr;
    case GOTO:
      application->_goto(getParameterString(args, 0));
      return nullptr;
    case SETLANGUAGE:
      if (window && window->getLanguage()) window->getLanguage()->setLanguageFolder(getParameterString(args, 0));
      return nullptr;
    case GETLANGUAGE:
      return CMC_VariableFactory::string(window ? window->getLanguageFolder() : CXString());
    case PRINT:
      TLOG_INFO("PRINT " << getParameterString(args, 0).view() << ": printing is not supported");
      return nullptr;
    case ENABLEMUSIC:
    case DISABLEMUSIC:
      if (CSoundSystem* sound = CSoundSystem::current()) sound->MusicOn(id == ENABLEMUSIC);
      return nullptr;
    case RUN:
      return runOnObject(this, application->getCurrentScene(), scope, args);
    case STOREBINARY:
      application->storeBinary();
      return nullptr;
    case RUNENV: {
      // RUNENV(scene, behaviour): the named behaviour of that scene, run in that scene.
      CMC_Scene* scene = nullptr;
      CXString sceneName = getParameterString(args, 0);
      std::vector<CMC_Scene*> pending{application};
      while (!pending.empty() && !scene) {
        CMC_Scene* s = pending.back();
        pending.pop_back();
        if (s->getName() == sceneName) scene = s;
        for (CMC_Scene* child : s->getChildren()) pending.push_back(child);
      }
      CMC_Object* behaviour = scene ? scene->getObject(getParameterString(args, 1)) : nullptr;
      if (behaviour && behaviour->getType() == mc::TYPE_BEHAVIOUR)
        static_cast<CMC_Behaviour*>(behaviour)->run(nullptr, nullptr, false);
      return nullptr;
    }
    case EXISTSENV: {
      CXString sceneName = getParameterString(args, 0);
      CXString objectName = getParameterString(args, 1);
      std::vector<CMC_Scene*> pending{application};
      while (!pending.empty()) {
        CMC_Scene* s = pending.back();
        pending.pop_back();
        if (s->getName() == sceneName) return CMC_VariableFactory::boolean(s->getObjectId(objectName) >= 0);
        for (CMC_Scene* child : s->getChildren()) pending.push_back(child);
      }
      return CMC_VariableFactory::boolean(false);
    }
    case STARTDRAGGINGWINDOW:
    case STOPDRAGGINGWINDOW:  // the window is not moved by the engine on this platform
      return nullptr;
    case RELOAD:
      application->setNextGame(getParameterString(args, 0));
      return nullptr;
    case GETPLAYER: {
      CCommandLine6* commandLine = window ? window->getCommandLine() : nullptr;
      return CMC_VariableFactory::string(commandLine ? commandLine->getPlayer() : CXString());
    }
    case GETOBJECTS:
      fillWithObjects(this, application, scope, args);
      return nullptr;
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

void registerStructureRunners() {
  CMC_RunnerFactory::registerRunner(mc::TYPE_SCENE, [] { return std::unique_ptr<CMC_Runner>(new CMC_Scene_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_EPISODE,
                                    [] { return std::unique_ptr<CMC_Runner>(new CMC_Episode_Runner); });
  CMC_RunnerFactory::registerRunner(mc::TYPE_APPLICATION,
                                    [] { return std::unique_ptr<CMC_Runner>(new CMC_Application_Runner); });
}
