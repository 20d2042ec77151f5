// Scenes and episodes: entering and leaving, scene files, switching between children.
#include "application/scene.h"

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "definitions/melement.h"
#include "definitions/melementsloader.h"
#include "application/precompiled.h"
#include "files/file.h"
#include "files/file_search.h"
#include "files/path.h"
#include "foundation/log.h"
#include "foundation/spelling.h"
#include "foundation/xtimer.h"
#include "graphics/pixels/color.h"
#include "graphics/pixels/surface.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"
#include "input/hotspot.h"
#include "input/input_manager.h"
#include "platform/clock.h"
#include "runtime/behaviour.h"
#include "runtime/records/object_records.h"
#include "files/state_fields.h"
#include "sound/sound_system.h"

namespace {

const CMC_EventList& sceneEvents() {
  static const CMC_EventList list =
      CMC_Object::makeEventList({"ONDOMODAL", "ONRESTART", "ONMUSICLOOPED", "ONACTIVATE", "ONDEACTIVATE"});
  return list;
}

}  // namespace

CMC_Scene::CMC_Scene(CWindow* window, CMElement* element, CMC_ObjectsContainer* parent, int type)
    : CMC_ObjectsContainer(window, element, parent, type) {
  readSceneProperties(element);
}

CMC_Scene::CMC_Scene(CWindow* window, const CXString& name, CMC_ObjectsContainer* parent, int type)
    : CMC_ObjectsContainer(window, name, parent, type) {}

CMC_Scene::~CMC_Scene() = default;

void CMC_Scene::readSceneProperties(CMElement* element) {
  if (!element) return;
  path_ = elementValue(element, "PATH");
  background_ = elementValue(element, "BACKGROUND");
  music_ = elementValue(element, "MUSIC");
  dlls_ = elementValue(element, "DLLS");
  deamon_ = elementBool(element, "DEAMON");
  for (const char* key : {"DESCRIPTION", "AUTHOR", "COAUTHORS", "CREATIONTIME", "LASTMODIFYTIME"})
    if (elementHas(element, key)) descriptions_.emplace_back(key, elementValue(element, key));
}

const CMC_EventList* CMC_Scene::getBehavioursList() const { return &sceneEvents(); }

void CMC_Scene::setSceneStrings(const CXString& dlls, const CXString& background, const CXString& music) {
  dlls_ = dlls;
  background_ = background;
  music_ = music;
}

void CMC_Scene::addChild(CMC_Scene* child) {
  if (child && std::find(children_.begin(), children_.end(), child) == children_.end()) children_.push_back(child);
}

CMC_Scene* CMC_Scene::find(const CXString& name) const {
  for (CMC_Scene* child : children_)
    if (child->getName() == name) return child;
  return nullptr;
}

CMC_Scene* CMC_Scene::getCurrentScene() {
  CMC_Scene* scene = this;
  while (scene->current_) scene = scene->current_;
  return scene;
}

bool CMC_Scene::enterFolder(const CXString& fileName) {
  CXString relative = path_.isEmpty() ? CXString("Dane") : CPath::join("Dane", path_);
  CXString local = CPath::join(CPath::getStartDirectory(), relative);
  if (CFile::fileExists(CPath::join(local, fileName))) {
    CPath::setCurrentDirectory(local);
    return true;
  }
  CXString game = CPath::join(CPath::getDataRoot(), relative);
  CPath::setCurrentDirectory(game);
  if (CFile::dirExists(game)) return true;
  if (!path_.isEmpty())
    TLOG_WARN_AT(getOrigin(), typeToString(getType()).view() << " " << getName().view() << ": PATH " << path_.view()
                                                             << " names no folder (looked for " << relative.view() << ")");
  return false;
}

std::vector<std::string> CMC_Scene::childNames() const {
  std::vector<std::string> names;
  for (const CMC_Scene* child : children_) names.push_back(child->getName().str());
  return names;
}

bool CMC_Scene::loadCnv() {
  if (binary_) {
    // The precompiled file is looked up as the scene file is: the local copy first, then the game's.
    CXString binName = getName() + ".bin";
    enterFolder(binName);
    CXString binPath = CPath::join(CPath::getCurrentDirectory(), binName);
    std::string why;
    if (CFile::fileExists(binPath)) {
      tarnvik::precompiled::warnIfOlder(binPath, CPath::join(CPath::getCurrentDirectory(), getName() + ".cnv"));
      if (tarnvik::precompiled::loadScene(this, binPath, why)) return true;
      TLOG_WARN("scene " << getName().view() << ": " << binPath.view() << " refused (" << why
                         << "); reading the definition file instead");
    }
    enterFolder(getName() + ".cnv");
  }
  CXString fileName = getName() + ".cnv";
  if (!CFile::fileExists(CPath::join(CPath::getCurrentDirectory(), fileName))) {
    TLOG_DEBUG("scene " << getName().view() << ": no file " << fileName.view() << " in "
                        << CPath::getCurrentDirectory().view() << "; the scene runs empty");
    return false;
  }
  CMElements* elements = CMElementsLoader::load(getWindow(), fileName);
  if (!elements) {
    TLOG_WARN("scene " << getName().view() << ": cannot read " << fileName.view());
    return false;
  }
  resolveObjects(elements);
  // The element named like the scene carries the scene's own event handlers. When it also has a
  // TYPE, the object made from it keeps its name and value but not those handlers: they are the
  // scene's, and binding them twice would run them twice.
  if (CMElement* own = elements->get(getName())) {
    int at = getObjectId(getName());
    if (CMC_Object* twin = at >= 0 ? getObject(at) : nullptr) {
      for (CMC_Behaviour* inlineCode : twin->getTmpBehList())
        if (removeObject(inlineCode)) delete inlineCode;
      twin->removeAllBehaviours();
    }
    initializeBehaviours(this, own);
  }
  delete elements;
  return true;
}

void CMC_Scene::onInit() {
  // init() may add or remove objects: walk a snapshot and skip what has left.
  Walk walk(*this);
  for (CMC_Object* object : walk.snapshot())
    if (walk.present(object)) object->init();
}

void CMC_Scene::runInitBehaviour() {
  CMC_Object* init = getObject(getObjectId("__INIT__"));
  if (init && init->getType() == mc::TYPE_BEHAVIOUR) static_cast<CMC_Behaviour*>(init)->run(nullptr, nullptr, true);
}

bool CMC_Scene::initialize(CMC_Scene* from) {
  if (!dlls_.isEmpty()) TLOG_DEBUG("scene " << getName().view() << ": extension libraries ignored: " << dlls_.view());
  enterFolder(getName() + ".cnv");
  loadCnv();
  warnMissingFiles();
  if (getType() == mc::TYPE_SCENE) enterDrawing();
  onInit();
  runInitBehaviour();
  if (hasHandlerFlag(mc::EVI_ONINIT)) onSignal(CXString(mc::EV_ONINIT));
  if (!music_.isEmpty() && (!from || from->getMusicFilename() != music_)) startMusic(music_);
  startTime_ = tarnvik::engineClock().now();
  loaded_ = true;
  return true;
}

void CMC_Scene::warnMissingFiles() const {
  CWindow* window = getWindow();
  // The background is found from the scene's folder, the music from the game folder.
  CXString root = window && !window->getDataRoot().empty() ? CXString(window->getDataRoot()) : CPath::getDataRoot();
  CXString music = music_.isEmpty() ? music_ : CPath::join(root, music_);
  for (const auto& [key, written, file] : {std::tuple{"BACKGROUND", &background_, background_}, std::tuple{"MUSIC", &music_, music}}) {
    if (file.isEmpty() || CFile::canRead(window, file)) continue;
    TLOG_WARN_AT(getOrigin(), typeToString(getType()).view() << " " << getName().view() << ": " << key << " " << written->view()
                                                             << " cannot be found (looked in "
                                                             << tarnvik::files::searchedPlaces(window, file) << ")");
  }
}

void CMC_Scene::enterDrawing() {
  CWindow* window = getWindow();
  CRefreshScreen* screen = window ? window->getRefreshScreen() : nullptr;
  if (!screen) return;
  // The new scene starts from its own background (black without one) and is composed in full once
  // its initial update has run.
  screen->requestInitialUpdate();
  // The old scene's picture goes before the new one is read: a scene change holds one background.
  screen->setBackground(nullptr);
  if (background_.isEmpty() || !screen->SetBackground(background_))
    screen->SetBackground(static_cast<const CColor*>(nullptr));
}

void CMC_Scene::unload(CMC_Scene* next) {
  // An episode (or the application) leaves its current scene first.
  pending_ = nullptr;
  if (CMC_Scene* child = current_) {
    current_ = nullptr;
    child->unload(next);
  }
  // Hover and press belong to the objects about to go; the next scene starts with the whole
  // hot-spot priority range.
  if (CInputManager* input = CInputManager::getCurrent()) input->resetMouseState();
  CHotSpot::resetPriorityWindow();
  CMC_ObjectsContainer::unload();
  // Handlers this scene bound on its own, its episode's and the application's objects go with it.
  onSceneDone(this);
  if (CMC_ObjectsContainer* parent = getParent()) parent->onSubSceneDone(this);
  if (playingMusic_ && (!next || next->getMusicFilename() != music_)) stopMusic();
  if (paused_) resume();
  loaded_ = false;
}

void CMC_Scene::domodal() {
  if (pending_) {
    CMC_Scene* next = pending_;
    pending_ = nullptr;
    _goto(next, current_);
  }
  if (hasHandlerFlag(EVI_ONDOMODAL)) onSignal(CXString("ONDOMODAL"));
  if (current_) current_->domodal();
}

void CMC_Scene::_goto(CMC_Scene* next, CMC_Scene* previous) {
  if (!next) return;
  if (current_) {
    if (getType() != mc::TYPE_SCENE && hasHandlerFlag(mc::EVI_ONDONE)) onSignal(CXString(mc::EV_ONDONE));
    latestScene_ = current_->getName();
    current_->unload(next);
  }
  current_ = next;
  if (history_.empty() || history_.back() != next) history_.push_back(next);
  TLOG_INFO("entering " << next->getName().view());
  next->initialize(previous);
  onSwitch(previous, next);
}

void CMC_Scene::_goto(const CXString& name) { pending_ = find(name); }

void CMC_Scene::restart() {
  if (hasHandlerFlag(EVI_ONRESTART)) onSignal(CXString("ONRESTART"));
}

void CMC_Scene::startMusic(const CXString& file) {
  music_ = file;
  playingMusic_ = !file.isEmpty();
  // Scene music loops until the scene (or a script) stops it.
  if (CSoundSystem* sound = CSoundSystem::current()) {
    if (file.isEmpty())
      sound->StopMusic();
    else
      sound->StartMusic(file, true);
  }
}

void CMC_Scene::stopMusic() {
  playingMusic_ = false;
  if (CSoundSystem* sound = CSoundSystem::current()) sound->StopMusic();
}

void CMC_Scene::setMusicVolume(int deviceVolume) {
  musicVolume_ = deviceVolume;
  if (CSoundSystem* sound = CSoundSystem::current()) sound->setMusicVolume(deviceVolume);
}

void CMC_Scene::setMusicPan(int devicePan) {
  musicPan_ = devicePan;
  if (CSoundSystem* sound = CSoundSystem::current()) sound->setMusicPan(devicePan);
}

void CMC_Scene::setMusicFreq(int freq) {
  musicFreq_ = freq;
  if (CSoundSystem* sound = CSoundSystem::current()) sound->setMusicFreq(freq);
}

CMC_Object* CMC_Scene::createObject(const CXString& name, const CXString& typeName) {
  if (name.isEmpty() || !isTypeRegistered(typeName)) return nullptr;
  CMElement element(name);
  element.addProperty("TYPE", typeName);
  CMC_Object* object = resolve(&element);
  if (object) object->init();
  return object;
}

void CMC_Scene::pause(bool keepTimers) {
  if (paused_) return;
  paused_ = true;
  if (CWindow* window = getWindow()) {
    window->pause();
    window->getAnimationManager()->pause();
  }
  if (CSoundSystem* sound = CSoundSystem::current()) sound->getManager().pause();
  if (!keepTimers) CXTimer::enable(false);
}

void CMC_Scene::resume() {
  if (!paused_) return;
  paused_ = false;
  if (CWindow* window = getWindow()) {
    window->resume();
    window->getAnimationManager()->resume();
  }
  if (CSoundSystem* sound = CSoundSystem::current()) sound->getManager().resume();
  CXTimer::enable(true);
}

int CMC_Scene::musicVolumeFromScript(int v) {
  int64_t device = (static_cast<int64_t>(v) - 800) * 4;
  if (device <= -3100) return -10000;
  return static_cast<int>(std::min<int64_t>(device, INT32_MAX));
}

int CMC_Scene::musicPanFromScript(int p) {
  int64_t device = ((static_cast<int64_t>(p) - 400) * 4) / 2;
  if (device <= -3100) return -10000;
  if (device >= 3100) return 10000;
  return static_cast<int>(device);
}

// Episodes.

CMC_Episode::CMC_Episode(CWindow* window, CMElement* element, CMC_ObjectsContainer* parent)
    : CMC_Scene(window, element, parent, mc::TYPE_EPISODE) {
  startWith_ = elementValue(element, "STARTWITH");
}

bool CMC_Episode::initialize(CMC_Scene* from) {
  CMC_Scene::initialize(from);
  CMC_Scene* start = startScene();
  if (!start) {
    TLOG_WARN("episode " << getName().view() << ": STARTWITH " << startWith_.view() << " names none of its scenes");
    return false;
  }
  _goto(start, from);
  return true;
}

CMC_Scene* CMC_Episode::startScene() {
  CMC_Scene* start = find(startWith_);
  if (!start && !getChildren().empty()) {
    start = getChildren().front();
    if (!startWith_.isEmpty())
      TLOG_WARN_AT(getOrigin(), "episode " << getName().view() << ": STARTWITH " << startWith_.view()
                                         << " names none of its scenes; it starts with " << start->getName().view()
                                         << tarnvik::didYouMean(startWith_.view(), childNames()));
  }
  return start;
}

void CMC_Episode::restart() {
  CMC_Scene::restart();
  CMC_Scene* start = find(startWith_);
  if (!start) return;
  if (current_ == start) start->restart();
  else _goto(start, current_);
}

CMC_Scene* CMC_Episode::nextScene() const {
  const auto& scenes = getChildren();
  auto it = std::find(scenes.begin(), scenes.end(), current_);
  if (it == scenes.end() || it + 1 == scenes.end()) return nullptr;
  return *(it + 1);
}

CMC_Scene* CMC_Episode::prevScene() const {
  const auto& scenes = getChildren();
  auto it = std::find(scenes.begin(), scenes.end(), current_);
  if (it == scenes.end() || it == scenes.begin()) return nullptr;
  return *(it - 1);
}

bool CMC_Episode::back() {
  auto& entered = history();
  if (entered.size() < 2) return false;
  entered.pop_back();
  // The scene going back to is the newest entry again; entering it does not add it twice.
  setPending(entered.back());
  return true;
}

bool CMC_Scene::serializeState(CXArchive* archive) {
  bool paused = paused_, timersOn = CXTimer::isEnabled();
  int32_t volume = musicVolume_, pan = musicPan_, freq = musicFreq_, minHs = minHSPriority_, maxHs = maxHSPriority_;
  uint32_t start = startTime_;
  CXString pending = pending_ ? pending_->getName() : CXString(), latest = latestScene_;
  if (!saved::fields(archive, paused, timersOn, volume, pan, freq, minHs, maxHs, start, pending, latest)) return false;
  std::vector<CXString> names;
  int32_t entered = static_cast<int32_t>(history_.size());
  if (archive->isStoring()) {
    *archive << entered;
    for (CMC_Scene* s : history_) *archive << s->getName();
    return archive->isOk();
  }
  if (!mc::readRecordCount(archive, entered, 4)) return false;
  for (int32_t i = 0; i < entered; ++i) {
    names.emplace_back();
    *archive >> names.back();
  }
  if (!archive->isOk()) return false;
  history_.clear();
  for (const CXString& name : names)
    if (CMC_Scene* s = find(name)) history_.push_back(s);
  pending_ = pending.isEmpty() ? nullptr : find(pending);
  latestScene_ = latest;
  musicVolume_ = volume;
  musicPan_ = pan;
  musicFreq_ = freq;
  minHSPriority_ = minHs;
  maxHSPriority_ = maxHs;
  startTime_ = start;
  if (paused && !paused_) pause(timersOn);
  if (!paused && paused_) resume();
  return true;
}
