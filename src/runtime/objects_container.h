// CMC_ObjectsContainer: the named objects of one scope, their creation from definition files and
// name lookup through the chain of scopes (scene, episode, application).
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_set>
#include <string>
#include <vector>

#include "foundation/xstring.h"
#include "runtime/object.h"

class CWindow;
class CMElement;
class CMElements;
class CMC_Variable;

// Builds an object of one script type from its definition element, inside `scope`.
using CMC_ObjectMaker = std::function<CMC_Object*(CMC_ObjectsContainer* scope, CMElement* element)>;

class CMC_ObjectsContainer : public CMC_Object {
 public:
  CMC_ObjectsContainer(CWindow* window, CMElement* element, CMC_ObjectsContainer* parent, int type);
  CMC_ObjectsContainer(CWindow* window, CXString name, CMC_ObjectsContainer* parent, int type);
  // Deletes the objects it owns (without running their done: that is unload's job).
  ~CMC_ObjectsContainer() override;

  CWindow* getWindow() const { return window_; }
  // ONINIT, ONDONE, ONSIGNAL; scenes extend it.
  const CMC_EventList* getBehavioursList() const override { return baseEventList(); }

  // Adds an object; an object of the same name already here is removed and deleted first.
  virtual void addObject(CMC_Object* object);
  // Takes the object out without deleting it; true when it was here.
  virtual bool removeObject(CMC_Object* object);
  // By name: this container, then the "_0" rule, then the parents. Null when nothing is found.
  CMC_Object* getObject(std::string_view name) const;
  CMC_Object* getObject(const char* name) const { return getObject(std::string_view(name ? name : "")); }
  CMC_Object* getObject(const CXString& name) const { return getObject(name.view()); }
  // By insertion position, or null.
  CMC_Object* getObject(int index) const;
  int getElementsNo() const { return static_cast<int>(objects_.size()); }
  // Insertion position of the named object in this container, or -1.
  int getObjectId(const CXString& name) const;
  // The named object when it is an INTEGER, STRING, BOOL or DOUBLE; null otherwise.
  CMC_Variable* getVariable(std::string_view name) const;
  CMC_Variable* getVariable(const char* name) const { return getVariable(std::string_view(name ? name : "")); }
  CMC_Variable* getVariable(const CXString& name) const { return getVariable(name.view()); }
  // All objects of this container with the given type, in insertion order.
  std::vector<CMC_Object*> getObjectsOfType(int type) const;
  // Empties `out`, then adds every object of this container whose type is getTypeId(typeName).
  virtual void getObjects(const CXString& typeName, std::vector<CMC_Object*>& out) const;
  const std::vector<CMC_Object*>& objects() const { return objects_; }
  // Name-to-drawable translation for the graphic types: the drawable of the named object (parents
  // included), and the name of the object showing a drawable (empty when none; the parents are
  // searched too when `searchParents` is set).
  CGraphicsObject* getGraphicsObject(const CXString& name) const;
  CXString getGraphicsObjectName(const CGraphicsObject* drawable, bool searchParents) const;

  // Sets the enclosing container and enters it and its own parent into the name table.
  void setParent(CMC_ObjectsContainer* parent);
  CMC_ObjectsContainer* getParent() const { return parent_; }

  // Creates the objects of a definition file in the fixed order of types. Returns the elements
  // that were not turned into objects (the list does not own them).
  std::vector<CMElement*> resolveObjects(CMElements* elements);
  // The same creation for one element regardless of its pass; the created object, or null.
  CMC_Object* resolve(CMElement* element);
  // Extension types: offered every element of an unknown TYPE in the last pass. Base: none.
  virtual CMC_Object* resolveEx(CMElement* element);

  // Finishes and deletes the objects (class objects first, then those that must go first, then the
  // rest) and fires the container's own ONDONE.
  virtual void unload();
  // Drops the handlers `scope` bound on this container's objects, then asks the parent the same.
  virtual void onSubSceneDone(CMC_ObjectsContainer* scope);

  // Changes whenever some container gains or loses a name (an object added or removed, a scope
  // unloaded, parents entered): statements that bound a name at run time look it up again after a
  // change, since a nearer scope may now hold that name.
  static uint64_t namesVersion() { return namesVersion_; }

  // Registry of script types that can be created from definition files, by TYPE text. Later
  // layers register their types; a later registration of the same name replaces the earlier one.
  static void registerType(const CXString& typeName, CMC_ObjectMaker maker);
  static void unregisterType(const CXString& typeName);
  // Every TYPE text that has a maker, in no particular order.
  static std::vector<std::string> registeredTypeNames();
  static bool isTypeRegistered(const CXString& typeName);

 protected:
  // A snapshot of the objects for a walk during which handlers may add or remove objects: an object
  // taken out meanwhile (removeObject) stops counting as present. Walks may nest.
  class Walk {
   public:
    explicit Walk(CMC_ObjectsContainer& container);
    ~Walk();
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;
    const std::vector<CMC_Object*>& snapshot() const { return snapshot_; }
    // For members of the snapshot: whether the object is still in the container.
    bool present(CMC_Object* object) const { return left_.empty() || !left_.contains(object); }

   private:
    friend class CMC_ObjectsContainer;
    CMC_ObjectsContainer& container_;
    std::vector<CMC_Object*> snapshot_;
    // What was taken out during the walk: mostly nothing, so a walk over a large scene builds no
    // table of all its objects.
    std::unordered_set<CMC_Object*> left_;
    Walk* outer_;
  };

 private:
  CMC_Object* create(const CXString& typeName, CMElement* element);
  bool isParentEntry(const CMC_Object* object) const { return object && (object == parent_ || object == grandParent_); }
  void enterParents();
  bool owns(const CMC_Object* object) const;

  CWindow* window_ = nullptr;
  std::vector<CMC_Object*> objects_;
  CMC_NameMap<CMC_Object*> names_;
  CMC_ObjectsContainer* parent_ = nullptr;
  CMC_ObjectsContainer* grandParent_ = nullptr;
  static inline uint64_t namesVersion_ = 0;
  // The innermost walk over the objects (unload, a scene's init); removeObject takes leavers out.
  Walk* walk_ = nullptr;
};
