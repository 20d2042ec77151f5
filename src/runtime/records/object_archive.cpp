// CMC_Object's saved-state record: the handlers, by event key and behaviour name.
#include "files/xarchive.h"
#include "foundation/log.h"
#include "foundation/xarray.h"
#include "runtime/behaviour.h"
#include "runtime/objects_container.h"

bool CMC_Object::serialize(CXArchive* archive) { return serializeHandlers(archive, scene_); }

bool CMC_Object::serializeState(CXArchive* archive) { return archive && archive->isOk(); }

bool CMC_Object::serializeHandlers(CXArchive* archive, CMC_ObjectsContainer* scope) {
  if (!archive) return false;
  if (archive->isStoring()) {
    int32_t count = 0;
    for (const auto& [key, list] : handlers_) count += static_cast<int32_t>(list.size());
    *archive << count;
    for (const auto& [key, list] : handlers_) {
      for (const CMC_HandlerEntry& entry : list) {
        *archive << CXString(key);
        *archive << (entry.live() ? entry.behaviour->getName() : entry.behaviourName);
        CXArray* params = entry.getParams();
        int32_t n = params ? params->size() : 0;
        *archive << n;
        for (int32_t i = 0; i < n; ++i) {
          CXString* p = params->stringAt(i);
          *archive << (p ? *p : CXString());
        }
      }
    }
    return archive->isOk();
  }

  int32_t count = 0;
  *archive >> count;
  for (int32_t h = 0; h < count && archive->isOk(); ++h) {
    CXString key;
    CXString behaviourName;
    int32_t n = 0;
    *archive >> key >> behaviourName >> n;
    if (!archive->isOk()) break;
    CXArray* params = nullptr;
    if (n > 0) params = new CXArray(101, 0.75f);
    for (int32_t i = 0; i < n && archive->isOk(); ++i) {
      auto* text = new CXString();
      *archive >> *text;
      params->add(text);
    }
    if (!archive->isOk()) {
      CXString::releaseToVector(params);
      break;
    }
    // The behaviour may come later in the file: bind by name now when it exists, and again by
    // initializeBehaviours(scene, nullptr) once the scene is complete.
    CMC_Object* found = scope ? scope->getObject(behaviourName) : nullptr;
    auto* behaviour = (found && found->getType() == mc::TYPE_BEHAVIOUR) ? static_cast<CMC_Behaviour*>(found) : nullptr;
    if (!verifyBehaviour(key)) {
      CXString::releaseToVector(params);
      continue;
    }
    eventList();
    setHandlerFlag(getSignalIndex(key));
    CMC_HandlerEntry entry;
    entry.bind(behaviour);
    entry.params = params ? std::shared_ptr<CXArray>(params, [](CXArray* a) { CXString::releaseToVector(a); }) : nullptr;
    entry.scope = scope;
    entry.behaviourName = behaviourName;
    handlersFor(key.view()).push_back(std::move(entry));
  }
  if (!archive->isOk()) TLOG_DEBUG("object " << name_.c_str() << ": saved handlers cut short");
  return archive->isOk();
}
