// Script fixture with the engine's object types registered, for ARRAY, GROUP and CLASS tests.
#pragma once

#include "objects/register.h"
#include "runtime/script_fixture.h"

class DataTest : public ScriptTest {
 protected:
  void SetUp() override {
    tarnvik::registerEngineTypes();
    ScriptTest::SetUp();
  }
  template <class T>
  T* named(const char* name) {
    return static_cast<T*>(scene()->getObject(name));
  }
};
