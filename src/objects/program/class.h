// CLASS: script classes whose instances are containers built from class files, and CNVLOADER, which
// loads and releases definition files in the running scene.
#pragma once

#include <vector>

#include "objects/program/group.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"

class CMC_Class : public CMC_ObjectsContainer {
 public:
  // Nested NEW calls allowed before construction is refused (a constructor that creates its own
  // class without end).
  static constexpr int kMaxNesting = 64;

  // A class declared in a definition file: DEF and BASE.
  CMC_Class(CMC_ObjectsContainer* scope, CMElement* element);
  // An instance of `cls` named `name` in `scope`.
  CMC_Class(const CXString& name, CMC_ObjectsContainer* scope, CMC_Class* cls);
  ~CMC_Class() override;

  bool isInstance() const { return getClass() != nullptr || !className_.isEmpty(); }
  // Saved-state record: the handlers, the name, DEF, BASE and whether it is an instance; an instance
  // adds its class's name and its own objects (as a scene file holds them). A restored instance
  // finds its class by that name when it is initialised.
  bool serialize(CXArchive* archive) override;
  void init() override;
  const CXString& getDef() const { return def_; }
  const CXString& getBase() const { return base_; }

  // An object of a name already here is renamed "SUPER_" + name first, so later imports override.
  void addObject(CMC_Object* object) override;

  // Creates, adds to `scope` and initialises an instance, then runs its CONSTRUCTOR with the
  // parameters; returns what the constructor returned. Nothing is made (with a message) when the
  // name is taken or NEW nests too deeply.
  CMC_Object* newInstance(const CXString& name, CMC_ObjectsContainer* scope, const std::vector<CXString>& params,
                          CMC_Class** made = nullptr);
  // The class files an instance imports, bases first, as "$COMMON\CLASSES\" + file.
  std::vector<CXString> classFiles() const;
  // Imports one class file (a path of classFiles()) into this instance; false when unreadable.
  bool import(const CXString& path);
  // Runs the named behaviour of this instance with the parameter texts; the result is a pooled copy
  // of "__RETURN__" (null when there is none), or null when the instance has no such behaviour.
  CMC_Object* callMethod(const CXString& name, const std::vector<CXString>& params);
  // DESTRUCTOR (once), then the instance's objects finish and are deleted.
  bool done(bool unloading) override;
  // Runs DESTRUCTOR with these parameters unless it already ran; its result as callMethod's.
  CMC_Object* destruct(const std::vector<CXString>& params);

 private:
  CXString def_, base_;
  CXString className_;  // of a restored instance, until its class is found
  bool restored_ = false;  // read from a record and not yet initialised
  bool destructed_ = false;
};

class CMC_Class_Runner : public CMC_ForwardingRunner {
 public:
  enum Method { NEW = 1, DELETE };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

// The run-time loader of definition files, "CNVLOADER".
class CMC_CNVLoader : public CMC_Object {
 public:
  explicit CMC_CNVLoader(const CXString& name = CXString("CNVLOADER"));
  // Its record is its name: the loader keeps no state between calls.
  bool serialize(CXArchive* archive) override;
  // Loads the file into `scene`: a GROUP named after the file holds every object made. False when
  // the group's name is taken or the file cannot be read.
  static bool load(CMC_ObjectsContainer* scene, const CXString& fileName);
  // Finishes the group's members (each after its clones), then the group; they are deleted at the
  // end of the tick, and handlers that named them are dropped now.
  static bool release(CMC_ObjectsContainer* scene, const CXString& fileName);
};

class CMC_CNVLoader_Runner : public CMC_Runner {
 public:
  enum Method { LOAD = 1, RELEASE };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers CLASS declarations and the definition-file loader CNVLOADER: its maker, its saved-state record and its runner.
void registerClassType();
}  // namespace tarnvik
