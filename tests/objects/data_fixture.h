// Fixtures of the data-object tests: the script fixture with the engine's types registered (DataTest,
// for ARRAY, GROUP and CLASS), and with a temporary folder as the engine's current directory and a
// call helper that returns text (DataObjectsTest).
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/path.h"
#include "objects/register.h"
#include "runtime/script_fixture.h"

class DataObjectsTest : public ScriptTest {
 protected:
  void SetUp() override {
    tarnvik::registerEngineTypes();
    ScriptTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() /
           ("tarnvik-data-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    savedDir_ = CPath::getCurrentDirectory();
    CPath::setCurrentDirectory(CXString(dir_.string()));
    CPath::clearCache();
  }
  void TearDown() override {
    CPath::clearWritablePlaces();
    CPath::setCurrentDirectory(savedDir_);
    std::filesystem::remove_all(dir_);
    ScriptTest::TearDown();
  }

  // Runs a method on the named object with literal arguments (parsed as script code would be), and
  // gives the result as text ("" for none).
  std::string call(const char* object, const char* method, const char* args = "") {
    CMC_String* out = scene()->getVariable("__OUT__") ? static_cast<CMC_String*>(scene()->getVariable("__OUT__"))
                                                       : string("__OUT__");
    out->setValue(CXString("<none>"));
    std::string code = std::string("__OUT__^SET(") + object + "^" + method + "(" + args + "));";
    run(code.c_str());
    return out->getValue().str();
  }
  std::string readFile(const char* name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void writeFile(const char* name, const std::string& bytes) const {
    std::ofstream out(dir_ / name, std::ios::binary);
    out << bytes;
  }

  std::filesystem::path dir_;
  CXString savedDir_;
};

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
