// Physical lines, the coded form and the whole-file coding conversions.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "definitions/textcoder.h"
#include "definitions/textfilereader.h"
#include "test_support.h"

namespace {

std::vector<std::string> plainLines(CTextCoder& coder) {
  std::vector<std::string> lines;
  while (!coder._eof()) lines.push_back(coder.getLine().str());
  return lines;
}

TEST(TextFileReader, PhysicalLines) {
  CTextFileReader reader(std::string("ab\n\ncd\r\nlast"));
  EXPECT_EQ(reader.getLine(), "ab");
  EXPECT_EQ(reader.getLine(), "");
  EXPECT_EQ(reader.getLine(), "cd");
  EXPECT_FALSE(reader.eof());
  EXPECT_EQ(reader.getLine(), "last");
  EXPECT_TRUE(reader.eof());
  EXPECT_EQ(reader.getLine(), "");
  reader.reset();
  EXPECT_EQ(reader.getLine(), "ab");
}

TEST(TextFileReader, CallerBufferIsNotOwnedAndMayBeEmpty) {
  const char text[] = "x\ny";
  CTextFileReader reader(text, 3);
  EXPECT_FALSE(reader.isOwned());
  EXPECT_EQ(reader.getLine(), "x");
  EXPECT_EQ(reader.getLine(), "y");
  CTextFileReader empty(nullptr, -5);
  EXPECT_TRUE(empty.eof());
  EXPECT_EQ(empty.getLine(), "");
}

TEST(TextFileReader, FilesAreReadInTextMode) {
  deftest::TempDir dir;
  deftest::writeFile(dir.file("a.def"), "one\r\ntwo\r\r\n");
  CTextFileReader reader(nullptr, CXString(dir.file("a.def")));
  EXPECT_EQ(reader.getErrorCode(), 0);
  EXPECT_EQ(reader.getLine(), "one");
  EXPECT_EQ(reader.getLine(), "two\r");
  CTextFileReader missing(nullptr, CXString(dir.file("none.def")));
  EXPECT_EQ(missing.getErrorCode(), 2000);
  EXPECT_TRUE(missing.eof());
}

TEST(TextCoder, CodesAbcWithCycleThree) {
  std::string coded;
  ASSERT_TRUE(CTextCoder::codeBytes("abc\n", 3, coded));
  EXPECT_EQ(coded, "{<C:3>}\nbae<E>\n");
  std::string plain;
  ASSERT_TRUE(CTextCoder::decodeBytes(coded, plain));
  EXPECT_EQ(plain, "abc\n");
}

TEST(TextCoder, OnePhysicalLineOfThreeCodedLines) {
  CTextFileReader reader(std::string("{<C:3>}\nbae<E>bd<E>d<E>\n"));
  CTextCoder coder(nullptr, &reader, true);
  ASSERT_TRUE(coder.isCoded());
  EXPECT_EQ(coder.getCycle(), 3);
  // The offset index runs on across lines: "bd" takes offsets +1, -1 and "d" then takes +2.
  std::vector<std::string> lines = plainLines(coder);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "abc\n");
  EXPECT_EQ(lines[1], "ae\n");
  EXPECT_EQ(lines[2], "b\n");
  EXPECT_EQ(lines[3], "\n");  // end detected on the missing next physical line
}

// Coding then decoding gives every line trimmed of blanks and without tabs; a short last physical
// line ends cleanly and huge cycles do not loop over absent lines.
TEST(TextCoder, RoundTripsNormaliseLines) {
  struct Case {
    const char* plain;
    int cycle;
    const char* decoded;
    int physicalLines;
  } cases[] = {{"l1\nl2\nl3\nl4\nl5", 2, "l1\nl2\nl3\nl4\nl5\n", 4},
               {"  a\tb  \n\n", 6, "ab\n\n", 2},
               {"a\nb\n", 2000000000, "a\nb\n", 2}};
  for (const Case& c : cases) {
    std::string coded, plain;
    ASSERT_TRUE(CTextCoder::codeBytes(c.plain, c.cycle, coded)) << c.plain;
    EXPECT_EQ(std::count(coded.begin(), coded.end(), '\n'), c.physicalLines) << c.plain;
    ASSERT_TRUE(CTextCoder::decodeBytes(coded, plain));
    EXPECT_EQ(plain, c.decoded);
  }
}

TEST(TextCoder, BadHeadersMakeTheCoderUnusable) {
  for (const char* text : {"{<C:0>}\nx<E>\n", "{<C:-4>}\n", "{<C:abc>}\n", "{<D:6\n"}) {
    CTextFileReader reader{std::string(text)};
    CTextCoder coder(nullptr, &reader, true);
    EXPECT_EQ(coder.getErrorCode(), CTextCoder::errorBadHeader) << text;
    EXPECT_TRUE(coder._eof());
    EXPECT_EQ(CMElementsLoader::load(&coder), nullptr);
  }
}

TEST(TextCoder, AlreadyCodedOrUncodableInputIsRefused) {
  std::string out;
  EXPECT_FALSE(CTextCoder::codeBytes("{<C:6>}\nb<E>\n", 6, out));
  EXPECT_FALSE(CTextCoder::decodeBytes("plain\n", out));
  EXPECT_FALSE(CTextCoder::codeBytes("x\n", 0, out));
  // ';' 'F' '<' at offsets +1 -1 +2 code to "<E>", which would split the line on reading.
  EXPECT_FALSE(CTextCoder::codeBytes(";F<\n", 6, out));
  // 0x0B at offset -1 codes to a line feed.
  EXPECT_FALSE(CTextCoder::codeBytes("a\x0b\n", 6, out));
  EXPECT_TRUE(out.empty());
}

// Arbitrary lines (any byte but line ends and tabs, no edge blanks) survive coding for any cycle,
// unless the coder refuses them because a coded piece would hold a line feed or an end mark.
TEST(TextCoder, RandomRoundTrips) {
  std::mt19937 random(12345);
  int coded = 0;
  for (int round = 0; round < 400; ++round) {
    int cycle = 1 + static_cast<int>(random() % 9);
    int lineCount = static_cast<int>(random() % 12);
    std::string plain;
    for (int l = 0; l < lineCount; ++l) {
      int length = static_cast<int>(random() % 20);
      std::string line;
      for (int i = 0; i < length; ++i) {
        char c = static_cast<char>(random() % 256);
        if (c == '\n' || c == '\r' || c == '\t') c = 'q';
        line += c;
      }
      while (!line.empty() && line.front() == ' ') line.erase(0, 1);
      while (!line.empty() && line.back() == ' ') line.pop_back();
      plain += line + "\n";
    }
    if (plain.starts_with("{<C:") || plain.starts_with("{<D:")) continue;
    std::string out, back;
    if (!CTextCoder::codeBytes(plain, cycle, out)) continue;
    ++coded;
    ASSERT_TRUE(CTextCoder::decodeBytes(out, back));
    EXPECT_EQ(back, plain) << "cycle " << cycle;
  }
  EXPECT_GT(coded, 200);
}

TEST(TextCoder, WholeFileConversions) {
  deftest::TempDir dir;
  const std::string source = dir.file("app.def");
  deftest::writeFile(source, "OBJECT=A\nA:K=v\n");
  EXPECT_TRUE(CTextCoder::code(nullptr, CXString(source), CXString(source + ".coded"), 6));
  EXPECT_TRUE(deftest::readFile(source + ".coded").starts_with("{<C:6>}\n"));
  EXPECT_FALSE(CTextCoder::code(nullptr, CXString(source + ".coded"), CXString(dir.file("again")), 6));
  EXPECT_FALSE(std::filesystem::exists(dir.file("again")));
  EXPECT_FALSE(CTextCoder::decode(nullptr, CXString(source), CXString(dir.file("plain"))));
  EXPECT_FALSE(std::filesystem::exists(dir.file("plain")));
  EXPECT_TRUE(CTextCoder::decode(nullptr, CXString(source + ".coded"), CXString(dir.file("back"))));
  EXPECT_EQ(deftest::readFile(dir.file("back")), "OBJECT=A\nA:K=v\n");
  EXPECT_FALSE(CTextCoder::code(nullptr, CXString(dir.file("missing")), CXString(dir.file("m.coded")), 6));
  EXPECT_FALSE(CTextCoder::code(nullptr, CXString(source), CXString(dir.file("no/such/dir/x")), 6));
}

}  // namespace
