// CMC_Object: what every script object has: name, type, event handlers, signals, clones.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "foundation/log.h"
#include "foundation/small_pool.h"
#include "foundation/xobject.h"
#include "foundation/xstring.h"
#include "runtime/type_ids.h"

class CXArray;
class CXArchive;
class CMElement;
class CMProperty;
class CMC_ObjectsContainer;
class CMC_Behaviour;
class CMC_Class;
class CMC_Runner;
class CMC_Variable;
class CGraphicsObject;
class CWindow;

// The event names of a type, in the order its handler flags use. Every list begins with
// ONINIT, ONDONE, ONSIGNAL. A type keeps one static list; its objects and their clones point at it.
using CMC_EventList = std::vector<CXString>;

// One handler bound under an event key.
struct CMC_HandlerEntry {
  CMC_Behaviour* behaviour = nullptr;
  // Parameter texts given at binding (may be empty). Shared with the copies made for clones; never
  // changed after binding, and kept alive while a handler runs even if it unbinds itself.
  std::shared_ptr<CXArray> params;
  // The container that bound the handler (its onSceneDone drops the entry).
  CMC_ObjectsContainer* scope = nullptr;
  // Name of the behaviour, so an entry can be bound again by name after its object is gone.
  CXString behaviourName;
  // Expires when the behaviour is deleted (inline code of a re-parsed statement, for one): such an
  // entry is never run again; it stays unbound, by name.
  std::weak_ptr<char> life;

  // The behaviour, or null once it was deleted.
  CMC_Behaviour* live() const;
  void bind(CMC_Behaviour* b);

  CXArray* getParams() const { return params.get(); }
};
using CMC_HandlerList = std::vector<CMC_HandlerEntry, tarnvik::PoolAllocator<CMC_HandlerEntry>>;

// Hash of name keys that also accepts std::string_view and const char* without building a string.
struct CMC_NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};
struct CMC_NameEq {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
};
template <typename V>
using CMC_NameMap =
    std::unordered_map<std::string, V, CMC_NameHash, CMC_NameEq, tarnvik::PoolAllocator<std::pair<const std::string, V>>>;

// An object's handlers by event key ("ONCHANGED", "ONCHANGED^5"), sorted by key. An object has a few
// keys: a sorted list is searched as fast as a hash table and costs one allocation, not four, which
// counts in a scene of many objects.
using CMC_HandlerTable =
    std::vector<std::pair<std::string, CMC_HandlerList>, tarnvik::PoolAllocator<std::pair<std::string, CMC_HandlerList>>>;

class CMC_Object : public CXObject, public tarnvik::Pooled {
 public:
  // An object made by code, without a definition element.
  CMC_Object(CXString name, int type);
  // An object declared in a definition file: its name is the element's; its scene is `scene`.
  // The most derived constructor reads the properties and then calls initializeBehaviours.
  CMC_Object(CMC_ObjectsContainer* scene, CMElement* element, int type);
  CMC_Object(const CMC_Object&) = delete;
  CMC_Object& operator=(const CMC_Object&) = delete;
  ~CMC_Object() override;

  using CXObject::clone;
  using CXObject::compare;
  using CXObject::equals;

  // The name.
  CXString toString() const override { return name_; }

  const CXString& getName() const { return name_; }
  void setName(const CXString& name) { name_ = name; }
  // Where the object was declared (its element's file and line); unknown for objects made by code.
  const tarnvik::log::Origin& getOrigin() const { return origin_; }
  void setOrigin(const tarnvik::log::Origin& origin) { origin_ = origin; }
  int getType() const { return type_; }
  bool isClone() const { return isClone_; }
  bool isTemporary() const { return temporary_; }
  void setAsTemporary() { temporary_ = true; }
  void overideSignals(bool override) { overrideSignals_ = override; }
  bool isOverideSignals() const { return overrideSignals_; }

  // Called once after the object was created and added to its container: fires ONINIT when bound.
  virtual void init();
  // True for a type that must be finished before the others when its container unloads.
  virtual bool doneFirst() { return false; }
  // Called when the container unloads: fires ONDONE when bound.
  virtual bool done(bool unloading);
  virtual void setScene(CMC_ObjectsContainer* scene) { scene_ = scene; }
  virtual CMC_ObjectsContainer* getScene() const { return scene_; }

  // The window an object works in: a container's own, else its scene's, else the current window.
  // Null for no object gives the current window too, so callers holding an optional scope need no
  // fallback of their own.
  static CWindow* windowOf(const CMC_Object* object);
  CWindow* window() const { return windowOf(this); }
  // The current window, for the fallback above; the objects layer fills it in at start (this layer
  // sits below graphics).
  using WindowSource = CWindow* (*)();
  static void setWindowSource(WindowSource source);

  // Clones.
  virtual int getClonesNo() const { return cloneCount_; }
  // The number after the last "_" of the name (when that "_" is neither first nor last), else 0.
  virtual int getCloneIdx() const;
  // Counts one more clone and returns name + "_" + the new count.
  virtual CXString getCloneName();
  // Turns `copy` (a type-specific copy of this object) into the next clone and adds it to the scene.
  virtual void clone(CMC_Object* copy);
  // Makes n clones through the type's own copy (CXObject::clone).
  virtual void clone(int n);
  virtual void resetClones() { cloneCount_ = 0; }

  // Returns a pooled temporary to its pool; does nothing for other objects, control codes or null.
  static void flush(CMC_Variable* value, bool force = false);

  // Event list and handler flags.
  // Position of the first event name the key starts with, or -1.
  virtual int getBehaviourIndex(const CXString& key);
  // Position of the event named by the key's text before its first "^", or -1.
  int getSignalIndex(const CXString& key);
  // Whether a handler was ever bound for the event at this list position.
  bool hasHandlerFlag(int eventIndex) const {
    return eventIndex >= 0 && eventIndex < static_cast<int>(handlerFlags_.size()) && handlerFlags_[eventIndex] != 0;
  }
  // Binds the handlers declared in the element's properties; without an element, binds the entries
  // already in the table again by behaviour name in `scope` (after a scene change or a restore).
  virtual void initializeBehaviours(CMC_ObjectsContainer* scope, CMElement* element);
  // The type's event names, or null when it has none.
  virtual const CMC_EventList* getBehavioursList() const { return nullptr; }
  // The method dispatcher for a type the shared runner registry does not know.
  virtual CMC_Runner* getRunner() { return nullptr; }
  // Whether the type accepts a handler under this key.
  virtual bool verifyBehaviour(const CXString& key);

  // Handlers.
  virtual void addBehaviour(const CXString& key, CMC_Behaviour* behaviour, CXArray* params, CMC_ObjectsContainer* scope);
  virtual void removeBehaviour(const CXString& key, CMC_ObjectsContainer* scope);
  virtual void removeBehaviourForce(const CXString& key);
  virtual void removeAllBehaviours();
  // The entries bound under exactly this key, or null.
  virtual const CMC_HandlerList* getBehaviour(const CXString& key) const;
  virtual const CMC_HandlerEntry* getSingleBehaviour(const CXString& key, int index) const;
  // Behaviours created from inline code in this object's event properties.
  virtual std::vector<CMC_Behaviour*> getTmpBehList() const;
  // All keys that have handlers, in no particular order.
  std::vector<CXString> getBehaviourKeys() const;

  // The drawable a graphic type shows (ANIMO, IMAGE, ...); null for every other object.
  virtual CGraphicsObject* getDrawable() const { return nullptr; }

  virtual CMC_Class* getClass() const { return class_; }
  virtual void setClass(CMC_Class* cls) { class_ = cls; }

  // Runs the handlers bound under exactly `key`; true when at least one entry is bound there.
  virtual bool onSignal(const CXString& key, CXArray* params);
  virtual bool onSignal(const CXString& key);
  // The convention for events with a parameter: fires event + "^" + param, and the plain event
  // only when nothing is bound under the parameterised key.
  bool onSignalWithParam(const char* event, const CXString& param, CXArray* params = nullptr);
  // The same, but only when the handler flag at eventIndex is set (saves building the key).
  bool fireEvent(int eventIndex, const char* event, const CXString& param);

  // Saved-state record: the handlers, then the type's own fields (types extend it).
  virtual bool serialize(CXArchive* archive);
  // Run-time state for a save of the running game: what playing changed since the definition (or
  // the record above) made the object. Reading mirrors writing and takes effect only once the whole
  // state has read; a type without run-time state writes nothing.
  virtual bool serializeState(CXArchive* archive);
  // The handler part alone; restored entries belong to `scope` (the object's scene for serialize).
  bool serializeHandlers(CXArchive* archive, CMC_ObjectsContainer* scope);
  // Drops every handler that `scope` bound.
  virtual void onSceneDone(CMC_ObjectsContainer* scope);
  // Drops every handler whose behaviour is one of `gone` (objects about to be or already deleted;
  // the pointers are only compared).
  void removeBehavioursOf(const std::unordered_set<const CMC_Object*>& gone);

  // Type names and numbers.
  static int getTypeId(const CXString& name);
  static CXString typeToString(int type);

  // ONINIT, ONDONE, ONSIGNAL followed by a type's own events.
  static CMC_EventList makeEventList(std::initializer_list<const char*> own);
  // The list of a plain object: ONINIT, ONDONE, ONSIGNAL.
  static const CMC_EventList* baseEventList();

  // Reading definition elements (absent properties read as empty, 0, false, 0.0).
  static CXString elementName(CMElement* element);
  static CXString elementValue(CMElement* element, const char* key);
  static int elementInt(CMElement* element, const char* key);
  static bool elementBool(CMElement* element, const char* key);
  static double elementDouble(CMElement* element, const char* key);
  static bool elementHas(CMElement* element, const char* key);
  // Objects deleted so far in the process: code that found objects by name may keep using them
  // without asking each whether it lives, as long as this count and the containers' names version
  // are what they were.
  static uint64_t deletions() { return deletions_; }
  // Visits the element's properties in declaration order.
  static void forEachProperty(CMElement* element, const std::function<void(const CXString& key, const CXString& value)>& visit);

 protected:
  // Fetches the event list if not yet fetched and sizes the handler flags to it.
  const CMC_EventList* eventList();
  void setHandlerFlag(int eventIndex);
  // A token that expires when this object is deleted (for code that fires events and goes on).
  std::weak_ptr<char> lifeToken();
  // Back to a fresh unnamed object without handlers or scene, keeping allocated capacity.
  void resetObjectState();
  // Whether the object is as resetObjectState leaves it (a temporary given back untouched is).
  bool inResetState() const {
    return name_.isEmpty() && !isClone_ && !temporary_ && overrideSignals_ && handlers_.empty() && inlineBehaviours_.empty() &&
           handlerFlags_.empty() && !scene_ && !class_ && cloneCount_ == 0;
  }

 private:
  // Binds one property of the definition when its key names an event of the list (warns about a
  // key that looks like an event the type does not have, and about a handler naming nothing).
  void bindHandler(CMC_ObjectsContainer* scope, const CMC_EventList& list, const CMProperty& property);
  static bool looksLikeEvent(std::string_view key);
  void warnUnknownEvent(const CMC_EventList& list, const CMProperty& property);
  CMC_HandlerList* findHandlers(std::string_view key) const;
  CMC_HandlerList& handlersFor(std::string_view key);  // made empty when there are none
  // Runs the handlers under key with the supplied parameters, or each entry's own.
  bool fire(const CXString& key, CXArray* params, bool supplied);

  CXString name_;
  tarnvik::log::Origin origin_;
  int type_;
  bool isClone_ = false;
  bool temporary_ = false;
  bool overrideSignals_ = true;
  const CMC_EventList* events_ = nullptr;
  mutable CMC_HandlerTable handlers_;
  // Inline behaviours with the container they were added to (never dereferenced after it ends).
  std::vector<std::pair<CMC_Behaviour*, CMC_ObjectsContainer*>> inlineBehaviours_;
  std::vector<uint8_t> handlerFlags_;
  CMC_ObjectsContainer* scene_ = nullptr;
  static inline WindowSource windowSource_ = nullptr;
  static inline uint64_t deletions_ = 0;
  CMC_Class* class_ = nullptr;
  int cloneCount_ = 0;
  // Expires when the object is deleted, so a firing can stop if a handler deletes the object.
  std::shared_ptr<char> life_;
};
