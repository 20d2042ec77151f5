// GROUP membership and forwarding, CLASS instances and their lifecycle, the CNV loader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "files/file.h"
#include "files/path.h"
#include "files/xarchive.h"
#include "objects/program/class.h"
#include "objects/data_fixture.h"
#include "objects/program/group.h"
#include "runtime/behaviour.h"
#include "runtime/records/object_records.h"

namespace fs = std::filesystem;

namespace {

class GroupTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    declare({{"G", {{"TYPE", "GROUP"}}}, {"H", {{"TYPE", "GROUP"}}}});
  }
  CMC_Groupped* g() { return named<CMC_Groupped>("G"); }
};

TEST_F(GroupTest, MembershipWithoutDuplicates) {
  animo("A");
  animo("B");
  string("S");
  boolean("C");
  integer("N");
  run("G^ADD(A,B,A,NOBODY);N^SET(G^GETSIZE());S^SET(G^GETNAME(1));");
  EXPECT_EQ(intValue("N"), 2);
  EXPECT_EQ(textValue("S"), "B");
  run("S^SET(\"-\");S^SET(G^GETNAME(2));C^SET(G^CONTAINS(A));");
  EXPECT_EQ(textValue("S"), "") << "no value past the end";
  EXPECT_EQ(textValue("C"), "TRUE");
  run("C^SET(G^CONTAINS(NOBODY));G^REMOVE(A);N^SET(G^GETSIZE());");
  EXPECT_EQ(textValue("C"), "FALSE");
  EXPECT_EQ(intValue("N"), 1);
  run("G^ADD(G);G^REMOVEALL();N^SET(G^GETSIZE());");
  EXPECT_EQ(intValue("N"), 0);
}

TEST_F(GroupTest, MarkerAndEmptyGroups) {
  animo("A");
  animo("B");
  string("S");
  integer("P");
  run("S^SET(\"-\");S^SET(G^NEXT());P^SET(G^GETMARKERPOS());");
  EXPECT_EQ(textValue("S"), "");
  EXPECT_EQ(intValue("P"), -1);
  run("S^SET(\"-\");G^SETMARKERPOS(-7);S^SET(G^GETNAMEATMARKER());");
  EXPECT_EQ(textValue("S"), "");
  run("G^ADD(A,B);S^SET(G^NEXT());");
  EXPECT_EQ(textValue("S"), "A");
  run("S^SET(G^NEXT());S^SET(G^NEXT());");
  EXPECT_EQ(textValue("S"), "A");
  run("G^RESETMARKER();S^SET(G^PREV());");
  EXPECT_EQ(textValue("S"), "A");
}

TEST_F(GroupTest, UnknownMethodsGoToEveryMemberInOrder) {
  animo("A");
  animo("B");
  integer("N");
  run("G^ADD(A,B);H^ADD(G);H^PLAY(\"X\");N^SET(G^GETSIZE());");
  EXPECT_EQ(recordedCalls(), (std::vector<std::string>{"A.PLAY(X)", "B.PLAY(X)"}));
  EXPECT_EQ(intValue("N"), 2);
  integer("I1", 1);
  integer("I2", 2);
  run("G^REMOVEALL();G^ADD(I1,I2);G^INC();");
  EXPECT_EQ(intValue("I1"), 2);
  EXPECT_EQ(intValue("I2"), 3);
  // Groups in a circle stop instead of passing the call round for ever.
  captureLog(tarnvik::log::Level::error);
  run("G^ADD(H);H^PLAY(\"Y\");");
  EXPECT_FALSE(logLines().empty());
}

TEST_F(GroupTest, DestroyedMembersLeaveEveryGroup) {
  animo("A");
  animo("B");
  run("G^ADD(A,B);H^ADD(B);");
  CMC_Object* b = scene()->getObject("B");
  scene()->removeObject(b);
  delete b;
  EXPECT_EQ(g()->getSize(), 1);
  EXPECT_FALSE(named<CMC_Groupped>("H")->contains(b));
  recordedCalls().clear();
  run("G^PLAY(\"Z\");H^PLAY(\"Z\");");
  EXPECT_EQ(recordedCalls(), (std::vector<std::string>{"A.PLAY(Z)"}));
}

TEST_F(GroupTest, ClonesAndContainerObjects) {
  integer("OBJ");
  integer("N");
  run("OBJ^CLONE(3);G^ADDCLONES(OBJ);N^SET(G^GETSIZE());");
  EXPECT_EQ(intValue("N"), 3);
  run("H^ADDCLONES(OBJ,2);N^SET(H^GETSIZE());");
  EXPECT_EQ(intValue("N"), 2);
  std::vector<CMC_Object*> integers;
  scene()->getObjects(CXString("INTEGER"), integers);
  EXPECT_TRUE(CMC_Runner::fillGroup(g(), integers));
  EXPECT_EQ(g()->getSize(), 5);
}

// Class files under a temporary data root's COMMON\CLASSES.
class ClassTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    root_ = fs::temp_directory_path() / ("tarnvik-class-" + std::to_string(getpid()));
    fs::create_directories(root_ / "COMMON" / "CLASSES");
    oldRoot_ = CPath::getDataRoot();
    CPath::setDataRoot(CXString(root_.string()));
    CPath::clearCache();
    string("LOG");
  }
  void TearDown() override {
    CPath::setDataRoot(oldRoot_);
    CPath::clearCache();
    fs::remove_all(root_);
    DataTest::TearDown();
  }
  void classFile(const char* name, const char* text) { std::ofstream(root_ / "COMMON" / "CLASSES" / name) << text; }
  fs::path root_;
  CXString oldRoot_;
};

TEST_F(ClassTest, InstancesRunConstructorMethodsAndDestructorInOrder) {
  classFile("BASEA.DEF",
            "OBJECT=SHOW\nSHOW:TYPE=BEHAVIOUR\nSHOW:CODE={@RETURN(\"A\");}\n"
            "OBJECT=X\nX:TYPE=INTEGER\nX:ONINIT={LOG^ADD(\"a\");}\n");
  classFile("BASEB.DEF", "OBJECT=SHOW\nSHOW:TYPE=BEHAVIOUR\nSHOW:CODE={@RETURN(\"B\");}\n");
  classFile("KID.DEF",
            "OBJECT=SHOW\nSHOW:TYPE=BEHAVIOUR\nSHOW:CODE={@RETURN(\"C\");}\n"
            "OBJECT=V\nV:TYPE=INTEGER\n"
            "OBJECT=CONSTRUCTOR\nCONSTRUCTOR:TYPE=BEHAVIOUR\nCONSTRUCTOR:CODE={V^SET($1);LOG^ADD(\"c\");@RETURN(V);}\n"
            "OBJECT=GETV\nGETV:TYPE=BEHAVIOUR\nGETV:CODE={@RETURN(V);}\n"
            "OBJECT=BUMP\nBUMP:TYPE=BEHAVIOUR\nBUMP:CODE={V^ADD($1);}\n"
            "OBJECT=DESTRUCTOR\nDESTRUCTOR:TYPE=BEHAVIOUR\nDESTRUCTOR:CODE={LOG^ADD(\"d\");}\n");
  declare({{"KIDS", {{"TYPE", "CLASS"}, {"DEF", "KID.DEF"}, {"BASE", "BASEA.DEF,BASEB.DEF"}}}});
  integer("R");
  string("S");
  run("R^SET(KIDS^NEW(K1,5));");
  EXPECT_EQ(intValue("R"), 5);
  EXPECT_EQ(textValue("LOG"), "ac") << "objects initialised before the constructor";
  run("S^SET(K1^SHOW());");
  EXPECT_EQ(textValue("S"), "C");
  run("S^SET(K1^SUPER_SHOW());");
  EXPECT_EQ(textValue("S"), "B");
  run("K1^BUMP(3);R^SET(K1^GETV());");
  EXPECT_EQ(intValue("R"), 8);
  run("S^SET(\"-\");S^SET(K1^NOSUCHMETHOD());");
  EXPECT_EQ(textValue("S"), "");
  run("KIDS^NEW(K1,9);KIDS^DELETE(K1);KIDS^DELETE(K1);");
  EXPECT_EQ(textValue("LOG"), "acd") << "a taken name makes no instance; DELETE of a gone one does nothing";
  EXPECT_EQ(scene()->getObjectId(CXString("K1")), -1);
  CMC_Behaviour::flushTrash();
}

TEST_F(ClassTest, AnInstanceAndTheLoaderSaveTheirStateAndComeBackWorking) {
  classFile("BASEB.DEF", "OBJECT=SHOW\nSHOW:TYPE=BEHAVIOUR\nSHOW:CODE={@RETURN(\"B\");}\n");
  classFile("KID.DEF",
            "OBJECT=SHOW\nSHOW:TYPE=BEHAVIOUR\nSHOW:CODE={@RETURN(\"C\");}\n"
            "OBJECT=V\nV:TYPE=INTEGER\n"
            "OBJECT=CONSTRUCTOR\nCONSTRUCTOR:TYPE=BEHAVIOUR\nCONSTRUCTOR:CODE={V^SET($1);}\n"
            "OBJECT=GETV\nGETV:TYPE=BEHAVIOUR\nGETV:CODE={@RETURN(V);}\n"
            "OBJECT=BUMP\nBUMP:TYPE=BEHAVIOUR\nBUMP:CODE={V^ADD($1);}\n");
  declare({{"KIDS", {{"TYPE", "CLASS"}, {"DEF", "KID.DEF"}, {"BASE", "BASEB.DEF"}}}});
  integer("R");
  string("S");
  run("KIDS^NEW(K1,5);K1^BUMP(3);");
  CMC_CNVLoader loader;
  fs::path file = root_ / "records.bin";
  {
    CFile out(nullptr, CXString(file.string()), CFile::modeBinary);
    CXArchive archive(&out, true);
    std::string why;
    ASSERT_TRUE(mc::storeObjectList(&archive, {scene()->getObject("K1"), &loader}, &why)) << why;
  }
  run("KIDS^DELETE(K1);");
  CMC_Behaviour::flushTrash();
  ASSERT_EQ(scene()->getObject("K1"), nullptr);

  CFile in(nullptr, CXString(file.string()), CFile::modeRead | CFile::modeBinary);
  CXArchive archive(&in, false);
  std::vector<CMC_Object*> read;
  std::string why;
  ASSERT_TRUE(mc::restoreObjectList(&archive, scene(), read, &why)) << why;
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[1]->getType(), mc::TYPE_CNVLOADER);
  EXPECT_EQ(read[1]->getName(), "CNVLOADER");
  delete read[1];
  scene()->addObject(read[0]);
  read[0]->init();
  EXPECT_TRUE(static_cast<CMC_Class*>(read[0])->isInstance());
  EXPECT_EQ(read[0]->getClass(), scene()->getObject("KIDS"));
  run("R^SET(K1^GETV());S^SET(K1^SUPER_SHOW());");
  EXPECT_EQ(intValue("R"), 8);
  EXPECT_EQ(textValue("S"), "B");
  run("K1^BUMP(1);R^SET(K1^GETV());");
  EXPECT_EQ(intValue("R"), 9);
}

TEST_F(ClassTest, ARunawayConstructorStopsWithAMessage) {
  classFile("LOOP.DEF",
            "OBJECT=CONSTRUCTOR\nCONSTRUCTOR:TYPE=BEHAVIOUR\nCONSTRUCTOR:CODE={LOG^ADD(\"x\");LOOPS^NEW(A);LOOPS^NEW(B);}\n");
  declare({{"LOOPS", {{"TYPE", "CLASS"}, {"DEF", "LOOP.DEF"}}}});
  captureLog(tarnvik::log::Level::error);
  run("LOOPS^NEW(FIRST);");
  EXPECT_EQ(textValue("LOG").size(), static_cast<size_t>(CMC_Class::kMaxNesting));
  ASSERT_FALSE(logLines().empty());
  EXPECT_NE(logLines().front().find("without end"), std::string::npos);
  integer("AFTER");
  run("LOOPS^NEW(SECOND);AFTER^SET(1);");
  EXPECT_EQ(intValue("AFTER"), 1);
  EXPECT_EQ(textValue("LOG").size(), static_cast<size_t>(2 * CMC_Class::kMaxNesting));
}

TEST_F(ClassTest, LoaderCreatesInitialisesAndReleasesInOrder) {
  fs::path file = root_ / "EXTRA.CNV";
  std::ofstream(file) << "OBJECT=E1\nE1:TYPE=INTEGER\nE1:ONINIT={LOG^ADD(\"i1\");}\nE1:ONDONE={LOG^ADD(\"o1\");}\n"
                         "OBJECT=E2\nE2:TYPE=INTEGER\nE2:ONINIT={LOG^ADD(\"i2\");}\nE2:ONDONE={LOG^ADD(\"o2\");}\n"
                         "OBJECT=EB\nEB:TYPE=BEHAVIOUR\nEB:CODE={HIT^INC();}\n"
                         "OBJECT=LOG\nLOG:TYPE=STRING\n";
  add(new CMC_CNVLoader());
  integer("HIT");
  integer("WATCH");
  string("F", file.string().c_str());
  run("CNVLOADER^LOAD(F);CNVLOADER^LOAD(F);");
  EXPECT_EQ(textValue("LOG"), "i1i2") << "loaded once; the existing LOG kept";
  auto* group = static_cast<CMC_Groupped*>(scene()->getObject(CXString(file.string())));
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->getSize(), 7) << "three objects and the behaviours of their inline handlers";
  run("E1^CLONE(2);WATCH^ADDBEHAVIOUR(\"ONCHANGED\",EB);WATCH^SET(1);");
  EXPECT_EQ(intValue("HIT"), 1);
  run("CNVLOADER^RELEASE(F);WATCH^SET(2);");
  EXPECT_EQ(textValue("LOG"), "i1i2o1o1o1o2") << "each object after its clones (which share its handlers)";
  EXPECT_EQ(intValue("HIT"), 1) << "the handler naming a released behaviour is gone";
  EXPECT_EQ(scene()->getObjectId(CXString("E1_1")), -1);
  EXPECT_EQ(scene()->getObjectId(CXString("E2")), -1);
  EXPECT_EQ(scene()->getObjectId(CXString(file.string())), -1);
  CMC_Behaviour::flushTrash();
  run("WATCH^SET(3);");
  EXPECT_EQ(intValue("HIT"), 1);
}

}  // namespace
