// Shared fixture of the script tests: a scene under an application, helpers to declare objects and
// run code, and a stand-in ANIMO type whose runner records the calls it receives.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "definitions/melement.h"
#include "foundation/log.h"
#include "foundation/xarray.h"
#include "runtime/behaviour.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

// One call the stand-in runner received: "OBJECT.METHOD(arg,arg)".
inline std::vector<std::string>& recordedCalls() {
  static std::vector<std::string> calls;
  return calls;
}

class RecordingRunner : public CMC_Runner {
 public:
  MethodTable ownMethods() const override {
    static constexpr MethodRow kMethods[] = {{"PLAY", 1}, {"HIDE", 2}, {"SETFRAME", 3}};
    return kMethods;
  }
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override {
    const char* names[] = {"?", "PLAY", "HIDE", "SETFRAME"};
    if (id < 1 || id > 3) return CMC_Runner::run(id, target, scope, args);
    std::string call = target->getName().str() + "." + names[id] + "(";
    for (int i = 0; i < argCount(args); ++i) call += (i ? "," : "") + getParameterString(args, i).str();
    recordedCalls().push_back(call + ")");
    return nullptr;
  }
};

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CMC_RunnerFactory::registerRunner(mc::TYPE_ANIMO, [] { return std::unique_ptr<CMC_Runner>(new RecordingRunner); });
    CMC_RunnerFactory::initialize();
    recordedCalls().clear();
    app_ = std::make_unique<CMC_ObjectsContainer>(nullptr, CXString("APP"), nullptr, mc::TYPE_APPLICATION);
    scene_ = std::make_unique<CMC_ObjectsContainer>(nullptr, CXString("SCENE1"), app_.get(), mc::TYPE_SCENE);
  }
  void TearDown() override {
    scene_.reset();
    app_.reset();
    CMC_Behaviour::flushTrash();
    // Deep recursion may have grown the process-wide pools: start the next test with fresh ones.
    CMC_VariableFactory::done();
    CMC_VariableFactory::initialize();
    tarnvik::log::setSink(nullptr);
    tarnvik::log::setLevel(tarnvik::log::Level::off);
  }

  CMC_ObjectsContainer* scene() { return scene_.get(); }

  template <class T>
  T* add(T* object) {
    object->setScene(scene());
    scene()->addObject(object);
    return object;
  }
  CMC_Integer* integer(const char* name, int value = 0) { return add(new CMC_Integer(CXString(name), value)); }
  CMC_String* string(const char* name, const char* value = "") {
    return add(new CMC_String(CXString(name), CXString(value)));
  }
  CMC_Double* number(const char* name, double value = 0.0) { return add(new CMC_Double(CXString(name), value)); }
  CMC_Bool* boolean(const char* name, bool value = false) { return add(new CMC_Bool(CXString(name), value)); }
  // A stand-in ANIMO: a plain object of that type number (its runner records calls).
  CMC_Object* animo(const char* name) { return add(new CMC_Object(CXString(name), mc::TYPE_ANIMO)); }
  CMC_Behaviour* behaviour(const char* name, const char* code) {
    auto* b = add(new CMC_Behaviour(scene(), CXString(name), CXString(code)));
    b->init();
    return b;
  }
  // Runs code once as a fresh behaviour; true when it ended by BREAK.
  bool run(const char* code, CXArray* params = nullptr, CMC_Object* current = nullptr) {
    CMC_Behaviour* b = behaviour(nextName().c_str(), code);
    return b->run(current, params, false);
  }
  int intValue(const char* name) {
    CMC_Variable* v = scene()->getVariable(name);
    return v ? v->asInteger() : -999999;
  }
  std::string textValue(const char* name) {
    CMC_Variable* v = scene()->getVariable(name);
    return v ? v->toString().str() : "<none>";
  }

  // Creates objects from definition elements (name, then key/value pairs) as a scene file would, and
  // initialises them in order.
  using Props = std::initializer_list<std::pair<const char*, const char*>>;
  void declare(std::initializer_list<std::pair<const char*, Props>> elements) {
    CMElements file(true);
    for (const auto& [name, props] : elements) {
      auto* e = new CMElement(CXString(name));
      for (const auto& [k, v] : props) e->addProperty(CXString(k), CXString(v));
      file.add(e);
    }
    size_t before = scene()->objects().size();
    scene()->resolveObjects(&file);
    std::vector<CMC_Object*> made(scene()->objects().begin() + before, scene()->objects().end());
    for (CMC_Object* o : made) o->init();
  }

  // Captures log lines of the given level and above.
  static std::vector<std::string>& logLines() {
    static std::vector<std::string> lines;
    return lines;
  }
  static void captureLog(tarnvik::log::Level level) {
    logLines().clear();
    tarnvik::log::setLevel(level);
    tarnvik::log::setSink([](tarnvik::log::Level, std::string_view text) { logLines().emplace_back(text); });
  }

 private:
  std::string nextName() { return "RUN_" + std::to_string(++counter_); }
  int counter_ = 0;
  std::unique_ptr<CMC_ObjectsContainer> app_;
  std::unique_ptr<CMC_ObjectsContainer> scene_;
};

// Parameter texts for a run.
class Params {
 public:
  Params(std::initializer_list<const char*> texts) {
    for (const char* t : texts) array_.add(CXString(t));
  }
  CXArray* get() { return array_.get(); }

 private:
  CMC_ParamArray array_;
};
