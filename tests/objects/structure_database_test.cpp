// STRUCT fields, copying, comparison, text form and the STRUCT|FIELD notation; DATABASE rows, the
// cursor, searching, removal and the row file.
#include "files/file.h"
#include "files/xarchive.h"
#include "objects/data_fixture.h"
#include "objects/data/database.h"
#include "objects/data/structure.h"

namespace {

class StructureTest : public DataObjectsTest {
 protected:
  CMC_Structure* declareStruct(const char* name, const char* fields) {
    declare({{name, {{"TYPE", "STRUCT"}, {"FIELDS", fields}}}});
    return static_cast<CMC_Structure*>(scene()->getObject(name));
  }
};

TEST_F(StructureTest, FieldsAreDeclaredInOrderAndFoundByNameOrPosition) {
  captureLog(tarnvik::log::Level::warn);
  CMC_Structure* s = declareStruct("S", "X<INTEGER>,NAME<string>,F<FLOAT>,D<DOUBLE>");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->getType(), mc::TYPE_STRUCTURE);
  ASSERT_EQ(s->getFieldsNo(), 3);  // FLOAT makes no field
  EXPECT_EQ(s->getField(0)->getName().str(), "S_X");
  EXPECT_EQ(s->getField(1)->getName().str(), "S_NAME");
  EXPECT_EQ(s->getField(1)->getType(), mc::TYPE_STRING);
  EXPECT_EQ(s->getField("D"), s->getField(2));
  EXPECT_EQ(s->getField("x"), nullptr);  // names compare with their case
  EXPECT_EQ(s->getField(3), nullptr);
  EXPECT_EQ(s->getField(-1), nullptr);
  EXPECT_EQ(logLines().size(), 1u);  // the FLOAT field was reported
  s->getField(0)->fromString(CXString("12"));
  EXPECT_EQ(call("S", "GETFIELD", "X"), "12");
  EXPECT_EQ(call("S", "GETFIELD", "0"), "12");
  EXPECT_EQ(call("S", "GETFIELD", "7"), "");  // no field, no value
}

TEST_F(StructureTest, SetByValuesByNameAndFromAnotherStructure) {
  CMC_Structure* s = declareStruct("S", "X<INTEGER>,NAME<STRING>");
  CMC_Structure* t = declareStruct("T", "A<INTEGER>,B<STRING>,C<BOOL>");
  run("S^SET(1,\"A\");");
  EXPECT_EQ(s->toString().str(), "1|A");
  run("S^SET(2,\"B\",3,4,5);");  // extra values are ignored
  EXPECT_EQ(s->toString().str(), "2|B");
  run("S^SETFIELD(X,\"17abc\");");  // converted to the field's type
  EXPECT_EQ(s->toString().str(), "17|B");
  run("S^SETFIELD(NOPE,1);");
  run("T^SET(S);");  // field by field, for the fields of T
  EXPECT_EQ(t->toString().str(), "17|B|FALSE");
  run("T^SET(\"NOSUCH\");");
  EXPECT_EQ(t->toString().str(), "17|B|FALSE");
}

TEST_F(StructureTest, EqualityAndTextForm) {
  CMC_Structure* s = declareStruct("S", "X<INTEGER>,NAME<STRING>");
  CMC_Structure* t = declareStruct("T", "Y<INTEGER>,Z<STRING>");
  s->fromString(CXString("5|five"));
  t->fromString(CXString("5|five|extra|more"));
  EXPECT_EQ(t->extraPieces(), 2);
  EXPECT_TRUE(s->equals(t));
  t->fromString(CXString("5\nFIVE"));  // line feeds cut too
  EXPECT_EQ(t->getField(1)->toString().str(), "FIVE");
  EXPECT_FALSE(s->equals(t));
  CMC_Integer five(CXString("I"), 5);
  EXPECT_FALSE(s->equals(&five));
  CMC_Structure empty{CXString("E")};
  EXPECT_TRUE(empty.equals(s));  // no fields: equal to any structure
  std::unique_ptr<CMC_Structure> copy(s->copyStructure(CXString()));
  EXPECT_TRUE(copy->equals(s));
  copy->getField(0)->fromString(CXString("6"));
  EXPECT_EQ(s->getField(0)->toString().str(), "5");  // a copy owns its own fields
}

TEST_F(StructureTest, FieldNotationInCallsOperandsConditionsAndParameters) {
  CMC_Structure* s = declareStruct("S", "X<INTEGER>,NAME<STRING>");
  integer("V");
  string("W");
  run("S|X^SET(5);");
  EXPECT_EQ(s->getField(0)->asInteger(), 5);
  run("V^SET(S|X);");
  EXPECT_EQ(intValue("V"), 5);
  run("V^SET([S|X*3+1]);");
  EXPECT_EQ(intValue("V"), 16);
  run("S|X^ADD(2);");
  EXPECT_EQ(s->getField(0)->asInteger(), 7);
  behaviour("BSEVEN", "W^SET(\"SEVEN\");");
  run("@IF(S|X,\"_\",7,BSEVEN,\"\");");
  EXPECT_EQ(textValue("W"), "SEVEN");
  Params p{"NAME", "S"};
  run("S|$1^SET(\"named\");", p.get());
  EXPECT_EQ(s->getField(1)->toString().str(), "named");
  run("$2|X^SET(40);", p.get());
  EXPECT_EQ(s->getField(0)->asInteger(), 40);
  string("PTR", "S|NAME");
  run("*PTR^SET(\"pointed\");");  // an indirect target holding STRUCT|FIELD
  EXPECT_EQ(s->getField(1)->toString().str(), "pointed");
  // Unknown structures and fields do nothing.
  run("S|NOPE^SET(1);NOSTRUCT|X^SET(1);V^SET(S|NOPE);");
  EXPECT_EQ(s->getField(0)->asInteger(), 40);
}

TEST_F(StructureTest, StoreAndRestoreWalkEveryField) {
  CMC_Structure* s = declareStruct("S", "X<INTEGER>,NAME<STRING>,OK<BOOL>");
  CMC_Structure* t = declareStruct("T", "A<INTEGER>,B<STRING>,C<BOOL>");
  s->fromString(CXString("-7|seven|TRUE"));
  CXString path((dir_ / "s.bin").string());
  {
    CFile out(nullptr, path, CFile::modeBinary);
    CXArchive archive(&out, true);
    ASSERT_TRUE(s->store(&archive));
  }
  // Each field as type number and value: 1, -7; 2, 5, "seven"; 3, one byte.
  EXPECT_EQ(readFile("s.bin").size(), 8u + 13u + 5u);
  CFile in(nullptr, path, CFile::modeRead | CFile::modeBinary);
  CXArchive archive(&in, false);
  ASSERT_TRUE(t->restore(&archive));
  EXPECT_EQ(t->toString().str(), "-7|seven|TRUE");
  EXPECT_FALSE(t->restore(&archive));  // nothing left to read
}

class DatabaseTest : public StructureTest {
 protected:
  CMC_Database* declareDatabase() {
    declare({{"S", {{"TYPE", "STRUCT"}, {"FIELDS", "X<INTEGER>,NAME<STRING>"}}},
             {"DB", {{"TYPE", "DATABASE"}, {"MODEL", "S"}}}});
    return static_cast<CMC_Database*>(scene()->getObject("DB"));
  }
  CMC_Structure* cursor() { return static_cast<CMC_Structure*>(scene()->getObject("DB_CURSOR")); }
  std::string rows(CMC_Database* db) { return db->saveText(); }
};

TEST_F(DatabaseTest, CursorSharesTheSelectedRow) {
  CMC_Database* db = declareDatabase();
  ASSERT_NE(db, nullptr);
  ASSERT_NE(cursor(), nullptr);
  EXPECT_EQ(cursor()->getType(), mc::TYPE_STRUCTURE);
  run("S^SET(1,\"A\");DB^ADD(S);S^SET(2,\"B\");DB^ADD(S);DB^SELECT(1);DB_CURSOR|X^SET(9);");
  EXPECT_EQ(rows(db), "1|A\n9|B\n");
  EXPECT_EQ(scene()->getObject("S")->toString().str(), "2|B");  // rows are copies
  EXPECT_EQ(db->getRow(0)->getName().str(), "");
  run("DB^SELECT(5);DB^SELECT(-1);");  // ignored
  EXPECT_EQ(call("DB", "GETCURSORPOS"), "1");
  run("DB^NEXT();");
  EXPECT_EQ(call("DB", "GETCURSORPOS"), "0");  // wrapped
  EXPECT_EQ(call("DB_CURSOR", "GETFIELD", "X"), "1");
  run("DB^PREV();");
  EXPECT_EQ(call("DB", "GETCURSORPOS"), "1");
  EXPECT_EQ(call("DB_CURSOR", "GETFIELD", "NAME"), "B");
  run("S^SET(3,\"C\");DB^INSERTAT(0,S);DB^INSERTAT(7,S);DB^INSERTAT(-1,S);");
  EXPECT_EQ(rows(db), "3|C\n1|A\n9|B\n");
  EXPECT_EQ(call("DB", "GETROWSNO"), "3");
}

TEST_F(DatabaseTest, FindMapsTheCursorButKeepsItsPosition) {
  CMC_Database* db = declareDatabase();
  db->loadText("1|A\n2|B\n2|C\n");
  EXPECT_EQ(call("DB", "FIND", "X,2,0"), "1");
  EXPECT_EQ(call("DB_CURSOR", "GETFIELD", "NAME"), "B");
  EXPECT_EQ(call("DB", "GETCURSORPOS"), "0");
  EXPECT_EQ(call("DB", "FIND", "X,2,2"), "2");
  EXPECT_EQ(call("DB", "FIND", "X,5,0"), "-1");
  EXPECT_EQ(call("DB", "FIND", "NAME,\"C\",-4"), "2");
  EXPECT_EQ(call("DB", "FIND", "NOFIELD,1,0"), "-1");
}

TEST_F(DatabaseTest, RemovalKeepsTheCursorSafe) {
  CMC_Database* db = declareDatabase();
  db->loadText("1|A\n1|B\n2|C\n");
  run("DB^SELECT(1);DB^REMOVE(X,1);");
  EXPECT_EQ(rows(db), "2|C\n");  // both adjacent rows went
  // The cursor moved onto a row that still exists; writing through it is safe.
  EXPECT_EQ(call("DB", "GETCURSORPOS"), "0");
  run("DB_CURSOR|NAME^SET(\"Z\");");
  EXPECT_EQ(rows(db), "2|Z\n");
  run("DB^REMOVEALL();DB_CURSOR|X^SET(4);DB^NEXT();DB^PREV();DB^REMOVEAT(0);");
  EXPECT_EQ(db->getRowsNo(), 0);
  EXPECT_EQ(cursor()->getField(0)->asInteger(), 4);  // its own fields again
  db->loadText("5|E\n6|F\n");
  run("DB^SELECT(1);DB^REMOVEAT(1);DB_CURSOR|X^SET(8);");
  EXPECT_EQ(rows(db), "8|E\n");
  run("DB^FIND(X,8,0);DB^REMOVEAT(0);DB_CURSOR|X^SET(1);");
  EXPECT_EQ(db->getRowsNo(), 0);
}

TEST_F(DatabaseTest, CursorOutlivesItsDatabase) {
  CMC_Database* db = declareDatabase();
  db->loadText("1|A\n");
  ASSERT_TRUE(cursor()->isMapped());
  scene()->removeObject(db);
  delete db;
  // The cursor has its own fields again: using it touches nothing of the deleted rows.
  EXPECT_FALSE(cursor()->isMapped());
  run("DB_CURSOR|X^SET(3);");
  EXPECT_EQ(cursor()->toString().str(), "3|");
}

TEST_F(DatabaseTest, RowFileIsWrittenAndReadBack) {
  CMC_Database* db = declareDatabase();
  run("S^SET(1,\"A\");DB^ADD(S);S^SET(2,\"B\");DB^ADD(S);DB^SAVE(\"rows.txt\");");
  EXPECT_EQ(readFile("rows.txt"), "1|A\n2|B\n");
  run("DB^REMOVEALL();DB^LOAD(\"ROWS.TXT\");");  // names ignore letter case
  EXPECT_EQ(rows(db), "1|A\n2|B\n");
  EXPECT_EQ(call("DB", "GETCURSORPOS"), "0");
  EXPECT_EQ(call("DB_CURSOR", "GETFIELD", "NAME"), "A");
  run("DB^LOAD(\"rows.txt\");");  // appends
  EXPECT_EQ(db->getRowsNo(), 4);
  writeFile("crlf.txt", "7|G\r\n\r\n8|H");
  run("DB^REMOVEALL();DB^LOAD(\"crlf.txt\");DB^LOAD(\"missing.txt\");");
  // An empty line is a row too; the pieces a line lacks keep the model's values (S is 2|B).
  EXPECT_EQ(rows(db), "7|G\n0|B\n8|H\n");
}

TEST_F(DatabaseTest, WritesStayInsideTheWritablePlaces) {
  CMC_Database* db = declareDatabase();
  db->loadText("1|A\n");
  std::filesystem::create_directories(dir_ / "game");
  CPath::addWritablePlace(CXString((dir_ / "game").string()));
  run("DB^SAVE(\"outside.txt\");DB^SAVE(\"game/../../escape.txt\");DB^SAVE(\"game/inside.txt\");");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "outside.txt"));
  EXPECT_EQ(readFile("game/inside.txt"), "1|A\n");
}

TEST_F(DatabaseTest, WideLinesAndLongFilesAreBounded) {
  CMC_Database* db = declareDatabase();
  captureLog(tarnvik::log::Level::warn);
  std::string wide = "3";
  for (int i = 0; i < 5000; ++i) wide += "|x";
  writeFile("wide.txt", wide + "\n" + wide + "\n");
  run("DB^LOAD(\"wide.txt\");");
  EXPECT_EQ(rows(db), "3|x\n3|x\n");
  ASSERT_EQ(logLines().size(), 1u);  // one message for the file, not one per line
  EXPECT_NE(logLines()[0].find("5001 fields"), std::string::npos) << logLines()[0];
  db->removeAll();
  std::string many;
  for (int i = 0; i < CMC_Database::kMaxRows + 10; ++i) many += "1|\n";
  db->loadText(many);
  EXPECT_EQ(db->getRowsNo(), CMC_Database::kMaxRows);
  writeFile("huge.txt", std::string(CMC_Database::kMaxFileBytes + 1, '\n'));
  EXPECT_FALSE(db->load(CXString("huge.txt")));
  EXPECT_EQ(db->getRowsNo(), CMC_Database::kMaxRows);
}

TEST_F(DatabaseTest, WithoutModelNothingIsRead) {
  declare({{"DB", {{"TYPE", "DATABASE"}, {"MODEL", "NOSUCH"}}}});
  auto* db = static_cast<CMC_Database*>(scene()->getObject("DB"));
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(db->loadText("1|2\n"), 0);
  run("DB^ADD(NOSUCH);DB^NEXT();DB_CURSOR|X^SET(1);");
  EXPECT_EQ(db->getRowsNo(), 0);
}

}  // namespace
