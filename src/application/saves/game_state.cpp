// Capturing the running game into a save's sections, staging them, and putting them in place.
#include "application/saves/game_state.h"

#include <algorithm>
#include <unordered_set>

#include "application/mc_application.h"
#include "files/file.h"
#include "files/memory_sink.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "foundation/xarray.h"
#include "foundation/xrandom.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"
#include "input/input_manager.h"
#include "runtime/behaviour.h"
#include "runtime/records/object_records.h"
#include "settings/config.h"
#include "sound/sound_system.h"
#include "sound/stream.h"

namespace tarnvik::saves {

namespace {

// The smallest entries the counts below stand for, to refuse counts the bytes cannot hold.
constexpr int32_t kMinNameBytes = 4;
constexpr int32_t kMinObjectBytes = 4 * 5 + 4;
constexpr int32_t kMinContainerBytes = 4 * 4;
constexpr int32_t kMinHandlerBytes = 4 * 4;

// The bytes a body writes through the serializer.
template <typename Body>
std::string written(Body&& body) {
  CFile_Sink sink;
  CXArchive archive(&sink, true);
  if (!body(archive) || !archive.isOk()) return {};
  return std::string(sink.bytes().begin(), sink.bytes().end());
}

// A reader over bytes held elsewhere.
struct Reading {
  explicit Reading(const std::string& bytes) : stream(bytes.data(), static_cast<long>(bytes.size())), archive(&stream, false) {}
  bool atEnd() { return stream.Tell() == stream.Length(); }
  CFile_Stream stream;
  CXArchive archive;
};

// The containers on the current path, the application first.
std::vector<CMC_Scene*> currentPath(CMC_Application& application) {
  std::vector<CMC_Scene*> path{&application};
  while (CMC_Scene* child = path.back()->getCurrentChild()) path.push_back(child);
  return path;
}

CRefreshScreen* screenOf(CMC_Application& application) {
  CWindow* window = application.getWindow();
  return window ? window->getRefreshScreen() : nullptr;
}

// Every handler of an object: each key with its entries (behaviour name, the binding container's
// name, parameters). Keys in name order, so equal games write equal bytes.
bool writeHandlers(CMC_Object& object, CXArchive& a) {
  std::vector<CXString> keys = object.getBehaviourKeys();
  std::sort(keys.begin(), keys.end(), [](const CXString& x, const CXString& y) { return x.str() < y.str(); });
  a << static_cast<int32_t>(keys.size());
  for (const CXString& key : keys) {
    const CMC_HandlerList* list = object.getBehaviour(key);
    a << key << static_cast<int32_t>(list ? list->size() : 0);
    if (!list) continue;
    for (const CMC_HandlerEntry& entry : *list) {
      CMC_Behaviour* live = entry.live();
      a << (live ? live->getName() : entry.behaviourName) << (entry.scope ? entry.scope->getName() : CXString());
      CXArray* params = entry.getParams();
      int32_t n = params ? params->size() : 0;
      a << n;
      for (int32_t i = 0; i < n; ++i) {
        CXString* p = params->stringAt(i);
        a << (p ? *p : CXString());
      }
    }
  }
  return a.isOk();
}

bool writeObject(CMC_Object& object, CXArchive& a) {
  int type = object.getType();
  std::string record = mc::hasRecordType(type) ? written([&](CXArchive& r) { return object.serialize(&r); }) : std::string();
  std::string handlers = written([&](CXArchive& r) { return writeHandlers(object, r); });
  std::string state = written([&](CXArchive& r) { return object.serializeState(&r); });
  a << object.getName() << static_cast<int32_t>(type) << CXString(record) << CXString(handlers) << CXString(state);
  return a.isOk();
}

bool writeContainer(CMC_Scene& container, CXArchive& a) {
  std::string state = written([&](CXArchive& r) { return container.serializeState(&r); });
  std::vector<CMC_Object*> objects;
  for (CMC_Object* object : container.objects())
    if (!object->isTemporary()) objects.push_back(object);
  a << container.getName() << static_cast<int32_t>(container.getType()) << CXString(state)
    << static_cast<int32_t>(objects.size());
  for (CMC_Object* object : objects)
    if (!writeObject(*object, a)) return false;
  return a.isOk();
}

bool readNames(CXArchive& a, std::vector<std::string>& names) {
  int32_t n = 0;
  if (!mc::readRecordCount(&a, n, kMinNameBytes)) return false;
  for (int32_t i = 0; i < n; ++i) {
    CXString name;
    a >> name;
    names.push_back(name.str());
  }
  return a.isOk();
}

bool readContainer(CXArchive& a, StagedContainer& c) {
  CXString name, state;
  int32_t count = 0;
  a >> name >> c.type >> state;
  if (!mc::readRecordCount(&a, count, kMinObjectBytes)) return false;
  c.name = name.str();
  c.state = state.str();
  c.objects.resize(static_cast<size_t>(count));
  for (StagedObject& o : c.objects) {
    CXString oname, record, handlers, ostate;
    a >> oname >> o.type >> record >> handlers >> ostate;
    o.name = oname.str();
    o.record = record.str();
    o.handlers = handlers.str();
    o.state = ostate.str();
  }
  return a.isOk();
}

// The handlers exactly as saved: keys the save does not name lose theirs, and the saved entries
// replace the live ones where they differ (scopes found by name on the current path).
void applyHandlers(CMC_Object& object, const std::string& bytes, const std::vector<CMC_Scene*>& path) {
  Reading in(bytes);
  CXArchive& a = in.archive;
  int32_t keys = 0;
  if (!mc::readRecordCount(&a, keys, kMinNameBytes)) return;
  std::unordered_set<std::string> saved;
  bool override = object.isOverideSignals();
  object.overideSignals(false);
  for (int32_t k = 0; k < keys && a.isOk(); ++k) {
    CXString key;
    int32_t entries = 0;
    a >> key;
    if (!mc::readRecordCount(&a, entries, kMinHandlerBytes)) break;
    saved.insert(key.str());
    object.removeBehaviourForce(key);
    for (int32_t e = 0; e < entries && a.isOk(); ++e) {
      CXString behaviourName, scopeName;
      int32_t n = 0;
      a >> behaviourName >> scopeName;
      if (!mc::readRecordCount(&a, n, kMinNameBytes)) break;
      CXArray* params = n > 0 ? new CXArray(n + 1, 0.75f) : nullptr;
      for (int32_t i = 0; i < n; ++i) {
        CXString p;
        a >> p;
        params->add(new CXString(p));
      }
      CMC_ObjectsContainer* scope = nullptr;
      for (CMC_Scene* s : path)
        if (s->getName() == scopeName) scope = s;
      if (!scope) scope = object.getScene();
      CMC_Object* found = scope ? scope->getObject(behaviourName) : nullptr;
      auto* behaviour = found && found->getType() == mc::TYPE_BEHAVIOUR ? static_cast<CMC_Behaviour*>(found) : nullptr;
      object.addBehaviour(key, behaviour, params, scope);
    }
  }
  for (const CXString& key : object.getBehaviourKeys())
    if (!saved.contains(key.str())) object.removeBehaviourForce(key);
  object.overideSignals(override);
  if (!a.isOk()) TLOG_WARN("save: the handlers of " << object.getName().view() << " did not read");
}

void applyState(CMC_Object& object, const std::string& bytes) {
  Reading in(bytes);
  if (!object.serializeState(&in.archive) || !in.atEnd())
    TLOG_WARN("save: the state of " << object.getName().view() << " (" << CMC_Object::typeToString(object.getType()).view()
                                    << ") did not read; it keeps the state its definition gives");
}

// An object the running game made (CREATE, CLONE, a loaded file, a class instance): made again from
// its record and added to the container. Null when its type has no record or the record fails.
CMC_Object* remake(CMC_Scene& container, const StagedObject& saved) {
  if (saved.record.empty()) {
    TLOG_WARN("save: " << saved.name << " cannot be made again (its type has no record)");
    return nullptr;
  }
  std::unique_ptr<CMC_Object> made(mc::makeRecordObject(saved.type, &container));
  Reading in(saved.record);
  if (!made || !made->serialize(&in.archive)) {
    TLOG_WARN("save: " << saved.name << " cannot be made again from its record");
    return nullptr;
  }
  CMC_Object* object = made.release();
  container.addObject(object);
  object->init();
  return object;
}

// Pairs each saved object with a live one of the same name and type, makes the missing ones and
// removes the live objects the save does not hold (the game deleted them), then puts back handlers
// and states.
void applyContainer(CMC_Scene& container, const StagedContainer& saved, const std::vector<CMC_Scene*>& path) {
  std::vector<CMC_Object*> live;
  for (CMC_Object* object : container.objects())
    if (!object->isTemporary()) live.push_back(object);
  std::vector<CMC_Object*> paired(saved.objects.size(), nullptr);
  std::vector<bool> used(live.size(), false);
  for (size_t i = 0; i < saved.objects.size(); ++i) {
    const StagedObject& s = saved.objects[i];
    for (size_t j = 0; j < live.size() && !paired[i]; ++j)
      if (!used[j] && live[j]->getType() == s.type && live[j]->getName().str() == s.name) {
        used[j] = true;
        paired[i] = live[j];
      }
  }
  for (size_t j = 0; j < live.size(); ++j) {
    if (used[j]) continue;
    live[j]->done(true);
    if (container.removeObject(live[j])) delete live[j];
  }
  for (size_t i = 0; i < saved.objects.size(); ++i)
    if (!paired[i]) paired[i] = remake(container, saved.objects[i]);
  for (size_t i = 0; i < saved.objects.size(); ++i) {
    if (!paired[i]) continue;
    applyHandlers(*paired[i], saved.objects[i].handlers, path);
    applyState(*paired[i], saved.objects[i].state);
  }
  applyState(container, saved.state);
}

}  // namespace

bool captureGame(CMC_Application& application, CConfig* config, const HostClock& clock, SaveImage& image,
                 std::string& why) {
  std::vector<CMC_Scene*> path = currentPath(application);
  image.engine = {};
  std::string engine = written([&](CXArchive& a) {
    a << clock.frame << static_cast<int32_t>(clock.clockMs) << static_cast<int32_t>(CXRandom::state())
      << static_cast<int32_t>(path.size() - 1);
    for (size_t i = 1; i < path.size(); ++i) a << path[i]->getName();
    CInputManager* input = CInputManager::getCurrent();
    CSoundSystem* sound = CSoundSystem::current();
    a << CXString(input ? written([&](CXArchive& r) { return input->serializeState(&r); }) : std::string())
      << CXString(sound ? written([&](CXArchive& r) { return sound->serializeState(&r); }) : std::string());
    CRefreshScreen* screen = screenOf(application);
    a << CXString(screen ? written([&](CXArchive& r) { return screen->serializeState(&r); }) : std::string());
    return a.isOk();
  });
  std::string objects = written([&](CXArchive& a) {
    a << static_cast<int32_t>(path.size());
    for (CMC_Scene* container : path)
      if (!writeContainer(*container, a)) return false;
    return a.isOk();
  });
  if (engine.empty() || objects.empty()) {
    why = "the game's state could not be written";
    return false;
  }
  std::string settings = config ? config->text() : std::string();
  image.engine.assign(engine.begin(), engine.end());
  image.objects.assign(objects.begin(), objects.end());
  image.settings.assign(settings.begin(), settings.end());
  return true;
}

bool stageGame(const SaveImage& image, StagedGame& staged, std::string& why) {
  std::string engine(image.engine.begin(), image.engine.end());
  Reading e(engine);
  int32_t clockMs = 0, random = 0;
  e.archive >> staged.clock.frame >> clockMs >> random;
  CXString input, music, screen;
  readNames(e.archive, staged.path);
  e.archive >> input >> music >> screen;
  staged.screen = screen.str();
  staged.input = input.str();
  staged.music = music.str();
  if (!e.archive.isOk() || !e.atEnd() || staged.clock.frame < 0) {
    why = "damaged: its engine section does not read";
    return false;
  }
  staged.clock.clockMs = static_cast<uint32_t>(clockMs);
  staged.random = static_cast<uint32_t>(random);
  staged.settings.assign(image.settings.begin(), image.settings.end());

  std::string objects(image.objects.begin(), image.objects.end());
  Reading o(objects);
  int32_t count = 0;
  if (mc::readRecordCount(&o.archive, count, kMinContainerBytes)) {
    staged.containers.resize(static_cast<size_t>(count));
    for (StagedContainer& c : staged.containers)
      if (!readContainer(o.archive, c)) break;
  }
  if (!o.archive.isOk() || !o.atEnd() || staged.containers.size() != staged.path.size() + 1) {
    why = "damaged: its objects section does not read";
    return false;
  }
  return true;
}

bool pathExists(CMC_Application& application, const StagedGame& staged, std::string& why) {
  CMC_Scene* at = &application;
  for (const std::string& name : staged.path) {
    at = at->find(CXString(name));
    if (!at) {
      why = "its scene " + name + " is not in this game";
      return false;
    }
  }
  return true;
}

void applyGame(CMC_Application& application, CConfig* config, const StagedGame& staged) {
  CMC_Behaviour::holdAll(true);
  CMC_Scene* at = &application;
  std::vector<CMC_Scene*> path{at};
  for (const std::string& name : staged.path) {
    CMC_Scene* child = at->find(CXString(name));
    at->_goto(child, at->getCurrentChild());
    at = child;
    path.push_back(at);
  }
  for (size_t i = 0; i < path.size(); ++i) applyContainer(*path[i], staged.containers[i], path);
  if (CInputManager* input = CInputManager::getCurrent(); input && !staged.input.empty()) {
    Reading in(staged.input);
    if (!input->serializeState(&in.archive) || !in.atEnd()) TLOG_WARN("save: the state of the mouse and keys did not read");
  }
  if (CRefreshScreen* screen = screenOf(application); screen && !staged.screen.empty()) {
    Reading in(staged.screen);
    if (!screen->serializeState(&in.archive) || !in.atEnd()) TLOG_WARN("save: the state of the screen did not read");
  }
  if (CSoundSystem* sound = CSoundSystem::current(); sound && !staged.music.empty()) {
    Reading in(staged.music);
    if (!sound->serializeState(&in.archive) || !in.atEnd())
      TLOG_WARN("save: the state of the music and the animations' sounds did not read");
  }
  if (config && !config->replaceText(staged.settings)) TLOG_WARN("save: its settings did not read; the game's are kept");
  CXRandom::seed(staged.random);
  if (CWindow* window = application.getWindow()) window->showRestored();
  CMC_Behaviour::holdAll(false);
}

}  // namespace tarnvik::saves
