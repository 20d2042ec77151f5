// The precompiled form: every type's record written from a scene file and read back into an equal
// object, and precompiled files that do not match refused whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "application/mc_application.h"
#include "application/precompiled.h"
#include "application/scene.h"
#include "definitions/melement.h"
#include "files/file.h"
#include "files/path.h"
#include "files/xarchive.h"
#include "foundation/xarray.h"
#include "objects/program/rand.h"
#include "objects/register.h"
#include "objects/program/system.h"
#include "objects/program/timer.h"
#include "platform/clock.h"
#include "runtime/behaviour.h"
#include "runtime/condition.h"
#include "runtime/expression.h"
#include "runtime/records/object_records.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace fs = std::filesystem;
namespace pc = tarnvik::precompiled;

namespace {

const char* kSceneFile = R"(OBJECT=COUNT
COUNT:TYPE=INTEGER
COUNT:VALUE=5
COUNT:DEFAULT=2
COUNT:TOINI=TRUE
COUNT:ONCHANGED=ONCOUNT(7, x)

OBJECT=LABEL
LABEL:TYPE=STRING
LABEL:VALUE=hello world

OBJECT=FLAG
FLAG:TYPE=BOOL
FLAG:VALUE=TRUE
FLAG:NETNOTIFY=TRUE

OBJECT=RATIO
RATIO:TYPE=DOUBLE
RATIO:VALUE=1.2345

OBJECT=SUM
SUM:TYPE=EXPRESSION
SUM:OPERAND1=COUNT
SUM:OPERATOR=MUL
SUM:OPERAND2=3

OBJECT=BIG
BIG:TYPE=CONDITION
BIG:OPERAND1=COUNT
BIG:OPERATOR=GREATER
BIG:OPERAND2=4

OBJECT=BOTH
BOTH:TYPE=COMPLEXCONDITION
BOTH:CONDITION1=BIG
BOTH:OPERATOR=AND
BOTH:CONDITION2=BIG

OBJECT=ONCOUNT
ONCOUNT:TYPE=BEHAVIOUR
ONCOUNT:CODE={LABEL^SET("$1");}
ONCOUNT:CONDITION=BOTH

OBJECT=TICK
TICK:TYPE=TIMER
TICK:ELAPSE=100
TICK:TICKS=3
TICK:ENABLED=FALSE
TICK:ONTICK={COUNT^INC();}

OBJECT=SC
SC:ONINIT={COUNT^SET(9);}
)";

class PrecompiledTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tarnvik-pc-" + std::to_string(std::random_device{}()));
    fs::create_directories(root_ / "Dane");
    CPath::clearCache();
    CPath::clearWritablePlaces();
    CPath::setStartDirectory(CXString(root_.string()));
    CPath::setDataRoot(CXString(root_.string()));
    CPath::setCurrentDirectory(CXString(root_.string()));
    tarnvik::setEngineClock(&clock_);
    tarnvik::registerEngineTypes();
    CMC_VariableFactory::initialize();
    CMC_RunnerFactory::initialize();
  }
  void TearDown() override {
    CMC_RunnerFactory::done();
    CMC_VariableFactory::done();
    tarnvik::setEngineClock(nullptr);
    CPath::clearCache();
    fs::remove_all(root_);
  }
  void write(const std::string& relative, const std::string& text) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative, std::ios::binary) << text;
    CPath::clearCache();
  }
  std::string binPath() const { return (root_ / "Dane/SC.bin").string(); }

  fs::path root_;
  tarnvik::VirtualClock clock_;
};

// The observable state of an object, as text, for comparing a definition-built and a restored one.
std::string describe(CMC_Object* o) {
  std::string d = o->getName().str() + ":" + std::to_string(o->getType());
  std::vector<CXString> keys = o->getBehaviourKeys();
  std::sort(keys.begin(), keys.end(), [](const CXString& a, const CXString& b) { return a.str() < b.str(); });
  for (const CXString& key : keys) {
    d += " on " + key.str();
    for (const auto& entry : *o->getBehaviour(key)) {
      d += "=" + entry.behaviourName.str() + (entry.behaviour ? "(bound)" : "(unbound)");
      if (CXArray* params = entry.getParams())
        for (int i = 0; i < params->size(); ++i) d += "," + params->stringAt(i)->str();
    }
  }
  switch (o->getType()) {
    case mc::TYPE_INTEGER:
    case mc::TYPE_STRING:
    case mc::TYPE_BOOL:
    case mc::TYPE_DOUBLE: {
      auto* v = static_cast<CMC_Variable*>(o);
      d += " value " + v->toString().str() + " ini " + std::to_string(v->isINI()) + " net " +
           std::to_string(v->isNetNotify());
      break;
    }
    case mc::TYPE_EXPRESSION: {
      auto* e = static_cast<CMC_Expression*>(o);
      d += " operands " + std::to_string(e->getOperandCount()) + " still " + std::to_string(e->isStill()) + " = " +
           e->calculate()->toString().str();
      break;
    }
    case mc::TYPE_CONDITION:
    case mc::TYPE_COMPLEXCONDITION:
      d += " holds " + std::to_string(static_cast<CMC_BasicCondition*>(o)->valid(false));
      break;
    case mc::TYPE_BEHAVIOUR: {
      auto* b = static_cast<CMC_Behaviour*>(o);
      d += " code " + b->getCode().str() + " condition " + b->getConditionName().str() + " enabled " +
           std::to_string(b->isEnabled()) + " bp " + std::to_string(b->getBreakpoint()) + " resolved " +
           std::to_string(b->getCondition() != nullptr);
      break;
    }
    case mc::TYPE_TIMER: {
      auto* t = static_cast<CMC_Timer*>(o);
      d += " enabled " + std::to_string(t->isTimerEnabled()) + " ticks " + std::to_string(t->getTicks());
      break;
    }
    default: break;
  }
  return d;
}

std::vector<std::string> describeAll(CMC_Scene& scene) {
  std::vector<std::string> out;
  for (CMC_Object* o : scene.objects()) out.push_back(describe(o));
  out.push_back(describe(&scene));
  return out;
}

TEST_F(PrecompiledTest, EveryTypeReadsBackAsTheDefinitionBuiltIt) {
  write("Dane/SC.cnv", kSceneFile);
  CMC_Scene text(nullptr, CXString("SC"), nullptr);
  CPath::setCurrentDirectory(CXString((root_ / "Dane").string()));
  ASSERT_TRUE(text.loadCnv());
  text.onInit();

  CMC_Scene source(nullptr, CXString("SC"), nullptr);
  std::string why;
  std::vector<uint8_t> fileHandlers;
  ASSERT_TRUE(pc::storeScene(&source, why, &fileHandlers)) << why;
  ASSERT_TRUE(fs::exists(binPath()));

  CMC_Scene restored(nullptr, CXString("SC"), nullptr);
  restored.setFileHandlers(fileHandlers);
  ASSERT_TRUE(pc::loadScene(&restored, CXString(binPath()), why)) << why;
  restored.onInit();
  EXPECT_EQ(describeAll(restored), describeAll(text));
  ASSERT_EQ(restored.getElementsNo(), 11);  // nine declared objects and two inline behaviours
  // Restored handlers run: the scene's own ONINIT and the timer's inline ONTICK are bound.
  EXPECT_TRUE(restored.onSignal(CXString("ONINIT")));
  EXPECT_EQ(restored.getVariable("COUNT")->asInteger(), 9);
  EXPECT_TRUE(restored.getObject("TICK")->onSignal(CXString("ONTICK")));
  EXPECT_EQ(restored.getVariable("COUNT")->asInteger(), 10);
}

TEST_F(PrecompiledTest, RecordsOfTheBuiltinAndBreakpointFields) {
  fs::path file = root_ / "records.bin";
  CMC_Behaviour behaviour(nullptr, CXString("B"), CXString("X^INC();"));
  behaviour.setBreakpoint(3);
  behaviour.enable(false);
  CMC_Rand rand(CXString("DICE"));
  CMC_System system(CXString("SYS"));
  {
    CFile out(nullptr, CXString(file.string()), CFile::modeBinary);
    CXArchive archive(&out, true);
    ASSERT_TRUE(pc::writeObjects(archive, {&behaviour, &rand, &system}));
  }
  CFile in(nullptr, CXString(file.string()), CFile::modeRead | CFile::modeBinary);
  CXArchive archive(&in, false);
  std::vector<CMC_Object*> read;
  std::string why;
  ASSERT_TRUE(pc::readObjects(archive, nullptr, read, why)) << why;
  ASSERT_EQ(read.size(), 3u);
  auto* b = static_cast<CMC_Behaviour*>(read[0]);
  EXPECT_EQ(b->getName(), "B");
  EXPECT_EQ(b->getCode(), "X^INC();");
  EXPECT_EQ(b->getBreakpoint(), 3);
  EXPECT_FALSE(b->isEnabled());
  b->resetBreakpoint();
  EXPECT_EQ(b->getBreakpoint(), -1);
  EXPECT_EQ(read[1]->getType(), mc::TYPE_RANDOM);
  EXPECT_EQ(read[1]->getName(), "DICE");
  EXPECT_EQ(read[2]->getType(), mc::TYPE_SYSTEM);
  EXPECT_EQ(read[2]->getName(), "SYS");
  for (CMC_Object* o : read) delete o;

  // A type without a record is never written.
  CMC_Object plain(CXString("P"), mc::TYPE_FILTER);
  EXPECT_FALSE(pc::canWrite({&plain}, why));
  EXPECT_NE(why.find("P"), std::string::npos);
}

TEST_F(PrecompiledTest, EveryTypeAGameCanHoldHasARecord) {
  std::string text;
  std::vector<std::string> types = CMC_ObjectsContainer::registeredTypeNames();
  for (size_t i = 0; i < types.size(); ++i)
    text += "OBJECT=O" + std::to_string(i) + "\nO" + std::to_string(i) + ":TYPE=" + types[i] + "\n\n";
  write("Dane/SC.cnv", text);
  CMC_Scene fromText(nullptr, CXString("SC"), nullptr);
  CPath::setCurrentDirectory(CXString((root_ / "Dane").string()));
  ASSERT_TRUE(fromText.loadCnv());
  EXPECT_GE(fromText.getElementsNo(), static_cast<int>(types.size()) - 1);  // one alias of CANVAS_OBSERVER
  CMC_Scene scene(nullptr, CXString("SC"), nullptr);
  std::string why;
  ASSERT_TRUE(pc::storeScene(&scene, why)) << why;
  CMC_Scene restored(nullptr, CXString("SC"), nullptr);
  ASSERT_TRUE(pc::loadScene(&restored, CXString(binPath()), why)) << why;
  EXPECT_EQ(restored.getElementsNo(), fromText.getElementsNo());
  fromText.unload(nullptr);
  restored.unload(nullptr);
  // The application's built-in objects too.
  CMElement element(CXString("GAME"));
  CMC_Application application(nullptr, &element, nullptr);
  application.initialize(nullptr);
  EXPECT_NE(application.getObject("CNVLOADER"), nullptr);
  EXPECT_TRUE(pc::canWrite(application.objects(), why)) << why;
  application.unload(nullptr);
}

TEST_F(PrecompiledTest, AnObjectWithoutARecordStopsThePrecompilationNamingItsScene) {
  // FILTER: a type the definition reader creates, given a maker here without a record.
  CMC_ObjectsContainer::registerType("FILTER", [](CMC_ObjectsContainer*, CMElement* element) -> CMC_Object* {
    return new CMC_Object(element->getName(), mc::TYPE_FILTER);
  });
  write("Dane/SC.cnv", "OBJECT=N\nN:TYPE=INTEGER\n\nOBJECT=ODD\nODD:TYPE=FILTER\n");
  write("Dane/SC.bin", "stale");
  CMElement element(CXString("GAME"));
  CMC_Application application(nullptr, &element, nullptr);
  CMC_Scene scene(nullptr, CXString("SC"), &application);
  std::string why;
  int written = 0;
  EXPECT_FALSE(pc::storeApplication(&application, {&scene, &application}, CXString((root_ / "Dane").string()), &written, why));
  CMC_ObjectsContainer::unregisterType("FILTER");
  EXPECT_NE(why.find("object ODD"), std::string::npos) << why;
  EXPECT_NE(why.find("(in SC)"), std::string::npos) << why;
  EXPECT_FALSE(fs::exists(root_ / "Dane/application.bin"));
  EXPECT_FALSE(fs::exists(binPath())) << "a stale scene file is not left to run";
}

TEST_F(PrecompiledTest, FilesThatDoNotMatchAreRefusedWhole) {
  write("Dane/SC.cnv", kSceneFile);
  CMC_Scene source(nullptr, CXString("SC"), nullptr);
  std::string why;
  ASSERT_TRUE(pc::storeScene(&source, why)) << why;
  std::ifstream in(binPath(), std::ios::binary);
  std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();

  auto refused = [&](const std::string& bytes, const std::string& expected) {
    write("Dane/SC.bin", bytes);
    CMC_Scene scene(nullptr, CXString("SC"), nullptr);
    std::string reason;
    EXPECT_FALSE(pc::loadScene(&scene, CXString(binPath()), reason)) << expected;
    EXPECT_NE(reason.find(expected), std::string::npos) << reason;
    EXPECT_EQ(scene.getElementsNo(), 0);
  };
  refused(good.substr(0, good.size() - 3), "");  // truncated
  refused(good + "x", "after the last record");
  refused("not ours", "");
  std::string tampered = good;
  tampered[12 + 3] = 0x7f;  // the object count, after three empty strings
  refused(tampered, "");
  std::string wrongType = good;
  wrongType[16] = 0x7f;  // the first object's type number
  refused(wrongType, "");
}

TEST_F(PrecompiledTest, SceneFilesHoldExactlyTheirStringsAndObjects) {
  // No header of our own: three strings, the count, then type number and record per object.
  write("Dane/SC.cnv", "OBJECT=N\nN:TYPE=INTEGER\nN:VALUE=4\n\nOBJECT=SC\nSC:ONINIT={N^SET(8);}\n");
  CMC_Scene source(nullptr, CXString("SC"), nullptr);
  std::string why;
  std::vector<uint8_t> fileHandlers;
  ASSERT_TRUE(pc::storeScene(&source, why, &fileHandlers)) << why;
  std::ifstream in(binPath(), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(0, 16), std::string("\0\0\0\0\0\0\0\0\0\0\0\0\x02\0\0\0", 16));  // N, the inline ONINIT
  int32_t type = 0;
  std::memcpy(&type, bytes.data() + 16, 4);
  EXPECT_EQ(type, mc::TYPE_INTEGER);
  ASSERT_FALSE(fileHandlers.empty());
  EXPECT_EQ(fileHandlers[0], 1);  // the scene's ONINIT, kept by application.bin

  // A scene with no objects is three empty strings and the count 0.
  write("Dane/E.cnv", "");
  CMC_Scene empty(nullptr, CXString("E"), nullptr);
  ASSERT_TRUE(pc::storeScene(&empty, why)) << why;
  std::ifstream e((root_ / "Dane/E.bin").string(), std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(e)), std::istreambuf_iterator<char>()), std::string(16, '\0'));
}

TEST_F(PrecompiledTest, SceneFilesAreFoundAsTheDefinitionFilesAre) {
  // The scene's folder lives in the game; the start directory is elsewhere (no local copy).
  fs::path game = root_ / "game";
  write("game/Dane/SCN/SC.cnv", "OBJECT=N\nN:TYPE=INTEGER\nN:VALUE=4\n");
  write("game/Dane/application.def",
        "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=SC\nGAME:STARTWITH=SC\n\n"
        "OBJECT=SC\nSC:TYPE=SCENE\nSC:PATH=SCN\n");
  CPath::setDataRoot(CXString(game.string()));
  CPath::setStartDirectory(CXString((root_ / "elsewhere").string()));
  CMElement element(CXString("SC"));
  element.addProperty("TYPE", "SCENE");
  element.addProperty("PATH", "SCN");
  CMC_Scene scene(nullptr, &element, nullptr);
  std::string why;
  ASSERT_TRUE(pc::storeScene(&scene, why)) << why;
  ASSERT_TRUE(fs::exists(game / "Dane/SCN/SC.bin"));
  fs::remove(game / "Dane/SCN/SC.cnv");
  CPath::clearCache();
  // Storing again without the definition file keeps the precompiled one.
  EXPECT_FALSE(pc::storeScene(&scene, why));
  EXPECT_TRUE(fs::exists(game / "Dane/SCN/SC.bin"));
  scene.setBinary(true);
  ASSERT_TRUE(scene.initialize(nullptr));
  ASSERT_NE(scene.getVariable("N"), nullptr);
  EXPECT_EQ(scene.getVariable("N")->asInteger(), 4);
  scene.unload(nullptr);
}

}  // namespace
