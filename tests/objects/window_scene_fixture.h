// Fixture of the object tests that need a window: the engine's types registered, a headless window
// on a virtual clock, a scene under an application, and helpers that count events into INTEGERs.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "graphics/window.h"
#include "objects/register.h"
#include "platform/clock.h"
#include "platform/video.h"
#include "runtime/behaviour.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

class WindowSceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tarnvik::setEngineClock(&clock_);
    tarnvik::registerEngineTypes();
    CMC_VariableFactory::initialize();
    CMC_RunnerFactory::initialize();
    window_ = std::make_unique<CWindow>(nullptr, nullptr, &video_);
    ASSERT_EQ(window_->SetDisplayMode(), 0);
    app_ = std::make_unique<CMC_ObjectsContainer>(nullptr, CXString("APP"), nullptr, mc::TYPE_APPLICATION);
    scene_ = std::make_unique<CMC_ObjectsContainer>(nullptr, CXString("S"), app_.get(), mc::TYPE_SCENE);
  }
  void TearDown() override {
    scene_.reset();
    app_.reset();
    window_.reset();
    CMC_Behaviour::flushTrash();
    CMC_RunnerFactory::done();
    CMC_VariableFactory::done();
    tarnvik::setEngineClock(nullptr);
  }

  // INTEGER variables of the scene, starting at 0.
  void counter(const char* name) {
    auto* v = new CMC_Integer(CXString(name), 0);
    v->setScene(scene_.get());
    scene_->addObject(v);
  }
  void counters(std::initializer_list<const char*> names) {
    for (const char* name : names) counter(name);
  }
  // Binds code to an event key of the object, as a behaviour of the scene.
  void bind(CMC_Object* object, const char* key, const char* code) {
    std::string name = std::to_string(++behaviours_);
    name.insert(name.begin(), 'B');
    auto* b = new CMC_Behaviour(scene_.get(), CXString(name), CXString(code));
    b->setScene(scene_.get());
    scene_->addObject(b);
    b->init();
    object->addBehaviour(CXString(key), b, nullptr, scene_.get());
  }
  int value(const char* name) { return scene_->getVariable(name)->asInteger(); }

  tarnvik::VirtualClock clock_;
  tarnvik::HeadlessVideo video_;
  std::unique_ptr<CWindow> window_;
  std::unique_ptr<CMC_ObjectsContainer> app_, scene_;
  int behaviours_ = 0;
};
