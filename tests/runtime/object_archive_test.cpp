// Saved-state records of objects and variables, and the drawable lookup hooks of containers.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "files/file.h"
#include "files/xarchive.h"
#include "runtime/runtime_test_support.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

using namespace rt_test;

namespace {

class Shown : public CMC_Object {
 public:
  Shown(const char* name, CGraphicsObject* drawable) : CMC_Object(CXString(name), mc::TYPE_IMAGE), drawable_(drawable) {}
  CGraphicsObject* getDrawable() const override { return drawable_; }
  const CMC_EventList* getBehavioursList() const override { return baseEventList(); }

 private:
  CGraphicsObject* drawable_;
};

class RecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runs().clear();
    std::random_device rd;
    path = std::filesystem::temp_directory_path() / ("tarnvik_rt_record_" + std::to_string(rd()) + ".bin");
  }
  void TearDown() override { std::filesystem::remove(path); }

  template <typename Fn>
  void write(Fn fn) {
    CFile f(nullptr, CXString(path.string()), CFile::modeBinary);
    ASSERT_TRUE(f.isOpen());
    CXArchive ar(&f, true);
    fn(ar);
    f.Close();
  }
  template <typename Fn>
  void read(Fn fn) {
    CFile f(nullptr, CXString(path.string()), CFile::modeRead | CFile::modeBinary);
    ASSERT_TRUE(f.isOpen());
    CXArchive ar(&f, false);
    fn(ar);
  }

  std::filesystem::path path;
};

TEST_F(RecordTest, HandlersRoundTripAndBindByNameLater) {
  auto scene = makeScope("S1");
  auto* walk = new RecordingBehaviour(scene.get(), "BEHWALK");
  scene->addObject(walk);
  CMC_Object saved("OBJ", mc::TYPE_RANDOM);
  saved.overideSignals(false);
  saved.addBehaviour("ONSIGNAL^OPEN", walk, params({"a", "b"}), scene.get());
  saved.addBehaviour("ONSIGNAL^OPEN", walk, nullptr, scene.get());
  write([&](CXArchive& ar) { EXPECT_TRUE(saved.serialize(&ar)); });

  // The behaviour does not exist yet when the record is read.
  auto next = makeScope("S2");
  auto* loaded = new Shown("OBJ", nullptr);
  loaded->setScene(next.get());
  read([&](CXArchive& ar) { EXPECT_TRUE(loaded->serialize(&ar)); });
  next->addObject(loaded);
  const CMC_HandlerList* list = loaded->getBehaviour("ONSIGNAL^OPEN");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->size(), 2u);
  EXPECT_EQ((*list)[0].behaviour, nullptr);
  EXPECT_EQ((*list)[0].behaviourName.str(), "BEHWALK");
  EXPECT_EQ(texts((*list)[0].getParams()), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ((*list)[1].getParams(), nullptr);
  EXPECT_TRUE(loaded->hasHandlerFlag(mc::EVI_ONSIGNAL));
  // Unbound entries are skipped by a firing.
  EXPECT_TRUE(loaded->onSignal("ONSIGNAL^OPEN"));
  EXPECT_TRUE(runs().empty());

  auto* later = new RecordingBehaviour(next.get(), "BEHWALK");
  next->addObject(later);
  loaded->initializeBehaviours(next.get(), nullptr);
  loaded->onSignal("ONSIGNAL^OPEN");
  ASSERT_EQ(runs().size(), 2u);
  EXPECT_EQ(runs()[0].params, (std::vector<std::string>{"a", "b"}));
}

TEST_F(RecordTest, TruncatedHandlerRecordsStopCleanly) {
  write([&](CXArchive& ar) {
    ar << int32_t(3) << CXString("ONINIT") << CXString("B") << int32_t(1) << CXString("p");
    ar << CXString("ONDONE") << CXString("B") << int32_t(2000000000);
  });
  CMC_Object o("O", mc::TYPE_RANDOM);
  read([&](CXArchive& ar) { EXPECT_FALSE(o.serialize(&ar)); });
  ASSERT_NE(o.getBehaviour("ONINIT"), nullptr);
  EXPECT_EQ(o.getBehaviour("ONDONE"), nullptr);
  EXPECT_FALSE(o.serialize(nullptr));
}

TEST_F(RecordTest, VariableRecordsKeepNameValueDefaultAndFlags) {
  CMC_String s("NAME", "anna");
  s.setDefault(CMC_Variable::resolve("\"bob\""));
  s.setINI(true);
  CMC_Double d("D", -0.5);
  write([&](CXArchive& ar) {
    EXPECT_TRUE(s.serialize(&ar));
    EXPECT_TRUE(d.serialize(&ar));
  });
  CMC_String s2("temp");
  CMC_Double d2("temp");
  read([&](CXArchive& ar) {
    EXPECT_TRUE(s2.serialize(&ar));
    EXPECT_TRUE(d2.serialize(&ar));
  });
  EXPECT_EQ(s2.getName().str(), "NAME");
  EXPECT_EQ(s2.getValue().str(), "anna");
  EXPECT_EQ(s2.getDefault().str(), "bob");
  EXPECT_TRUE(s2.isINI());
  EXPECT_FALSE(s2.isNetNotify());
  EXPECT_EQ(d2.getName().str(), "D");
  EXPECT_DOUBLE_EQ(d2.getValue(), -0.5);
  CMC_VariableFactory::clearPool();
}

TEST(DrawableLookup, NamesAndDrawablesTranslate) {
  auto app = makeScope("GAME", nullptr, mc::TYPE_APPLICATION);
  auto scene = makeScope("S1", app.get());
  int a = 0;
  int b = 0;
  auto* da = reinterpret_cast<CGraphicsObject*>(&a);
  auto* db = reinterpret_cast<CGraphicsObject*>(&b);
  scene->addObject(new Shown("IMG1", da));
  app->addObject(new Shown("LOGO", db));
  scene->addObject(new CMC_Integer("I", 1));
  EXPECT_EQ(scene->getGraphicsObject("IMG1"), da);
  EXPECT_EQ(scene->getGraphicsObject("LOGO"), db);
  EXPECT_EQ(scene->getGraphicsObject("I"), nullptr);
  EXPECT_EQ(scene->getGraphicsObjectName(da, false).str(), "IMG1");
  EXPECT_TRUE(scene->getGraphicsObjectName(db, false).isEmpty());
  EXPECT_EQ(scene->getGraphicsObjectName(db, true).str(), "LOGO");
  EXPECT_TRUE(scene->getGraphicsObjectName(nullptr, true).isEmpty());
}

}  // namespace
