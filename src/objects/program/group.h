// GROUP: a named, ordered set of other script objects; methods it does not know go to every member.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Groupped : public CMC_Object {
 public:
  CMC_Groupped(CMC_ObjectsContainer* scope, CMElement* element);
  // A group made by the engine (run-time loading, GETOBJECTS).
  CMC_Groupped(const CXString& name, CMC_ObjectsContainer* scope);
  ~CMC_Groupped() override;

  const CMC_EventList* getBehavioursList() const override { return baseEventList(); }
  // A group named "cloned" in the same container with the same members.
  CXObject* clone() const override;
  using CMC_Object::clone;
  // Saved-state record: the handlers, the name, the marker and the members' names. Members read
  // back join when the scene is complete (initializeBehaviours without an element).
  bool serialize(CXArchive* archive) override;
  // Run-time state: the marker and the members by name, found again at once (every object of the
  // save is in place when states are read).
  bool serializeState(CXArchive* archive) override;
  void initializeBehaviours(CMC_ObjectsContainer* scope, CMElement* element) override;

  // Appends the object unless it is already a member (or is this group); true when added.
  bool add(CMC_Object* object);
  bool remove(CMC_Object* object);
  void removeAll() { members_.clear(); }
  bool contains(const CMC_Object* object) const;
  // The member at index, or null.
  CMC_Object* get(int index) const;
  int getSize() const;
  // The members still alive, in order. A member deleted anywhere leaves every group it was in.
  std::vector<CMC_Object*> getList() const;
  // Appends name_first .. name_last found in the group's own container (duplicates allowed).
  void addClones(const CXString& name, int first, int last);

  // The marker as ARRAY's; on an empty group PREV and NEXT leave it alone and yield null.
  CMC_Object* next(int step);
  CMC_Object* prev(int step) { return next(-step); }
  void resetMarker() { marker_ = -1; }
  int getMarkerPos() const { return marker_; }
  void setMarkerPos(int pos) { marker_ = pos; }

  // Sends a method by name to every member alive when the call started, in order; results are
  // released at once.
  void forward(const CXString& method, CMC_ObjectsContainer* scope, const CMC_Args* args);

 private:
  struct Member {
    CMC_Object* object;
    std::weak_ptr<char> life;
  };
  // Drops the members that were deleted since.
  void prune() const;

  mutable std::vector<Member> members_;
  int marker_ = -1;
  // Member names read from a record, not yet looked up.
  std::vector<CXString> pendingMembers_;
};

// A runner that accepts any method name: names outside its own table get numbers of their own, so
// that a call parsed once can be passed on by name later (GROUP forwarding, CLASS instance methods).
class CMC_ForwardingRunner : public CMC_Runner {
 public:
  static constexpr int kForwardBase = 100000;
  static constexpr int kMaxForwardNames = 65536;
  int resolveMethod(std::string_view name) const override;
  // The name behind a forwarded number, or null.
  const CXString* forwardedName(int id) const;

 private:
  mutable std::vector<CXString> names_;
  mutable CMC_NameMap<int> ids_;
};

class CMC_Groupped_Runner : public CMC_ForwardingRunner {
 public:
  enum Method {
    ADD = 1, REMOVE, REMOVEALL, GETSIZE, GETNAME, PREV, NEXT, RESETMARKER, GETMARKERPOS, SETMARKERPOS,
    GETNAMEATMARKER, ADDCLONES, CONTAINS
  };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers GROUP, and the common methods that add to a group (ADDTOARRAY, container GETOBJECTS): its maker, its saved-state record and its runner.
void registerGroupType();
}  // namespace tarnvik
