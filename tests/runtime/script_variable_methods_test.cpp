// Methods of the value types: arithmetic, text editing, trigonometry, missing arguments, COPYFILE.
#include <filesystem>
#include <fstream>

#include "files/path.h"
#include "runtime/script_fixture.h"

namespace {

class ScriptValueMethods : public ScriptTest {};

TEST_F(ScriptValueMethods, ArithmeticStoresAndReturns) {
  integer("N", 7);
  integer("R", 0);
  run("R^SET(N^ADD(3));");
  EXPECT_EQ(intValue("N"), 10);
  EXPECT_EQ(intValue("R"), 10);
  run("N^MUL(3);N^SUB(4);N^DIV(2);N^MOD(5);");
  EXPECT_EQ(intValue("N"), 3);  // ((10*3-4)/2) mod 5
  run("N^DIV(0);");
  EXPECT_EQ(intValue("N"), 0);
  run("N^SET(-5);N^ABS(N);R^SET(N);R^AND(6);R^OR(8);R^XOR(1);");
  EXPECT_EQ(intValue("N"), 5);
  EXPECT_EQ(intValue("R"), 13);  // (5&6)|8 ^1
  run("N^SET(2);N^POWER(10);");
  EXPECT_EQ(intValue("N"), 1024);
  run("N^SET(5);N^CLAMP(0,3);");
  EXPECT_EQ(intValue("N"), 3);
  run("N^SWITCH(3,9);");
  EXPECT_EQ(intValue("N"), 9);
}

TEST_F(ScriptValueMethods, ChosenMeaningsOfTheOpenPoints) {
  integer("N", 5);
  string("S", "ABC");
  boolean("B", false);
  integer("R", 0);
  number("D", 0.0);
  // NOT: logical on INTEGER, reversal on STRING, negation on BOOL.
  run("N^NOT();S^NOT();B^NOT();");
  EXPECT_EQ(intValue("N"), 0);
  EXPECT_EQ(textValue("S"), "CBA");
  EXPECT_EQ(textValue("B"), "TRUE");
  run("N^NOT();");
  EXPECT_EQ(intValue("N"), 1);
  // LOG is the natural logarithm; no logarithm for numbers that are not positive gives 0.
  run("D^LOG(1);");
  EXPECT_DOUBLE_EQ(scene()->getVariable("D")->asDouble(), 0.0);
  run("D^LOG(2.718281828459045);");
  EXPECT_NEAR(scene()->getVariable("D")->asDouble(), 1.0, 1e-12);
  run("D^LOG(-3);");
  EXPECT_DOUBLE_EQ(scene()->getVariable("D")->asDouble(), 0.0);
  // GET on INTEGER and BOOL yields a copy of the value.
  run("N^SET(42);R^SET(N^GET());");
  EXPECT_EQ(intValue("R"), 42);
  // REPLACEAT overwrites as many characters as the new text has, extending the text at its end.
  run("S^SET(\"ABCDEF\");S^REPLACEAT(2,\"xy\");");
  EXPECT_EQ(textValue("S"), "ABxyEF");
  run("S^REPLACEAT(5,\"123\");");
  EXPECT_EQ(textValue("S"), "ABxyE123");
  run("S^REPLACEAT(99,\"Q\");");
  EXPECT_EQ(textValue("S"), "ABxyE123");
  // INSERTAT's third argument repeats the text.
  run("S^SET(\"AB\");S^INSERTAT(1,\"-\",3);S^INSERTAT(0,\"<\");S^INSERTAT(-1,\"?\");");
  EXPECT_EQ(textValue("S"), "<A---B");
}

TEST_F(ScriptValueMethods, TextMethods) {
  string("S", "Hello");
  integer("R", 0);
  string("T");
  boolean("B");
  run("R^SET(S^LENGTH());");
  EXPECT_EQ(intValue("R"), 5);
  run("R^SET(S^FIND(\"l\"));");
  EXPECT_EQ(intValue("R"), 2);
  run("R^SET(S^FIND(\"l\",3));");
  EXPECT_EQ(intValue("R"), 3);
  run("R^SET(S^FIND(\"z\"));");
  EXPECT_EQ(intValue("R"), -1);
  run("T^SET(S^GET(1));");
  EXPECT_EQ(textValue("T"), "e");
  run("T^SET(S^GET(1,3));");
  EXPECT_EQ(textValue("T"), "ell");
  run("T^SET(S^GET(9));");
  EXPECT_EQ(textValue("T"), "");
  run("B^SET(S^ISUPPERLETTER(0));");
  EXPECT_EQ(textValue("B"), "TRUE");
  run("B^SET(S^ISUPPERLETTER(1));");
  EXPECT_EQ(textValue("B"), "FALSE");
  run("S^UPPER();");
  EXPECT_EQ(textValue("S"), "HELLO");
  run("S^LOWER();S^REPLACE(\"l\",\"L\");");
  EXPECT_EQ(textValue("S"), "heLLo");
  run("S^CUT(1,3);");
  EXPECT_EQ(textValue("S"), "eLL");
  run("S^CUT(2,9);");  // runs past the end: the whole text stays
  EXPECT_EQ(textValue("S"), "eLL");
  run("S^SET(\"abcdef\");S^SUB(1,2);");
  EXPECT_EQ(textValue("S"), "adef");
  run("S^ADD(12);");
  EXPECT_EQ(textValue("S"), "adef12");
}

TEST_F(ScriptValueMethods, NumbersAndAngles) {
  number("D", 2.5);
  integer("R", 0);
  run("R^SET(D^ROUND());");
  EXPECT_EQ(intValue("R"), 3);
  run("D^SET(2.49);R^SET(D^ROUND());");
  EXPECT_EQ(intValue("R"), 2);
  run("D^SET(-0.5);R^SET(D^SGN());");
  EXPECT_EQ(intValue("R"), -1);
  run("D^LENGTH(3,4);");
  EXPECT_DOUBLE_EQ(scene()->getVariable("D")->asDouble(), 5.0);
  run("D^ARCTANEX(-1,0);");
  EXPECT_NEAR(scene()->getVariable("D")->asDouble(), 270.0, 1e-6);
  // The degree factor is a hair below 180/pi, so 45 degrees truncates to 44 before the offset.
  run("D^ARCTANEX(1,1,400);");
  EXPECT_DOUBLE_EQ(scene()->getVariable("D")->asDouble(), 84.0);
  run("D^ARCTAN(1);");
  EXPECT_NEAR(scene()->getVariable("D")->asDouble(), 45.0, 1e-6);
  run("D^SINUS(90);");
  EXPECT_NEAR(scene()->getVariable("D")->asDouble(), 1.0, 1e-6);
  run("D^MAXA(1,7.5,3);");
  EXPECT_DOUBLE_EQ(scene()->getVariable("D")->asDouble(), 7.5);
  run("D^MINA(4,-2,3);");
  EXPECT_DOUBLE_EQ(scene()->getVariable("D")->asDouble(), -2.0);
  run("D^SET(16);D^SQRT();");
  EXPECT_DOUBLE_EQ(scene()->getVariable("D")->asDouble(), 4.0);
  run("R^RANDOM(1);");
  EXPECT_EQ(intValue("R"), 0);
  run("R^RANDOM(10,1);");
  EXPECT_EQ(intValue("R"), 10);
}

TEST_F(ScriptValueMethods, MissingArgumentsReadNeutralValues) {
  integer("N", 5);
  string("S", "abc");
  number("D", 1.0);
  // None of these may read past the arguments given.
  run("N^ADD();N^SWITCH();N^CLAMP();N^AND();S^REPLACEAT();S^INSERTAT();S^GET();S^CUT();S^FIND();"
      "S^SUB();D^ARCTANEX();D^MAXA();D^LENGTH();N^SET();S^REPLACE();D^POWER();");
  EXPECT_EQ(intValue("N"), 0);
  EXPECT_EQ(textValue("S"), "abc");
  // Methods of other types yield nothing on values.
  run("N^UPPER();N^FIND(1);S^SQRT();S^ROUND();");
  EXPECT_EQ(intValue("N"), 0);
}

TEST_F(ScriptValueMethods, CopyFileStaysInsideTheWritablePlaces) {
  namespace fs = std::filesystem;
  fs::path root = fs::temp_directory_path() / ("tarnvik_script_copy_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "game");
  fs::create_directories(root / "outside");
  std::ofstream(root / "game" / "a.txt") << "payload";
  CPath::clearWritablePlaces();
  CPath::addWritablePlace(CXString((root / "game").string()));
  string("SRC", (root / "game" / "a.txt").string().c_str());
  string("DST", (root / "game" / "b.txt").string().c_str());
  string("BAD", (root / "outside" / "c.txt").string().c_str());
  captureLog(tarnvik::log::Level::error);
  run("SRC^COPYFILE(SRC,DST);SRC^COPYFILE(SRC,BAD);");
  run("SRC^COPYFILE(SRC,DST);");  // an existing destination is replaced
  CPath::clearWritablePlaces();
  std::ifstream copied(root / "game" / "b.txt");
  std::string content;
  copied >> content;
  EXPECT_EQ(content, "payload");
  EXPECT_FALSE(fs::exists(root / "outside" / "c.txt"));
  EXPECT_FALSE(logLines().empty());
  fs::remove_all(root);
}

TEST_F(ScriptValueMethods, CommonMethodsOnValues) {
  integer("N", 1);
  integer("R", 0);
  run("N^CLONE(2);R^SET(N^GETCLONESNO());");
  EXPECT_EQ(intValue("R"), 2);
  EXPECT_NE(scene()->getObject("N_2"), nullptr);
  run("R^SET(N_2^GETCLONEINDEX());");
  EXPECT_EQ(intValue("R"), 2);
}

}  // namespace
