// Statement rules of the definition-file loader.
#include <gtest/gtest.h>

#include <memory>

#include "test_support.h"

using deftest::describe;
using deftest::parse;

namespace {

std::unique_ptr<CMElements> load(const std::string& text) {
  std::unique_ptr<CMElements> list(parse(text));
  EXPECT_NE(list, nullptr);
  return list;
}

TEST(LoaderStatements, ObjectAndPropertiesInOrder) {
  auto list = load("OBJECT=A\nA:TYPE=INTEGER\nA:VALUE=5\nA:VALUE=7\n");
  ASSERT_EQ(list->size(), 1);
  CMElement* a = list->get("A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(describe(a), "TYPE=INTEGER;VALUE=5;VALUE=7");
  EXPECT_EQ(a->getPropertyValue("VALUE"), "5");
}

TEST(LoaderStatements, UndeclaredElementsAndTargetsAreDropped) {
  auto list = load("B:VALUE=1\nOBJECT=A\nA:ADD=C\nA:APPLY=C\nC:X=1\n");
  EXPECT_EQ(describe(list.get()), "[A]  {}\n");
}

TEST(LoaderStatements, SeparatorsInsideValuesBecomeBlanks) {
  auto list = load("OBJECT=A\nA:TEXT=a=b:c\nA:T2=x  y\n");
  EXPECT_EQ(list->get("A")->getPropertyValue("TEXT"), "a b c");
  EXPECT_EQ(list->get("A")->getPropertyValue("T2"), "x  y");
}

TEST(LoaderStatements, SlashJoinsLinesAndIsRemoved) {
  auto list = load("OBJECT=x\nx:FILENAME=abc/\ndef.ann\nx:P=a/b\n");
  EXPECT_EQ(list->get("x")->getPropertyValue("FILENAME"), "abcdef.ann");
  // "a/b" joins the next line too (a '/' anywhere continues); nothing follows here.
  EXPECT_EQ(list->get("x")->getPropertyValue("P"), "ab");
}

TEST(LoaderStatements, LoneSlashLineJoinsWithoutSplitting) {
  auto list = load("OBJECT=x\nx:F=ab/\n/\ncd\n");
  EXPECT_EQ(list->get("x")->getPropertyValue("F"), "abcd");
}

TEST(LoaderStatements, TabsAndEdgeBlanksAreRemoved) {
  auto list = load("\t  OBJECT=A  \nA:K=\tv w \t\n");
  ASSERT_NE(list->get("A"), nullptr);
  EXPECT_EQ(list->get("A")->getPropertyValue("K"), "v w");
}

TEST(LoaderStatements, CommentsAndEndMark) {
  auto list = load("#OBJECT=A\nOBJECT=B\n!OBJECT=C\nOBJECT=D\n");
  EXPECT_EQ(describe(list.get()), "[B]  {}\n");
}

TEST(LoaderStatements, DefLine) {
  auto list = load("DEF:P(X = 1|Y=2 )\nDEF:P(Z=a=b:c)|more)\n");
  ASSERT_EQ(list->size(), 2);  // DEF always appends
  EXPECT_EQ(describe(list->getAt(0)), "X=1;Y=2");
  EXPECT_EQ(describe(list->getAt(1)), "Z=a=b:c)");
  EXPECT_EQ(list->get("P"), list->getAt(0));
}

TEST(LoaderStatements, DefPieceWithoutEqualsIsSkipped) {
  auto list = load("DEF:P(A=1|junk||B=|=v)\n");
  EXPECT_EQ(describe(list->getAt(0)), "A=1;B=;=v");
}

TEST(LoaderStatements, MalformedDefIsDropped) {
  auto list = load("DEF\nDEF:P\nDEF:Q)(\nDEF:R(A=1\nOBJECT=S\n");
  EXPECT_EQ(describe(list.get()), "[S]  {}\n");
}

TEST(LoaderStatements, ImportCreatesSequenceOnce) {
  auto list = load("IMPORT=S\nS:TYPE=OTHER\nIMPORT=S\n");
  ASSERT_EQ(list->size(), 1);
  EXPECT_EQ(describe(list->getAt(0)), "TYPE=SEQUENCE;TYPE=OTHER");
}

TEST(LoaderStatements, DuplicateObjectDropsTheRestOfTheLine) {
  auto list = load("OBJECT=A\nOBJECT=A:A:K=1\nOBJECT=B:B:K=2\n");
  EXPECT_EQ(describe(list->get("A")), "");
  EXPECT_EQ(describe(list->get("B")), "K=2");
}

TEST(LoaderStatements, AddAndApplyBuildChildrenAndContinue) {
  auto list = load("OBJECT=P\nOBJECT=C\nOBJECT=D\nC:ADD=P:D:ADD=P\nP:APPLY=C:P:X=1\n");
  CMElement* p = list->get("P");
  ASSERT_EQ(p->getChildren()->size(), 3);
  EXPECT_EQ(p->getChildren()->getAt(0)->getName(), "C");
  EXPECT_EQ(p->getChildren()->getAt(1)->getName(), "D");
  EXPECT_EQ(p->getChildren()->getAt(2)->getName(), "C");
  EXPECT_EQ(describe(p), "X=1");
  EXPECT_FALSE(p->getChildren()->isOwning());
}

TEST(LoaderStatements, ValuelessPropertyOnlyWhenAbsent) {
  auto list = load("OBJECT=A\nA:K\nA:K\nA:V=1\nA:V\n");
  EXPECT_EQ(describe(list->get("A")), "K=;V=1");
}

TEST(LoaderStatements, NamesAndKeywordsAreCaseSensitive) {
  auto list = load("object=A\nOBJECT=a\nA:K=1\na:K=2\n");
  ASSERT_EQ(list->size(), 1);
  EXPECT_EQ(describe(list->get("a")), "K=2");
}

TEST(LoaderStatements, LastLineWithoutLineFeedIsReadWhole) {
  auto list = load("OBJECT=A\nA:VALUE=12345");
  EXPECT_EQ(list->get("A")->getPropertyValue("VALUE"), "12345");
}

TEST(LoaderStatements, CarriageReturnsFromBuffersAreFolded) {
  auto list = load("OBJECT=A\r\nA:V=1\r\n");
  EXPECT_EQ(list->get("A")->getPropertyValue("V"), "1");
}

TEST(LoaderStatements, VeryLongLinesAndJoins) {
  std::string value(300000, 'x');
  std::string text = "OBJECT=A\nA:V=" + value + "\nA:W=";
  for (int i = 0; i < 20000; ++i) text += "ab/\n";
  text += "end\n";
  auto list = load(text);
  EXPECT_EQ(list->get("A")->getPropertyValue("V").length(), 300000);
  EXPECT_EQ(list->get("A")->getPropertyValue("W").length(), 40003);
}

TEST(LoaderStatements, EmptyAndSeparatorOnlyInput) {
  EXPECT_EQ(load("")->size(), 0);
  EXPECT_EQ(load("\n\n:::==\n  \n")->size(), 0);
  EXPECT_EQ(load("/")->size(), 0);
}

TEST(LoaderFiles, MissingFileGivesNone) {
  deftest::TempDir dir;
  EXPECT_EQ(CMElementsLoader::load(nullptr, CXString(dir.file("absent.cnv"))), nullptr);
  EXPECT_EQ(CMElementsLoader::load(nullptr, CXString(dir.path().string())), nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir.file("absent.cnv.coded")));
}

TEST(LoaderFiles, NamesResolveIgnoringCaseAndBackslashes) {
  deftest::TempDir dir;
  std::filesystem::create_directories(dir.path() / "dane" / "scena");
  deftest::writeFile((dir.path() / "dane" / "scena" / "scena.cnv").string(), "OBJECT=A\n");
  const std::string name = dir.path().string() + "\\DANE\\Scena\\SCENA.CNV";
  std::unique_ptr<CMElements> list(CMElementsLoader::load(nullptr, CXString(name)));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->size(), 1);
}

TEST(LoaderFiles, CodeAndDecodeOptionsWriteSideFiles) {
  deftest::TempDir dir;
  const std::string plain = dir.file("scene.cnv");
  deftest::writeFile(plain, "OBJECT=A\r\nA:TYPE=ANIMO\r\n");
  CMElementsLoader::setCodingOptions(true, false);
  std::unique_ptr<CMElements> first(CMElementsLoader::load(nullptr, CXString(plain)));
  CMElementsLoader::setCodingOptions(false, false);
  ASSERT_NE(first, nullptr);
  const std::string coded = plain + ".coded";
  ASSERT_TRUE(std::filesystem::exists(coded));
  EXPECT_TRUE(deftest::readFile(coded).starts_with("{<C:6>}\n"));

  CMElementsLoader::setCodingOptions(false, true);
  std::unique_ptr<CMElements> second(CMElementsLoader::load(nullptr, CXString(coded)));
  CMElementsLoader::setCodingOptions(false, false);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(describe(second.get()), describe(first.get()));
  EXPECT_EQ(deftest::readFile(coded + ".decoded"), "OBJECT=A\nA:TYPE=ANIMO\n");
}

TEST(LoaderFiles, CodedHeadersReadAlikeAndOnlyDWritesDecoded) {
  deftest::TempDir dir;
  std::string coded;
  ASSERT_TRUE(CTextCoder::codeBytes("OBJECT=A\nA:K=v\n", 3, coded));
  std::string dForm = coded;
  dForm[2] = 'D';
  deftest::writeFile(dir.file("c.cnv"), coded);
  deftest::writeFile(dir.file("d.cnv"), dForm);
  std::unique_ptr<CMElements> c(CMElementsLoader::load(nullptr, CXString(dir.file("c.cnv"))));
  std::unique_ptr<CMElements> d(CMElementsLoader::load(nullptr, CXString(dir.file("d.cnv"))));
  ASSERT_NE(c, nullptr);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(describe(c.get()), "[A] K=v {}\n");
  EXPECT_EQ(describe(d.get()), describe(c.get()));
  EXPECT_FALSE(std::filesystem::exists(dir.file("c.cnv.decoded")));
  EXPECT_EQ(deftest::readFile(dir.file("d.cnv.decoded")), "OBJECT=A\nA:K=v\n");
}

}  // namespace
