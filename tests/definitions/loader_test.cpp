// Statement rules of the definition-file loader.
#include <gtest/gtest.h>

#include <memory>

#include "files/path.h"
#include "test_support.h"

using deftest::describe;
using deftest::parse;

namespace {

std::unique_ptr<CMElements> load(const std::string& text) {
  std::unique_ptr<CMElements> list(parse(text));
  EXPECT_NE(list, nullptr);
  return list;
}

struct StatementCase {
  const char* what;
  const char* text;
  const char* expected;  // describe() of the loaded list
};

const StatementCase kStatementCases[] = {
    {"declaration and properties in order, duplicates kept", "OBJECT=A\nA:TYPE=INTEGER\nA:VALUE=5\nA:VALUE=7\n",
     "[A] TYPE=INTEGER;VALUE=5;VALUE=7 {}\n"},
    {"undeclared names and targets dropped", "B:VALUE=1\nOBJECT=A\nA:ADD=C\nA:APPLY=C\nC:X=1\n", "[A]  {}\n"},
    {"separators inside values become blanks", "OBJECT=A\nA:TEXT=a=b:c\nA:T2=x  y\n", "[A] TEXT=a b c;T2=x  y {}\n"},
    {"slash joins lines and disappears", "OBJECT=x\nx:FILENAME=abc/\ndef.ann\nx:P=a/b\n", "[x] FILENAME=abcdef.ann;P=ab {}\n"},
    {"a lone slash line joins without splitting", "OBJECT=x\nx:F=ab/\n/\ncd\n", "[x] F=abcd {}\n"},
    {"tabs and edge blanks removed", "\t  OBJECT=A  \nA:K=\tv w \t\n", "[A] K=v w {}\n"},
    {"comments and the end mark", "#OBJECT=A\nOBJECT=B\n!OBJECT=C\nOBJECT=D\n", "[B]  {}\n"},
    {"DEF always appends; pieces trimmed; body to the last ')'", "DEF:P(X = 1|Y=2 )\nDEF:P(Z=a=b:c)|more)\n",
     "[P] X=1;Y=2 {}\n[P] Z=a=b:c) {}\n"},
    {"DEF pieces without '=' skipped", "DEF:P(A=1|junk||B=|=v)\n", "[P] A=1;B=;=v {}\n"},
    {"malformed DEF lines dropped", "DEF\nDEF:P\nDEF:Q)(\nDEF:R(A=1\nOBJECT=S\n", "[S]  {}\n"},
    {"IMPORT declares a sequence once", "IMPORT=S\nS:TYPE=OTHER\nIMPORT=S\n", "[S] TYPE=SEQUENCE;TYPE=OTHER {}\n"},
    {"a repeated OBJECT drops the rest of its line", "OBJECT=A\nOBJECT=A:A:K=1\nOBJECT=B:B:K=2\n", "[A]  {}\n[B] K=2 {}\n"},
    {"ADD and APPLY build children and go on", "OBJECT=P\nOBJECT=C\nOBJECT=D\nC:ADD=P:D:ADD=P\nP:APPLY=C:P:X=1\n",
     "[P] X=1 {C,D,C,}\n[C]  {}\n[D]  {}\n"},
    {"value-less property only when absent", "OBJECT=A\nA:K\nA:K\nA:V=1\nA:V\n", "[A] K=;V=1 {}\n"},
    {"keywords and names are case-sensitive", "object=A\nOBJECT=a\nA:K=1\na:K=2\n", "[a] K=2 {}\n"},
    {"a last line without line feed is read whole", "OBJECT=A\nA:VALUE=12345", "[A] VALUE=12345 {}\n"},
    {"carriage returns of buffers folded", "OBJECT=A\r\nA:V=1\r\n", "[A] V=1 {}\n"},
    {"empty and separator-only input", "\n\n:::==\n  \n/", ""},
};

TEST(LoaderStatements, Rules) {
  for (const StatementCase& c : kStatementCases) {
    std::unique_ptr<CMElements> list(parse(c.text));
    ASSERT_NE(list, nullptr) << c.what;
    EXPECT_EQ(describe(list.get()), c.expected) << c.what;
  }
  std::unique_ptr<CMElements> list(parse("OBJECT=A\nA:VALUE=5\nA:VALUE=7\n"));
  EXPECT_EQ(list->get("A")->getPropertyValue("VALUE"), "5");
  EXPECT_FALSE(list->getAt(0)->getChildren()->isOwning());
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

TEST(LoaderOrigins, ElementsAndPropertiesKeepTheirFileAndFirstLine) {
  deftest::TempDir dir;
  std::filesystem::create_directories(dir.path() / "Dane" / "Scena");
  const std::string text = "# a comment\nOBJECT=HERO\n\nHERO:TYPE=ANIMO\nHERO:ONINIT={A^B();/\n  C^D();}\nHERO:K=1\n";
  deftest::writeFile((dir.path() / "Dane" / "Scena" / "Scena.cnv").string(), text);
  std::string coded;
  ASSERT_TRUE(CTextCoder::codeBytes(text, 3, coded));
  deftest::writeFile((dir.path() / "Dane" / "Scena" / "coded.cnv").string(), coded);
  CPath::setDataRoot(CXString(dir.path().string()));
  // The plain file named in another letter case, and its coded form: the same lines.
  for (const char* name : {"dane/scena/SCENA.CNV", "Dane/Scena/coded.cnv"}) {
    std::unique_ptr<CMElements> list(CMElementsLoader::load(nullptr, CXString(dir.path().string() + "/" + name)));
    ASSERT_NE(list, nullptr) << name;
    CMElement* hero = list->get("HERO");
    ASSERT_NE(hero, nullptr) << name;
    const std::string file = std::string(name).ends_with("coded.cnv") ? "Dane/Scena/coded.cnv" : "Dane/Scena/Scena.cnv";
    EXPECT_EQ(hero->getOrigin().text(), file + ":2") << name;
    EXPECT_EQ(hero->getProperty("TYPE")->getOrigin().text(), file + ":4") << name;
    EXPECT_EQ(hero->getProperty("ONINIT")->getOrigin().text(), file + ":5") << name;
    EXPECT_EQ(hero->getProperty("K")->getOrigin().text(), file + ":7") << name;
  }
  CPath::setDataRoot(CXString(std::filesystem::current_path().string()));
}

TEST(LoaderOrigins, BuffersWithoutAFileHaveNoOrigin) {
  std::unique_ptr<CMElements> list(parse("OBJECT=A\nA:K=1\n"));
  EXPECT_FALSE(list->get("A")->getOrigin().known());
  EXPECT_EQ(list->get("A")->getOrigin().text(), "");
}

}  // namespace
