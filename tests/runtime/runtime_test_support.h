// Helpers for the runtime tests: behaviours that record their runs, element builders.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "definitions/melement.h"
#include "files/file.h"
#include "files/xarchive.h"
#include "foundation/xarray.h"
#include "runtime/behaviour.h"
#include "runtime/objects_container.h"

namespace rt_test {

struct Run {
  std::string behaviour;
  CMC_Object* current;
  std::vector<std::string> params;
};

// Shared run log of every RecordingBehaviour.
inline std::vector<Run>& runs() {
  static std::vector<Run> log;
  return log;
}

inline std::vector<std::string> texts(CXArray* params) {
  std::vector<std::string> out;
  if (!params) return out;
  for (int i = 0; i < params->size(); ++i) {
    CXString* s = params->stringAt(i);
    out.push_back(s ? s->str() : std::string());
  }
  return out;
}

// Records each run; an optional action runs afterwards (to bind, unbind or delete from a handler).
class RecordingBehaviour : public CMC_Behaviour {
 public:
  RecordingBehaviour(CMC_ObjectsContainer* scope, const char* name) : CMC_Behaviour(scope, CXString(name), CXString()) {}
  RecordingBehaviour(CMC_ObjectsContainer* scope, CMElement* element) : CMC_Behaviour(scope, element) {}

  bool run(CMC_Object* current, CXArray* params, bool checkCondition) override {
    runs().push_back({getName().str(), current, texts(params)});
    if (action) action(current);
    return CMC_Behaviour::run(current, params, checkCondition);
  }

  std::function<void(CMC_Object*)> action;
};

inline std::vector<std::string> runNames() {
  std::vector<std::string> out;
  for (const auto& r : runs()) out.push_back(r.behaviour);
  return out;
}

// A container that owns nothing special: a plain scope for tests.
inline std::unique_ptr<CMC_ObjectsContainer> makeScope(const char* name, CMC_ObjectsContainer* parent = nullptr,
                                                     int type = mc::TYPE_SCENE) {
  return std::make_unique<CMC_ObjectsContainer>(nullptr, CXString(name), parent, type);
}

// Builds an element with (key, value) properties in order.
inline CMElement* element(const char* name, std::initializer_list<std::pair<const char*, const char*>> props) {
  auto* e = new CMElement(CXString(name));
  for (const auto& [k, v] : props) e->addProperty(CXString(k), CXString(v));
  return e;
}

inline CXArray* params(std::initializer_list<const char*> items) {
  auto* a = new CXArray(10, 0.75f);
  for (const char* i : items) a->add(new CXString(i));
  return a;
}

}  // namespace rt_test

// A temporary binary file that tests write and read back through the serializer.
class ArchiveFile {
 public:
  ~ArchiveFile() { std::filesystem::remove(path); }
  template <typename Fn>
  void io(bool storing, Fn fn) {
    CFile f(nullptr, CXString(path.string()), storing ? CFile::modeBinary : CFile::modeRead | CFile::modeBinary);
    ASSERT_TRUE(f.isOpen());
    CXArchive ar(&f, storing);
    fn(ar);
  }
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tarnvik_rt_" + std::to_string(std::random_device{}()) + ".bin");
};
