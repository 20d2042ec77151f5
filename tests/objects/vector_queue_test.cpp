// VECTOR arithmetic and its edges; FIFO and LIFO order, copies and the empty queue.
#include "files/bytereader.h"
#include "files/file.h"
#include "files/xarchive.h"
#include "objects/data_fixture.h"
#include "objects/data/mc_vector.h"
#include "objects/data/queues.h"

namespace {

class VectorTest : public DataObjectsTest {
 protected:
  CMC_Vector* vec(const char* name, const char* size, const char* value) {
    declare({{name, {{"TYPE", "VECTOR"}, {"SIZE", size}, {"VALUE", value}}}});
    return static_cast<CMC_Vector*>(scene()->getObject(name));
  }
  static std::vector<double> of(CMC_Vector* v) { return v->components(); }
};

TEST_F(VectorTest, LengthNormaliseAndScalarProduct) {
  CMC_Vector* v = vec("V", "2", "3,4");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(call("V", "GETSIZE"), "2");
  EXPECT_DOUBLE_EQ(v->len(), 5.0);
  run("V^NORMALIZE();");
  EXPECT_DOUBLE_EQ(v->get(0), 0.6);
  EXPECT_DOUBLE_EQ(v->get(1), 0.8);
  CMC_Vector* a = vec("A", "2", "1,2");
  vec("B", "2", "3,4");
  vec("C", "3", "1,1,1");
  EXPECT_DOUBLE_EQ(a->smul(*static_cast<CMC_Vector*>(scene()->getObject("B"))), 11.0);
  integer("I");
  number("D");
  run("D^SET(A^SMUL(B));");
  EXPECT_DOUBLE_EQ(scene()->getVariable("D")->asDouble(), 11.0);
  run("D^SET(A^SMUL(C));");
  EXPECT_DOUBLE_EQ(scene()->getVariable("D")->asDouble(), 0.0);
  // Zero vectors and vectors without components normalise to themselves.
  CMC_Vector* zero = vec("Z", "2", "0,0");
  CMC_Vector* none = vec("N", "0", "");
  run("Z^NORMALIZE();N^NORMALIZE();N^NEG();N^MUL(3);");
  EXPECT_EQ(of(zero), (std::vector<double>{0, 0}));
  EXPECT_EQ(none->getSize(), 0);
  EXPECT_EQ(call("N", "LEN"), "0");
}

TEST_F(VectorTest, SumsDifferencesScalingAndNegation) {
  CMC_Vector* a = vec("A", "2", "1,2");
  vec("B", "2", "3,4");
  vec("C", "3", "1,1,1");
  run("A^ADD(B,C,B);");  // C has another size: skipped
  EXPECT_EQ(of(a), (std::vector<double>{7, 10}));
  run("A^SUB(B);A^MUL(2);A^NEG();");
  EXPECT_EQ(of(a), (std::vector<double>{-8, -12}));
  run("A^ADD(A);");
  EXPECT_EQ(of(a), (std::vector<double>{-16, -24}));
  run("A^VMUL(B,C);A^ADD(\"NOSUCH\",5);");
  EXPECT_EQ(of(a), (std::vector<double>{-16, -24}));
}

TEST_F(VectorTest, ReflectExpandSetAndAssign) {
  vec("V", "2", "1,-1");
  vec("NRM", "2", "0,1");
  CMC_Vector* r = vec("R", "2", "");
  run("V^REFLECT(NRM,R);");
  EXPECT_EQ(of(r), (std::vector<double>{-1, -1}));
  CMC_Vector* big = vec("BIG", "3", "9,9,9");
  run("V^REFLECT(NRM,BIG);");  // the third component has no source: 0 - 0
  EXPECT_EQ(of(big), (std::vector<double>{-1, -1, 0}));
  CMC_Vector* e = vec("E", "2", "1,2");
  run("E^EXPAND(4);");
  EXPECT_EQ(of(e), (std::vector<double>{0, 0, 1, 2}));
  run("E^EXPAND(1);E^EXPAND(-5);E^EXPAND(2000000000);");
  EXPECT_EQ(e->getSize(), 4);
  run("E^ASSIGN(5,6,7,8,9,10);");
  EXPECT_EQ(of(e), (std::vector<double>{5, 6, 7, 8}));
  run("E^SET(1,2.5);E^SET(9,1);E^SET(-1,1);");
  EXPECT_EQ(of(e), (std::vector<double>{5, 2.5, 7, 8}));
  run("E^SET(V);");  // copies as many components as both have
  EXPECT_EQ(of(e), (std::vector<double>{1, -1, 7, 8}));
  run("E^SET(3);");  // a single number fills every component
  EXPECT_EQ(of(e), (std::vector<double>{3, 3, 3, 3}));
  EXPECT_EQ(call("E", "GET", "7"), "0");
  CMC_Vector* shortValue = vec("S", "3", "4");
  EXPECT_EQ(of(shortValue), (std::vector<double>{4, 0, 0}));
  EXPECT_EQ(vec("NEGSIZE", "-3", "1")->getSize(), 0);
}

TEST_F(VectorTest, SavedStateHoldsSizeAndComponents) {
  CMC_Vector* v = vec("V", "3", "1.5,-2,0.001");
  {
    CFile out(nullptr, CXString((dir_ / "v.bin").string()), CFile::modeBinary);
    CXArchive archive(&out, true);
    ASSERT_TRUE(v->serialize(&archive));
  }
  CMC_Vector copy(CXString("COPY"), {});
  CFile in(nullptr, CXString((dir_ / "v.bin").string()), CFile::modeRead | CFile::modeBinary);
  CXArchive archive(&in, false);
  ASSERT_TRUE(copy.serialize(&archive));
  EXPECT_EQ(of(&copy), (std::vector<double>{1.5, -2, 0.001}));
  EXPECT_EQ(copy.getName(), "V");
  std::string bytes = readFile("v.bin");
  ASSERT_EQ(bytes.size(), 4u + 5u + 16u + 24u);
  // After the handler count and the name "V": 3, then 1500, -2000, 1 (values times 1000), then the
  // exact patterns.
  tarnvik::ByteReader r(bytes.data() + 9, 16);
  EXPECT_EQ(r.i32(), 3);
  EXPECT_EQ(r.i32(), 1500);
  EXPECT_EQ(r.i32(), -2000);
  EXPECT_EQ(r.i32(), 1);
}

class QueueTest : public DataObjectsTest {};

TEST_F(QueueTest, FifoAndLifoOrder) {
  declare({{"F", {{"TYPE", "FIFO"}}}, {"L", {{"TYPE", "LIFO"}}}});
  run("F^PUSH(1,2);L^PUSH(1,2);");
  EXPECT_EQ(call("F", "GETSIZE"), "2");
  EXPECT_EQ(call("F", "POP"), "1");
  EXPECT_EQ(call("F", "POP"), "2");
  EXPECT_EQ(call("L", "POP"), "2");
  EXPECT_EQ(call("L", "ISEMPTY"), "FALSE");
  EXPECT_EQ(call("L", "POP"), "1");
  EXPECT_EQ(call("L", "ISEMPTY"), "TRUE");
}

TEST_F(QueueTest, PushedValuesAreCopies) {
  declare({{"F", {{"TYPE", "FIFO"}}}});
  integer("V", 5);
  string("T", "abc");
  run("F^PUSH(V,T);V^SET(6);T^SET(\"x\");");
  EXPECT_EQ(call("F", "POP"), "5");
  EXPECT_EQ(call("F", "POP"), "abc");
}

TEST_F(QueueTest, PoppingEmptyFiresOnEmptyAndGivesNull) {
  declare({{"L", {{"TYPE", "LIFO"}, {"ONEMPTY", "{EMPTIES^INC();}"}}}});
  integer("EMPTIES");
  EXPECT_EQ(call("L", "POP"), "NULL");
  EXPECT_EQ(call("L", "POP"), "NULL");
  EXPECT_EQ(intValue("EMPTIES"), 2);
  EXPECT_EQ(call("L", "GETSIZE"), "0");
  // A handler that takes the queue away while it pops: the pop still answers.
  auto* q = static_cast<CMC_Queue*>(scene()->getObject("L"));
  behaviour("GONE", "EMPTIES^SET(100);");
  q->removeAllBehaviours();
  run("L^ADDBEHAVIOUR(\"ONEMPTY\",GONE);");
  EXPECT_EQ(call("L", "POP"), "NULL");
  EXPECT_EQ(intValue("EMPTIES"), 100);
}

}  // namespace
