// ARRAY: element methods, marker, arithmetic, sorting, change events, INI and file persistence.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "files/path.h"
#include "objects/data/array.h"
#include "objects/data_fixture.h"
#include "objects/program/group.h"
#include "settings/config.h"

namespace fs = std::filesystem;

namespace {

class ArrayTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    declare({{"ARR", {{"TYPE", "ARRAY"}}}, {"OTHER", {{"TYPE", "ARRAY"}}}, {"OUT", {{"TYPE", "ARRAY"}}}});
  }
  CMC_Array* arr() { return named<CMC_Array>("ARR"); }
  std::string text() { return arr()->toText().str(); }
};

TEST_F(ArrayTest, AddGetInsertChangeRemove) {
  integer("N", 7);
  integer("SIZE");
  string("S");
  run("ARR^ADD(1,2,3,\"x\");ARR^ADD(N);N^SET(99);SIZE^SET(ARR^GETSIZE());");
  EXPECT_EQ(intValue("SIZE"), 5);
  EXPECT_EQ(text(), "1,2,3,x,7");  // a copy of N was stored, not N itself
  run("S^SET(ARR^GET(5));");
  EXPECT_EQ(textValue("S"), "NULL");
  run("S^SET(ARR^GET(-1));");
  EXPECT_EQ(textValue("S"), "NULL");
  run("ARR^INSERTAT(0,0);ARR^INSERTAT(6,9);ARR^CHANGEAT(1,\"one\");ARR^CHANGEAT(77,1);ARR^REMOVEAT(3);ARR^REMOVEAT(50);");
  EXPECT_EQ(text(), "0,one,2,x,7");
  run("ARR^REMOVE(\"x\");");
  EXPECT_EQ(text(), "0,one,2,7") << "a text never equals a number unless their texts are equal";
  run("ARR^REMOVEALL();SIZE^SET(ARR^GETSIZE());");
  EXPECT_EQ(intValue("SIZE"), 0);
}

// GET, CHANGEAT and ADDAT read INTEGER indices and values in place; every other kind of argument
// is converted as before.
TEST_F(ArrayTest, ElementMethodsTakeIndicesAndValuesOfEveryKind) {
  integer("N", 7);
  integer("R");
  string("S", "x");
  const std::pair<const char*, const char*> cases[] = {
      {"ARR^CHANGEAT(1,N);N^SET(9);", "0,7,0"},  // a copy of N's value
      {"ARR^CHANGEAT(\"1\",5);", "0,5,0"},
      {"ARR^CHANGEAT(1.6,5);", "0,0,5"},  // a DOUBLE index is rounded
      {"ARR^CHANGEAT(1,[N+1]);", "0,8,0"},
      {"ARR^CHANGEAT(1,S);", "0,x,0"},
      {"ARR^CHANGEAT(1,TRUE);", "0,TRUE,0"},
      {"ARR^CHANGEAT(1);", "0,,0"},  // no value: an empty text
      {"ARR^CHANGEAT(N,1);", "0,0,0"},
      {"ARR^ADDAT(\"2\",N);ARR^ADDAT(2,S);ARR^ADDAT(0);", "0,0,7"},
      {"R^SET(5);ARR^CHANGEAT(R,1);R^SET(ARR^GET(\"0\"));ARR^CHANGEAT(2,R);", "0,0,0"},
      {"ARR^CHANGEAT(0,4);R^SET(ARR^GET(0));ARR^CHANGEAT(R,1);ARR^CHANGEAT(1,R);", "4,4,0"},
  };
  for (const auto& [code, expected] : cases) {
    SCOPED_TRACE(code);
    run("N^SET(7);ARR^REMOVEALL();ARR^ADD(0,0,0);");
    run(code);
    EXPECT_EQ(text(), expected);
  }
  run("N^SET(7);S^SET(ARR^GET(N));");
  EXPECT_EQ(textValue("S"), "NULL");
}

// An element handed to another method is a copy of its value: the method (or a handler it starts)
// may remove, replace or empty the element's array before and after it reads the value.
TEST_F(ArrayTest, AnElementPassedOnOutlivesChangesToItsArray) {
  integer("R");
  string("S");
  behaviour("WIPE", "ARR^REMOVEALL();");
  run("R^ADDBEHAVIOUR(\"ONCHANGED\",WIPE);S^ADDBEHAVIOUR(\"ONCHANGED\",WIPE);");
  struct Case {
    const char* fill;
    const char* code;
    const char* array;
    const char* value;  // of R and S after the code
  };
  const Case cases[] = {
      {"ARR^ADD(1,2,3);", "R^SET(ARR^GET(2));", "", "3 "},  // R's handler empties the array
      {"ARR^ADD(\"a\",\"b\");", "S^SET(ARR^GET(1));", "", "0 b"},
      {"ARR^ADD(1,2,3);", "ARR^REMOVE(ARR^GET(1));", "1,3", "0 "},
      {"ARR^ADD(\"a\",\"b\",\"a\");", "ARR^REMOVE(ARR^GET(0));", "b,a", "0 "},
      {"ARR^ADD(1,2,3);", "ARR^CHANGEAT(0,ARR^GET(2));ARR^CHANGEAT(2,ARR^GET(1));", "3,2,2", "0 "},
      {"ARR^ADD(1,2,3);", "ARR^INSERTAT(0,ARR^GET(2));", "3,1,2,3", "0 "},
      {"ARR^ADD(1,TRUE,\"x\");", "ARR^ADD(ARR^GET(0),ARR^GET(1),ARR^GET(2));ARR^REMOVEAT(0);", "TRUE,x,1,TRUE,x", "0 "},
      {"ARR^ADD(4,5);", "ARR^ADDAT(1,ARR^GET(1));R^SET(ARR^GET(1));", "", "10 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    run("R^SET(0);S^SET(\"\");ARR^REMOVEALL();");
    run(c.fill);
    run(c.code);
    EXPECT_EQ(text(), c.array);
    EXPECT_EQ(std::to_string(intValue("R")) + " " + textValue("S"), c.value);
  }
}

// A handler that runs the same statement again while the outer run still holds the elements it
// read: the outer run goes on with the values it read, not the inner run's.
TEST_F(ArrayTest, AStatementRunAgainFromAHandlerKeepsTheValuesItRead) {
  integer("N");
  behaviour("AGAIN", "OUT^ADD(ARR^GET(0),ARR^GET(1));");
  behaviour("ONOUT", "N^ADD(1);ARR^CHANGEAT(0,7);ARR^CHANGEAT(1,8);@IF(N,\"_\",1,AGAIN,\"\");");
  run("ARR^ADD(1,2);OUT^SENDONCHANGE(TRUE);OUT^ADDBEHAVIOUR(\"ONCHANGED\",ONOUT);");
  run("AGAIN^RUN();");
  EXPECT_EQ(intValue("N"), 4);
  EXPECT_EQ(named<CMC_Array>("OUT")->toText().str(), "1,7,8,2");
}

TEST_F(ArrayTest, SearchingAndComparing) {
  integer("I");
  boolean("B");
  run("ARR^ADD(4,5,4,6,4);OTHER^ADD(4,5,4,6,4);");
  run("I^SET(ARR^FIND(4));");
  EXPECT_EQ(intValue("I"), 0);
  run("I^SET(ARR^REVERSEFIND(4));");
  EXPECT_EQ(intValue("I"), 4);
  run("I^SET(ARR^FIND(9));");
  EXPECT_EQ(intValue("I"), -1);
  run("B^SET(ARR^CONTAINS(6));");
  EXPECT_EQ(textValue("B"), "TRUE");
  run("B^SET(ARR^COMPARE(OTHER));");
  EXPECT_EQ(textValue("B"), "TRUE");
  run("OTHER^ADD(1);B^SET(ARR^COMPARE(OTHER));");
  EXPECT_EQ(textValue("B"), "FALSE");
  run("OTHER^REMOVEALL();I^SET(ARR^FINDALL(OTHER,4,6));");
  EXPECT_EQ(intValue("I"), 4);
  EXPECT_EQ(named<CMC_Array>("OTHER")->toText().str(), "0,2,4,3");
}

TEST_F(ArrayTest, MarkerWrapsBothWaysAndStaysOnEmptyArrays) {
  string("S");
  integer("P");
  run("ARR^NEXT();P^SET(ARR^GETMARKERPOS());");
  EXPECT_EQ(intValue("P"), -1);  // empty: no endless wrapping, no move
  run("ARR^PREV(5);P^SET(ARR^GETMARKERPOS());");
  EXPECT_EQ(intValue("P"), -1);
  run("ARR^ADD(1,2,3);S^SET(ARR^NEXT());");
  EXPECT_EQ(textValue("S"), "1");
  run("S^SET(ARR^NEXT());S^SET(ARR^NEXT());S^SET(ARR^NEXT());");
  EXPECT_EQ(textValue("S"), "1");
  run("ARR^RESETMARKER();S^SET(ARR^NEXT(2));");
  EXPECT_EQ(textValue("S"), "2");
  run("S^SET(ARR^PREV(4));P^SET(ARR^GETMARKERPOS());");
  EXPECT_EQ(intValue("P"), 0);
  run("ARR^SETMARKERPOS(2000000000);S^SET(ARR^NEXT(2000000000));");
  EXPECT_EQ(textValue("S"), "2");
}

TEST_F(ArrayTest, ArithmeticKeepsEachElementsType) {
  integer("I");
  number("D");
  run("ARR^ADD(10,2.5,\"a\");ARR^SUM(2);");
  EXPECT_EQ(arr()->get(0)->getType(), mc::TYPE_INTEGER);
  EXPECT_EQ(arr()->get(0)->asInteger(), 12);
  EXPECT_DOUBLE_EQ(arr()->get(1)->asDouble(), 4.5);
  EXPECT_EQ(arr()->get(2)->getType(), mc::TYPE_STRING);
  run("ARR^ADDAT(0,3);ARR^SUBAT(0,1);ARR^MULAT(0,2);ARR^DIVAT(0,4);ARR^MODAT(0,4);");
  EXPECT_EQ(arr()->get(0)->asInteger(), 3);  // ((12+3-1)*2/4) % 4
  run("ARR^DIVAT(0,0);");
  EXPECT_EQ(arr()->get(0)->asInteger(), 0);
  run("ARR^CHANGEAT(0,50);ARR^CLAMPAT(0,1,20);ARR^CLAMPAT(2,1,2);");
  EXPECT_EQ(arr()->get(0)->asInteger(), 20);
  run("I^SET(ARR^MAX());");
  EXPECT_EQ(intValue("I"), 20);
  run("OTHER^ADD(\"x\");I^SET(OTHER^MIN());");
  EXPECT_EQ(intValue("I"), 1000000);
  run("D^SET(ARR^MAXD());");
  EXPECT_DOUBLE_EQ(named<CMC_Double>("D")->getValue(), 4.5);
  run("OTHER^REMOVEALL();OTHER^ADD(1,1);ARR^SUMA(OTHER);I^SET(ARR^GETSUMVALUE());");
  EXPECT_EQ(intValue("I"), 21);
}

TEST_F(ArrayTest, SortingMixedTypesIsDefinedAndStable) {
  run("ARR^ADD(\"b\",3,TRUE,\"a\",2,-1.5,2);ARR^SORT(TRUE);");
  EXPECT_EQ(text(), "-1.50000,TRUE,2,2,3,a,b") << "numbers by value, then texts";
  run("ARR^SORT(FALSE);");
  EXPECT_EQ(text(), "b,a,3,2,2,TRUE,-1.50000");
  run("ARR^REMOVEALL();ARR^ADD(3,1,2);OTHER^ADD(\"c\",\"a\",\"b\");ARR^SORTMANY(OTHER);");
  EXPECT_EQ(text(), "1,2,3");
  EXPECT_EQ(named<CMC_Array>("OTHER")->toText().str(), "a,b,c");
}

TEST_F(ArrayTest, ShiftsRotationsSwapFillAndCopies) {
  run("ARR^ADD(1,2,3);ARR^ROTATELEFT();");
  EXPECT_EQ(text(), "2,3,1");
  run("ARR^ROTATERIGHT();ARR^SWAP(0,2);ARR^SWAP(0,9);");
  EXPECT_EQ(text(), "3,2,1");
  run("ARR^SHIFTLEFT();");
  EXPECT_EQ(text(), "2,1,0");
  run("ARR^SHIFTRIGHT();");
  EXPECT_EQ(text(), "0,2,1");
  run("ARR^FILL(3,\"z\");ARR^COPYTO(OTHER);ARR^COPYTO(ARR);");
  EXPECT_EQ(text(), "z,z,z,z,z,z");
  EXPECT_EQ(named<CMC_Array>("OTHER")->getSize(), 3);
  run("ARR^RANDOMFILL(5,1,5,TRUE);ARR^SORT(TRUE);");
  EXPECT_EQ(text(), "1,2,3,4,5");
  run("ARR^FILL(-4,1);ARR^RANDOMFILL(3,5,1,FALSE);");
  EXPECT_EQ(arr()->getSize(), 0);
}

TEST_F(ArrayTest, ChangeEventsPreferTheNumberedHandler) {
  integer("ONE");
  integer("ANY");
  behaviour("ONONE", "ONE^INC();");
  behaviour("ONANY", "ANY^INC();");
  run("ARR^ADD(0,0,0);ARR^ADDBEHAVIOUR(\"ONCHANGED$1\",ONONE);ARR^ADDBEHAVIOUR(\"ONCHANGED\",ONANY);");
  run("ARR^CHANGEAT(1,5);");
  EXPECT_EQ(intValue("ONE") + intValue("ANY"), 0) << "nothing is sent before SENDONCHANGE";
  run("ARR^SENDONCHANGE();ARR^CHANGEAT(1,5);");
  EXPECT_EQ(intValue("ONE"), 1);
  EXPECT_EQ(intValue("ANY"), 0);
  run("ARR^CHANGEAT(0,5);ARR^SUM(1);");
  EXPECT_EQ(intValue("ONE"), 2);
  EXPECT_EQ(intValue("ANY"), 3);
}

TEST_F(ArrayTest, HandlerThatEmptiesTheArrayDuringNotification) {
  behaviour("WIPE", "ARR^REMOVEALL();");
  run("ARR^ADD(1,2,3);ARR^SENDONCHANGE(TRUE);ARR^ADDBEHAVIOUR(\"ONCHANGED\",WIPE);ARR^SUM(1);");
  EXPECT_EQ(arr()->getSize(), 0);
}

// A change handler that deletes the array (as a container deleting it at once would).
struct ArrayDeleter : CMC_Behaviour {
  using CMC_Behaviour::CMC_Behaviour;
  bool run(CMC_Object* current, CXArray*, bool) override {
    auto* array = static_cast<CMC_Array*>(current);
    array->getScene()->removeObject(array);
    delete array;
    return false;
  }
};

TEST_F(ArrayTest, HandlerThatDeletesTheArrayStopsTheMethod) {
  auto* killer = add(new ArrayDeleter(scene(), CXString("KILLER"), CXString("")));
  arr()->setSendOnChange(true);
  arr()->addBehaviour(CXString("ONCHANGED"), killer, nullptr, scene());
  run("ARR^ADD(1,2,3);");
  EXPECT_EQ(scene()->getObject("ARR"), nullptr);
  declare({{"ARR", {{"TYPE", "ARRAY"}, {"SENDONCHANGE", "TRUE"}}}});
  run("ARR^ADD(1,2);");
  arr()->addBehaviour(CXString("ONCHANGED"), killer, nullptr, scene());
  run("ARR^SWAP(0,1);");  // two notifications; the first deletes the array
  EXPECT_EQ(scene()->getObject("ARR"), nullptr);
}

TEST_F(ArrayTest, IniEntryRoundTrip) {
  CConfig config{CXString()};
  CMC_Variable::setConfig(&config);
  run("ARR^ADD(1,\"two\",TRUE,-4);ARR^SAVEINI();");
  EXPECT_EQ(config.GetString("SCENE1", "ARR").str(), "1,two,TRUE,-4");
  run("ARR^REMOVEALL();ARR^LOADINI();");
  EXPECT_EQ(text(), "1,two,TRUE,-4");
  EXPECT_EQ(arr()->get(0)->getType(), mc::TYPE_INTEGER);
  EXPECT_EQ(arr()->get(1)->getType(), mc::TYPE_STRING);
  EXPECT_EQ(arr()->get(2)->getType(), mc::TYPE_BOOL);
  run("OTHER^LOADINI();");
  EXPECT_EQ(named<CMC_Array>("OTHER")->getSize(), 0);
  CMC_Variable::setConfig(nullptr);
}

TEST_F(ArrayTest, FileLayoutIsExact) {
  run("ARR^ADD(7,\"ab\",FALSE,1.5);");
  std::vector<uint8_t> bytes;
  CMC_Array::writeFile(arr()->elements(), bytes);
  const std::vector<uint8_t> expected = {4, 0, 0, 0,                          // count
                                         1, 0, 0, 0, 7, 0, 0, 0,              // INTEGER 7
                                         2, 0, 0, 0, 2, 0, 0, 0, 'a', 'b',    // STRING "ab"
                                         3, 0, 0, 0, 0,                       // BOOL FALSE
                                         4, 0, 0, 0, 0xDC, 0x05, 0, 0};       // DOUBLE 1.5 as 1500
  EXPECT_EQ(bytes, expected);
  CMC_Array::Elements back;
  EXPECT_TRUE(CMC_Array::parseFile(bytes, back));
  ASSERT_EQ(back.size(), 4u);
  EXPECT_EQ(back[1]->asString().str(), "ab");
  EXPECT_DOUBLE_EQ(back[3]->asDouble(), 1.5);
}

TEST_F(ArrayTest, DamagedFilesStopAtTheEndOfTheData) {
  CMC_Array::Elements out;
  // A count far past the data, then one good INTEGER.
  std::vector<uint8_t> bytes = {0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 9, 0, 0, 0};
  EXPECT_FALSE(CMC_Array::parseFile(bytes, out));
  ASSERT_EQ(out.size(), 1u);
  // A string length past the data.
  out.clear();
  bytes = {1, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0, 0, 'x'};
  EXPECT_FALSE(CMC_Array::parseFile(bytes, out));
  EXPECT_TRUE(out.empty());
  // An unknown type.
  bytes = {2, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0, 99, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_FALSE(CMC_Array::parseFile(bytes, out));
  EXPECT_EQ(out.size(), 1u);
  // A negative count, and no data at all.
  out.clear();
  bytes = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_FALSE(CMC_Array::parseFile(bytes, out));
  EXPECT_FALSE(CMC_Array::parseFile({}, out));
  EXPECT_TRUE(out.empty());
}

TEST_F(ArrayTest, SaveLoadAppendsAndHugeFilesAreRefused) {
  fs::path dir = fs::temp_directory_path() / ("tarnvik-array-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::string file = (dir / "a.arr").string();
  std::string big = (dir / "big.arr").string();
  string("F", file.c_str());
  string("BIG", big.c_str());
  run("ARR^ADD(1,\"s\",TRUE);ARR^SAVE(F);ARR^REMOVEALL();ARR^ADD(0);ARR^LOAD(F);");
  EXPECT_EQ(text(), "0,1,s,TRUE");
  {
    std::ofstream out(big, std::ios::binary);
    out << "\x01\x00\x00\x00";
  }
  fs::resize_file(big, 1u << 30);  // a sparse gigabyte
  captureLog(tarnvik::log::Level::warn);
  run("ARR^LOAD(BIG);ARR^LOAD(\"no-such-file.arr\");");
  EXPECT_EQ(text(), "0,1,s,TRUE");
  ASSERT_FALSE(logLines().empty());
  EXPECT_NE(logLines().front().find("more than an array file may have"), std::string::npos);
  fs::remove_all(dir);
}

TEST_F(ArrayTest, CrossedCommonMethodsAndPlentyFillArrays) {
  declare({{"G", {{"TYPE", "GROUP"}}}});
  integer("N", 5);
  auto* random = add(new CMC_Object(CXString("RANDOM"), mc::TYPE_RANDOM));
  (void)random;
  run("N^ADDTOGROUP(ARR);N^ADDTOARRAY(G);N^ADDTOARRAY(ARR);N^ADDTOGROUP(G);");
  EXPECT_EQ(text(), "5");
  EXPECT_EQ(named<CMC_Groupped>("G")->getSize(), 1);
  run("RANDOM^GETPLENTY(OTHER,10,0,10,TRUE);OTHER^SORT(TRUE);");
  EXPECT_EQ(named<CMC_Array>("OTHER")->toText().str(), "0,1,2,3,4,5,6,7,8,9");
  run("RANDOM^GETPLENTY(OTHER,10001,0,10,FALSE);");
  EXPECT_EQ(named<CMC_Array>("OTHER")->getSize(), 10);
}

}  // namespace
