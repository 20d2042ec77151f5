// Games comparing STRUCT objects in conditions and reading DATABASE rows through the cursor; the
// answers come back as TOINI values.
#include <gtest/gtest.h>

#include <string>

#include "e2e/player_fixture.h"

namespace {

class DataRowsGameTest : public tarnvik::e2e::SceneGameTest {};

// Two structures A and B of the same fields, C with other values; results are 1 or 0.
const char* const kStructures =
    "OBJECT=A\nA:TYPE=STRUCT\nA:FIELDS=X<INTEGER>,NAME<STRING>\n"
    "OBJECT=B\nB:TYPE=STRUCT\nB:FIELDS=X<INTEGER>,NAME<STRING>\n"
    "OBJECT=C\nC:TYPE=STRUCT\nC:FIELDS=X<INTEGER>,NAME<STRING>\n"
    "OBJECT=N\nN:TYPE=INTEGER\n"
    // IF branches append 1 or 0 to LOG.
    "OBJECT=LOG\nLOG:TYPE=STRING\nLOG:TOINI=TRUE\n"
    "OBJECT=YES\nYES:TYPE=BEHAVIOUR\nYES:CODE={LOG^ADD(\"1\");}\n"
    "OBJECT=NO\nNO:TYPE=BEHAVIOUR\nNO:CODE={LOG^ADD(\"0\");}\n";

std::string condition(const char* name, const char* left, const char* op, const char* right) {
  std::string n = name;
  return "OBJECT=" + n + "\n" + n + ":TYPE=CONDITION\n" + n + ":OPERAND1=" + left + "\n" + n + ":OPERAND2=" + right +
         "\n" + n + ":OPERATOR=" + op + "\n";
}

TEST_F(DataRowsGameTest, StructuresCompareFieldByFieldInConditionsAndIf) {
  scene(std::string(kStructures) +
        integers({"FRESH", "SAME", "DIFFER", "DIFFERNOT", "WITHINT"}) +
        condition("EQAB", "A", "EQUAL", "B") + condition("EQAC", "A", "EQUAL", "C") +
        condition("NEAC", "A", "NOTEQUAL", "C") + condition("EQAN", "A", "EQUAL", "N") +
        "OBJECT=S\nS:ONINIT={FRESH^SET(EQAB^CHECK(FALSE));A^SET(7,\"ANNA\");B^SET(7,\"ANNA\");C^SET(7,\"BEA\");"
        "SAME^SET(EQAB^CHECK(FALSE));DIFFER^SET(EQAC^CHECK(FALSE));DIFFERNOT^SET(NEAC^CHECK(FALSE));"
        "WITHINT^SET(EQAN^CHECK(FALSE));"
        "@IF(A,\"_\",B,YES,NO);@IF(A,\"_\",C,YES,NO);@IF(\"A!'C\",YES,NO);@IF(\"A'B\",YES,NO);}\n");
  ASSERT_EQ(play(2), 0) << err();
  EXPECT_EQ(value("FRESH"), 1) << "two structures just declared with the same fields are equal";
  EXPECT_EQ(value("SAME"), 1);
  EXPECT_EQ(value("DIFFER"), 0);
  EXPECT_EQ(value("DIFFERNOT"), 1);
  EXPECT_EQ(value("WITHINT"), 0) << "a structure never equals an INTEGER";
  EXPECT_EQ(text("LOG"), "1011") << "IF with three arguments and with one text";
}

TEST_F(DataRowsGameTest, CursorReadsSeeTheRowAfterEveryMove) {
  scene(std::string(kStructures) +
        "OBJECT=DB\nDB:TYPE=DATABASE\nDB:MODEL=A\n"
        "OBJECT=SELNAME\nSELNAME:TYPE=STRING\nSELNAME:TOINI=TRUE\n" +
        integers({"SELX", "NEXTX", "PREVX", "FINDX", "SUMX", "LOADX"}) +
        "OBJECT=S\nS:ONINIT={A^SET(1,\"ANNA\");DB^ADD(A);A^SET(2,\"BOB\");DB^ADD(A);A^SET(3,\"CY\");DB^ADD(A);"
        "DB^SELECT(1);SELNAME^SET(DB_CURSOR|NAME);SELX^SET(DB_CURSOR|X);"
        "DB^NEXT();NEXTX^SET(DB_CURSOR|X);DB^PREV();DB^PREV();PREVX^SET(DB_CURSOR|X);"
        "DB^FIND(NAME,\"CY\",0);FINDX^SET(DB_CURSOR|X);SUMX^SET([DB_CURSOR|X*10+DB_CURSOR|X]);"
        "@IF(DB_CURSOR|X,\"_\",3,YES,NO);@IF(\"DB_CURSOR|NAME'CY\",YES,NO);"
        "DB^SAVE(\"rows.txt\");DB^REMOVEALL();DB^LOAD(\"rows.txt\");LOADX^SET(DB_CURSOR|X);}\n");
  ASSERT_EQ(play(2), 0) << err();
  EXPECT_EQ(text("SELNAME"), "BOB");
  EXPECT_EQ(value("SELX"), 2);
  EXPECT_EQ(value("NEXTX"), 3);
  EXPECT_EQ(value("PREVX"), 1);
  EXPECT_EQ(value("FINDX"), 3);
  EXPECT_EQ(value("SUMX"), 33);
  EXPECT_EQ(text("LOG"), "11") << "conditions read the row too";
  EXPECT_EQ(value("LOADX"), 1);
}

}  // namespace
