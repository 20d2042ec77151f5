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

class RecordTest : public ::testing::Test, public ArchiveFile {
 protected:
  void SetUp() override { runs().clear(); }
};

TEST_F(RecordTest, HandlersRoundTripAndBindByNameLater) {
  auto scene = makeScope("S1");
  auto* walk = new RecordingBehaviour(scene.get(), "BEHWALK");
  scene->addObject(walk);
  CMC_Object saved("OBJ", mc::TYPE_RANDOM);
  saved.overideSignals(false);
  saved.addBehaviour("ONSIGNAL^OPEN", walk, params({"a", "b"}), scene.get());
  saved.addBehaviour("ONSIGNAL^OPEN", walk, nullptr, scene.get());
  io(true, [&](CXArchive& ar) { EXPECT_TRUE(saved.serialize(&ar)); });

  // The behaviour does not exist yet when the record is read.
  auto next = makeScope("S2");
  auto* loaded = new Shown("OBJ", nullptr);
  loaded->setScene(next.get());
  io(false, [&](CXArchive& ar) { EXPECT_TRUE(loaded->serialize(&ar)); });
  next->addObject(loaded);
  ASSERT_EQ(loaded->getBehaviour("ONSIGNAL^OPEN")->size(), 2u);
  EXPECT_EQ(loaded->getSingleBehaviour("ONSIGNAL^OPEN", 1)->getParams(), nullptr);
  EXPECT_TRUE(loaded->hasHandlerFlag(mc::EVI_ONSIGNAL));
  EXPECT_TRUE(loaded->onSignal("ONSIGNAL^OPEN"));  // unbound entries are skipped
  EXPECT_TRUE(runs().empty());
  next->addObject(new RecordingBehaviour(next.get(), "BEHWALK"));
  loaded->initializeBehaviours(next.get(), nullptr);
  loaded->onSignal("ONSIGNAL^OPEN");
  ASSERT_EQ(runs().size(), 2u);
  EXPECT_EQ(runs()[0].params, (std::vector<std::string>{"a", "b"}));
}

TEST_F(RecordTest, TruncatedHandlerRecordsStopCleanly) {
  io(true, [&](CXArchive& ar) {
    ar << int32_t(3) << CXString("ONINIT") << CXString("B") << int32_t(1) << CXString("p");
    ar << CXString("ONDONE") << CXString("B") << int32_t(2000000000);
  });
  CMC_Object o("O", mc::TYPE_RANDOM);
  io(false, [&](CXArchive& ar) { EXPECT_FALSE(o.serialize(&ar)); });
  ASSERT_NE(o.getBehaviour("ONINIT"), nullptr);
  EXPECT_EQ(o.getBehaviour("ONDONE"), nullptr);
  EXPECT_FALSE(o.serialize(nullptr));
}

TEST_F(RecordTest, VariableRecordsKeepNameValueDefaultAndFlags) {
  CMC_String s("NAME", "anna");
  s.setDefault(CMC_Variable::resolve("\"bob\""));
  s.setINI(true);
  CMC_Double d("D", -0.5);
  io(true, [&](CXArchive& ar) {
    EXPECT_TRUE(s.serialize(&ar));
    EXPECT_TRUE(d.serialize(&ar));
  });
  CMC_String s2("temp");
  CMC_Double d2("temp");
  io(false, [&](CXArchive& ar) {
    EXPECT_TRUE(s2.serialize(&ar));
    EXPECT_TRUE(d2.serialize(&ar));
  });
  EXPECT_EQ(s2.getName().str() + s2.getValue().str() + s2.getDefault().str(), "NAMEannabob");
  EXPECT_TRUE(s2.isINI() && !s2.isNetNotify());
  EXPECT_EQ(d2.getName().str() + d2.toString().str(), "D-0.50000");
  CMC_VariableFactory::clearPool();
}

TEST(DrawableLookup, NamesAndDrawablesTranslate) {
  auto app = makeScope("GAME", nullptr, mc::TYPE_APPLICATION);
  auto scene = makeScope("S1", app.get());
  int a = 0, b = 0;
  auto* da = reinterpret_cast<CGraphicsObject*>(&a);
  auto* db = reinterpret_cast<CGraphicsObject*>(&b);
  scene->addObject(new Shown("IMG1", da));
  app->addObject(new Shown("LOGO", db));
  EXPECT_EQ(scene->getGraphicsObject("LOGO"), db);
  EXPECT_EQ(scene->getGraphicsObjectName(da, false).str(), "IMG1");
  EXPECT_TRUE(scene->getGraphicsObjectName(db, false).isEmpty());
  EXPECT_EQ(scene->getGraphicsObjectName(db, true).str(), "LOGO");
}

}  // namespace
