// RAND: the random-number object ("RANDOM" in every application).
#pragma once

#include <vector>

#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Rand : public CMC_Object {
 public:
  // Record: the handlers and the name.
  bool serialize(CXArchive* archive) override;
  explicit CMC_Rand(const CXString& name = CXString("RANDOM"));

  static constexpr int kMaxPlenty = 10000;
  // The list draw: count values first + (r mod n) (count 0 means n - first); with unique no value
  // repeats. False, and nothing drawn, for a count above kMaxPlenty, or a unique draw that asks for
  // more values than the range holds (it could never finish).
  static bool randomVector(int first, int n, int count, bool unique, std::vector<int>& out);
};

class CMC_Rand_Runner : public CMC_Runner {
 public:
  enum Method { GET = 1, GETPLENTY };
  void prepareMthHashSet() override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};
