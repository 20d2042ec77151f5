// The application object: built-in objects, the start object, the whole-game tick, exit and restart.
#include "application/mc_application.h"

#include <algorithm>

#include "application/precompiled.h"
#include "application/structure_parser.h"
#include "files/path.h"
#include "definitions/melement.h"
#include "foundation/log.h"
#include "foundation/spelling.h"
#include "foundation/xversion.h"
#include "graphics/window.h"
#include "runtime/behaviour.h"
#include "runtime/variable_factory.h"

namespace {

const CMC_EventList& applicationEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList(
      {"ONDOMODAL", "ONRESTART", "ONMUSICLOOPED", "ONACTIVATE", "ONDEACTIVATE", "ONUPGRADE", "ONEXIT"});
  return list;
}

std::vector<CMC_Application::BuiltinMaker>& builtins() {
  static std::vector<CMC_Application::BuiltinMaker> makers;
  return makers;
}

// "A, B, C" -> the names, blanks around each trimmed, empty pieces dropped.
std::vector<CXString> nameList(const CXString& text) {
  std::vector<CXString> names;
  std::string current;
  auto flush = [&] {
    CXString name(current);
    name.AllTrim(' ');
    if (!name.isEmpty()) names.push_back(name);
    current.clear();
  };
  for (char c : text.str()) {
    if (c == ',') flush();
    else current += c;
  }
  flush();
  return names;
}

}  // namespace

CMC_Application::CMC_Application(CWindow* window, CMElement* element, CMC_StructureParser* parser)
    : CMC_Scene(window, element, nullptr, mc::TYPE_APPLICATION) {
  startWith_ = elementValue(element, "STARTWITH");
  requiredVersion_ = elementValue(element, "TARNVIK_VERSION");
  gameVersion_ = elementValue(element, "VERSION");
  for (const char* key : {"EPISODES", "SCENES"}) {
    for (const CXString& name : nameList(elementValue(element, key))) {
      CMC_Scene* child = parser ? parser->get(name) : nullptr;
      if (!child || child == this) {
        TLOG_WARN("application " << getName().view() << ": " << key << " names " << name.view()
                                 << ", which is not declared");
        continue;
      }
      addChild(child);
      child->setParent(this);
      // The episode's scenes see the application as their grandparent.
      for (CMC_Scene* scene : child->getChildren()) scene->setParent(child);
    }
  }
}

const CMC_EventList* CMC_Application::getBehavioursList() const { return &applicationEvents(); }

void CMC_Application::registerBuiltin(BuiltinMaker maker) { builtins().push_back(std::move(maker)); }
void CMC_Application::clearBuiltins() { builtins().clear(); }

std::vector<CMC_Object*> CMC_Application::getStructureObjects() const {
  if (!initialized_) return objects();
  std::vector<CMC_Object*> alive;
  for (CMC_Object* o : structureObjects_)
    if (std::find(objects().begin(), objects().end(), o) != objects().end()) alive.push_back(o);
  return alive;
}

void CMC_Application::addBuiltins() {
  for (auto& maker : builtins())
    if (CMC_Object* object = maker(this)) addObject(object);
}

bool CMC_Application::initialize(CMC_Scene* /*from*/) {
  structureObjects_ = objects();
  initialized_ = true;
  addBuiltins();
  // The application's own objects: its file, when it has one (like an episode's).
  enterFolder(getName() + ".cnv");
  loadCnv();
  onInit();
  runInitBehaviour();
  if (hasHandlerFlag(mc::EVI_ONINIT)) onSignal(CXString(mc::EV_ONINIT));
  checkVersion();
  CMC_Scene* start = find(startWith_);
  if (!start) {
    TLOG_ERROR("application " << getName().view() << ": STARTWITH " << startWith_.view()
                              << " names none of its episodes or scenes" << tarnvik::didYouMean(startWith_.view(), childNames()));
    return false;
  }
  _goto(start, nullptr);
  return true;
}

bool CMC_Application::domodalApplication() {
  CMC_VariableFactory::clearPool();
  CMC_Behaviour::flushTrash();
  CMC_Scene::domodal();
  return !nextGame_.isEmpty();
}

void CMC_Application::restart() {
  CMC_Scene* start = find(startWith_);
  if (!start) return;
  if (current_ == start) {
    start->restart();
    return;
  }
  if (current_) current_->unload(start);
  current_ = start;
  start->initialize(nullptr);
}

void CMC_Application::exit() {
  exitRequested_ = true;
  if (CWindow* window = getWindow()) window->quit();
  if (hasHandlerFlag(EVI_ONEXIT)) onSignal(CXString("ONEXIT"));
}

bool CMC_Application::storeBinary(std::string* whyOut) {
  // Scenes, then episodes, then the application: the order the structure is built in again.
  std::vector<CMC_Scene*> scenes, episodes;
  auto addOnce = [](std::vector<CMC_Scene*>& list, CMC_Scene* s) {
    if (std::find(list.begin(), list.end(), s) == list.end()) list.push_back(s);
  };
  for (CMC_Scene* child : getChildren()) {
    if (child->getType() == mc::TYPE_EPISODE) {
      addOnce(episodes, child);
      for (CMC_Scene* scene : child->getChildren()) addOnce(scenes, scene);
    } else {
      addOnce(scenes, child);
    }
  }
  std::vector<CMC_Scene*> structure = scenes;
  structure.insert(structure.end(), episodes.begin(), episodes.end());
  structure.push_back(this);
  int written = 0;
  std::string why;
  if (!tarnvik::precompiled::storeApplication(this, structure, CPath::join(CPath::getDataRoot(), "Dane"), &written, why)) {
    TLOG_ERROR("the precompiled form was not written: " << why);
    if (whyOut) *whyOut = why;
    return false;
  }
  TLOG_INFO("precompiled form written: application.bin and " << written << " scene files");
  return true;
}

void CMC_Application::checkVersion() {
  if (requiredVersion_.isEmpty()) return;
  CXVersion required(requiredVersion_);
  if (CXVersion::getCurrentVersion()->verify(&required)) return;
  TLOG_WARN("the game asks for engine version " << requiredVersion_.view() << ", this is "
                                                << CXVersion::getCurrentVersion()->toString().view());
  if (hasHandlerFlag(EVI_ONUPGRADE)) onSignal(CXString("ONUPGRADE"));
}
