// Windows-1250 names: decoding, display in UTF-8, and the keys that compare them without letter case.
#include <gtest/gtest.h>

#include <string>

#include "foundation/cp1250.h"

namespace cp = tarnvik::cp1250;

namespace {

TEST(Cp1250, BytesReadAsTextAndShownInUtf8) {
  EXPECT_EQ(cp::toUtf8("\xBF" "aba \xA3\xF3\x64\xBE"), "\xC5\xBC" "aba \xC5\x81\xC3\xB3" "d\xC4\xBE");  // żaba Łódľ
  EXPECT_EQ(cp::toUnicode(0x8A), U'Š');
  EXPECT_EQ(cp::toUnicode(0x81), U'\0');  // unused in the code page
  // Valid UTF-8 is kept; bytes outside it are read as Windows-1250.
  EXPECT_EQ(cp::displayUtf8("\xC5\xBC" "aba / \xBF" "aba"), "\xC5\xBC" "aba / \xC5\xBC" "aba");
  EXPECT_EQ(cp::displayUtf8("plain"), "plain");
  EXPECT_TRUE(cp::isValidUtf8("\xC5\xBB"));
  EXPECT_FALSE(cp::isValidUtf8("\xAF" "ABA"));
  EXPECT_FALSE(cp::isValidUtf8("\xC0\x80"));       // overlong
  EXPECT_FALSE(cp::isValidUtf8("\xED\xA0\x80"));   // a surrogate
}

TEST(Cp1250, EveryLetterOfTheCodePageFoldsToItsSmallLetter) {
  // Capital and small letters of Windows-1250, as Unicode.
  const std::u32string capitals = U"ŠŚŤŽŹŁĄŞŻĽŔÁÂĂÄĹĆÇČÉĘËĚÍÎĎĐŃŇÓÔŐÖŘŮÚŰÜÝŢ";
  const std::u32string smalls = U"šśťžźłąşżľŕáâăäĺćçčéęëěíîďđńňóôőöřůúűüýţ";
  ASSERT_EQ(capitals.size(), smalls.size());
  for (size_t i = 0; i < capitals.size(); ++i) {
    EXPECT_EQ(cp::foldCase(capitals[i]), smalls[i]) << i;
    EXPECT_EQ(cp::foldCase(smalls[i]), smalls[i]) << i;
  }
  EXPECT_EQ(cp::foldCase(U'×'), U'×');
  EXPECT_EQ(cp::foldCase(U'ß'), U'ß');
}

TEST(Cp1250, KeysMatchANameAcrossEncodingsAndLetterCase) {
  const std::string definition = "\xBF" "aba.img";         // żaba.img, Windows-1250
  const std::string diskUtf8 = "\xC5\xBB" "ABA.IMG";        // ŻABA.IMG, UTF-8
  const std::string diskRaw = "\xAF" "ABA.IMG";             // ŻABA.IMG, Windows-1250
  ASSERT_EQ(cp::requestKeys(definition).size(), 1u);
  EXPECT_EQ(cp::requestKeys(definition)[0], cp::diskKey(diskUtf8));
  EXPECT_EQ(cp::requestKeys(definition)[0], cp::diskKey(diskRaw));
  EXPECT_EQ(cp::requestKeys("A.WAV"), std::vector<std::string>{"a.wav"});
  // Bytes that are valid UTF-8 too are tried both ways, Windows-1250 first.
  std::vector<std::string> both = cp::requestKeys("\xC5\xBC" "aba");
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[1], cp::diskKey("\xC5\xBB" "ABA"));
  EXPECT_NE(cp::diskKey("\xBF" "aba"), cp::diskKey("\xBE" "aba"));  // ż and ľ stay apart
}

}  // namespace
