// CXString conversions, substrings, search, editing, wildcard matching and safe formatting.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <cstdio>
#include <string>

#include "foundation/geometry.h"
#include "foundation/xarray.h"
#include "foundation/xstring.h"

namespace {

std::string printf5(double v) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.5f", v);
  return buffer;
}

}  // namespace

TEST(CXStringNumbers, ToNumberReadsLeadingInteger) {
  EXPECT_EQ(CXString("12abc").toNumber(), 12);
  EXPECT_EQ(CXString("  -7").toNumber(), -7);
  EXPECT_EQ(CXString("\t+3x").toNumber(), 3);
  EXPECT_EQ(CXString("- 3").toNumber(), 0);
  EXPECT_EQ(CXString("abc").toNumber(), 0);
  EXPECT_EQ(CXString("").toNumber(), 0);
  EXPECT_EQ(CXString("3.9").toNumber(), 3);
}

TEST(CXStringNumbers, ToNumberSaturatesOnOverflow) {
  EXPECT_EQ(CXString("2147483647").toNumber(), INT_MAX);
  EXPECT_EQ(CXString("2147483648").toNumber(), INT_MAX);
  EXPECT_EQ(CXString("99999999999999999999999").toNumber(), INT_MAX);
  EXPECT_EQ(CXString("-2147483648").toNumber(), INT_MIN);
  EXPECT_EQ(CXString("-99999999999999999999999").toNumber(), INT_MIN);
  EXPECT_EQ(CXString::toLong(CXString("-2147483649")), INT_MIN);
}

TEST(CXStringNumbers, IsNumberMeansNonZero) {
  EXPECT_FALSE(CXString("0").isNumber());
  EXPECT_FALSE(CXString("-0").isNumber());
  EXPECT_FALSE(CXString("abc").isNumber());
  EXPECT_TRUE(CXString("12abc").isNumber());
  EXPECT_TRUE(CXString(" -1").isNumber());
  EXPECT_TRUE(CXString::isNumber(CXString("5")));
}

TEST(CXStringNumbers, ToDoubleReadsLeadingDecimal) {
  EXPECT_DOUBLE_EQ(CXString("1.5e3x").toDouble(), 1500.0);
  EXPECT_DOUBLE_EQ(CXString(".5").toDouble(), 0.5);
  EXPECT_DOUBLE_EQ(CXString("  -2.25").toDouble(), -2.25);
  EXPECT_DOUBLE_EQ(CXString("1e").toDouble(), 1.0);
  EXPECT_DOUBLE_EQ(CXString("abc").toDouble(), 0.0);
  EXPECT_DOUBLE_EQ(CXString(".").toDouble(), 0.0);
  EXPECT_DOUBLE_EQ(CXString("0x10").toDouble(), 0.0);
}

TEST(CXStringNumbers, ToBoolOnlyTrueIgnoringCase) {
  EXPECT_TRUE(CXString("true").toBool());
  EXPECT_TRUE(CXString("TRUE").toBool());
  EXPECT_TRUE(CXString("tRuE").toBool());
  EXPECT_FALSE(CXString("1").toBool());
  EXPECT_FALSE(CXString("yes").toBool());
  EXPECT_FALSE(CXString(" true").toBool());
  EXPECT_FALSE(CXString("").toBool());
  EXPECT_EQ(CXString::toString(true).str(), "TRUE");
  EXPECT_EQ(CXString::toString(false).str(), "FALSE");
  EXPECT_EQ(CXString::toString(INT_MIN).str(), "-2147483648");
}

TEST(CXStringDouble, ZeroAndExamples) {
  EXPECT_EQ(CXString::toString(0.0).str(), "0");
  EXPECT_EQ(CXString::toString(-0.0).str(), "0");
  EXPECT_EQ(CXString::toString(0.25).str(), "0.25000");
  EXPECT_EQ(CXString::toString(-0.001).str(), "-0.00100");
  EXPECT_EQ(CXString::toString(1.5).str(), "1.50000");
  EXPECT_EQ(CXString::toString(-2.0).str(), "-2.00000");
  EXPECT_EQ(CXString::toString(0.999999).str(), "1.00000");
  EXPECT_EQ(CXString::toString(9.999996).str(), "10.00000");
  EXPECT_EQ(CXString::toString(0.000004).str(), "0.00000");
  EXPECT_EQ(CXString::toString(-0.000004).str(), "-0.00000");
  EXPECT_EQ(CXString::toString(123456.5).str(), "123456.50000");
}

TEST(CXStringDouble, MatchesFixedFiveDecimalsOverManyValues) {
  const double mantissas[] = {1.0, 1.5, 2.675, 3.14159265, 4.999995, 5.000005, 6.02214076, 9.999996, 9.9999949};
  int checked = 0;
  for (int exponent = -9; exponent <= 300; ++exponent) {
    for (double m : mantissas) {
      for (double sign : {1.0, -1.0}) {
        double v = sign * m * std::pow(10.0, exponent);
        ASSERT_EQ(CXString::toString(v).str(), printf5(v)) << "value " << v;
        ++checked;
      }
    }
  }
  for (double v : {1e15, -1e15, 1e300, -1e300, 1e-5, 0.5e-5, 0.4999e-5, 0.999999, 99.999995, 0.123455, 1e308}) {
    EXPECT_EQ(CXString::toString(v).str(), printf5(v)) << "value " << v;
    ++checked;
  }
  EXPECT_GT(checked, 5000);
}

TEST(CXStringDouble, NonFiniteValuesPrintAsZero) {
  EXPECT_EQ(CXString::toString(std::numeric_limits<double>::infinity()).str(), "0");
  EXPECT_EQ(CXString::toString(-std::numeric_limits<double>::infinity()).str(), "0");
  EXPECT_EQ(CXString::toString(std::numeric_limits<double>::quiet_NaN()).str(), "0");
}

TEST(CXStringSubstrings, LeftRightMidUseIndexes) {
  CXString s("ABCDE");
  EXPECT_EQ(s.Right(2).str(), "CDE");
  EXPECT_EQ(s.Mid(1, 3).str(), "BC");
  EXPECT_EQ(s.Left(2).str(), "AB");
  EXPECT_EQ(s.Left(10).str(), "ABCDE");
  EXPECT_EQ(s.Left(-1).str(), "");
  EXPECT_EQ(s.Right(10).str(), "");
  EXPECT_EQ(s.Right(-3).str(), "ABCDE");
  EXPECT_EQ(s.Mid(3, 1).str(), "");
  EXPECT_EQ(s.Mid(-2, 2).str(), "AB");
  EXPECT_EQ(s.Mid(2, 99).str(), "CDE");
  CXString t("ABCDE");
  t.mid(1, 4);
  EXPECT_EQ(t.str(), "BCD");
}

TEST(CXStringSearch, StartsAndEnds) {
  CXString s("ABCABC");
  EXPECT_EQ(s.Find('C', 3), 5);
  EXPECT_EQ(s.Find('A', 6), -1);
  EXPECT_EQ(s.indexOf("BC", 50), -1);
  EXPECT_EQ(s.findOneOf("XC"), 2);
  EXPECT_FALSE(s.endsWith("ABCABCA"));
  EXPECT_EQ(s.GetAt(-1), '\0');
}

TEST(CXStringEditing, TrimReplaceWords) {
  EXPECT_EQ(CXString("**a*b**").AllTrim('*').str(), "a*b");
  EXPECT_EQ(CXString("aXbXc").replace("X", "--").str(), "a--b--c");
  EXPECT_EQ(CXString("aaa").replace("", "x").str(), "aaa");
  CXString once("x1x2x3");
  EXPECT_EQ(once.replaceOnce("x", "Y", 1), 2);
  EXPECT_EQ(once.str(), "x1Y2x3");
  EXPECT_EQ(CXString("<b>bold</b> text").removeTag("b").str(), "bold text");
  CXString words("  one   two three ");
  EXPECT_EQ(words.getWord(0).str(), "one");
  EXPECT_EQ(words.getWord(2).str(), "three");
  EXPECT_EQ(words.getWord(3).str(), "");
}

TEST(CXStringConstruction, CountedConstructorStopsAtNul) {
  const char shortText[] = "ab";
  EXPECT_EQ(CXString(shortText, 100).str(), "ab");
  EXPECT_EQ(CXString("abcdef", 3).str(), "abc");
  EXPECT_EQ(CXString("abc", -1).str(), "");
  EXPECT_EQ(CXString(static_cast<const char*>(nullptr), 5).str(), "");
  EXPECT_EQ(CXString(77).str(), "77");
}

TEST(CXStringFilter, Wildcards) {
  EXPECT_TRUE(CXString("anything.ann").FilterFits("*"));
  EXPECT_TRUE(CXString("noext").FilterFits("*.*"));
  EXPECT_TRUE(CXString("").FilterFits("*"));
  EXPECT_TRUE(CXString("ABC").FilterFits("A?C"));
  EXPECT_FALSE(CXString("ABD").FilterFits("A?C"));
  EXPECT_FALSE(CXString("ABCD").FilterFits("A?C"));
  EXPECT_FALSE(CXString("AC").FilterFits("A?C"));
  EXPECT_TRUE(CXString("walk.ann").FilterFits("*.ann"));
  EXPECT_FALSE(CXString("walk.ANN").FilterFits("*.ann"));
  EXPECT_TRUE(CXString("abXcdYc").FilterFits("a*c*c"));
  EXPECT_TRUE(CXString("abc").FilterFits("ab*"));
  EXPECT_TRUE(CXString("ab").FilterFits("ab*"));
  EXPECT_FALSE(CXString("abc").FilterFits(""));
  EXPECT_TRUE(CXString("").FilterFits(""));
}

TEST(CXStringFormat, PlainUse) {
  CXString s;
  EXPECT_EQ(s.Format("%d-%d", 3, 4).str(), "3-4");
  EXPECT_EQ(s.Format("[%5d]", 42).str(), "[   42]");
  EXPECT_EQ(s.Format("[%-4s]", CXString("ab")).str(), "[ab  ]");
  EXPECT_EQ(s.Format("%s_%d", CXString("obj"), 2).str(), "obj_2");
  EXPECT_EQ(s.Format("%s%d%s", CXString("a"), 1, CXString("b")).str(), "a1b");
  EXPECT_EQ(s.Format("%s:%02d:%02d", CXString("t"), 5, 7).str(), "t:05:07");
}

TEST(CXStringFormat, HostilePatternsReadOnlyGivenArguments) {
  CXString s;
  EXPECT_EQ(s.Format("%d %d %d", 1).str(), "1  ");
  EXPECT_EQ(s.Format("%s %s %s %s", CXString("a"), 1).str(), "a 1  ");
  EXPECT_EQ(s.Format("%n%d", 5).str(), "%n5");
  EXPECT_EQ(s.Format("%s", 42).str(), "42");
  EXPECT_EQ(s.Format("%d", CXString("12")).str(), "12");
  EXPECT_EQ(s.Format("%f %p", 1).str(), "%f %p");
  EXPECT_EQ(s.Format("%*d", 3, 4).str(), "3");
  EXPECT_EQ(s.Format("%lld|%hd", 1, 2).str(), "1|2");
  EXPECT_EQ(s.Format("tail %", 1).str(), "tail %");
  EXPECT_EQ(s.Format(nullptr, 1).str(), "");
}

TEST(CXStringFormat, HugeWidthsAreCapped) {
  CXString s;
  s.Format("%99999999999d", 7);
  EXPECT_EQ(s.length(), 1000);
  EXPECT_EQ(s.lastChar(), '7');
  s.Format("%99999999s", CXString("x"));
  EXPECT_EQ(s.length(), 1000);
  s.Format("%.99999d", 1);
  EXPECT_EQ(s.length(), 1000);
  EXPECT_EQ(s.Format("%.99999s", CXString("abc")).str(), "abc");
  EXPECT_EQ(s.Format("%.1s", CXString("abc")).str(), "a");
}

TEST(CXStringFormat, PatternMayBeTheStringItself) {
  CXString s("value %d");
  s.Format(s.c_str(), 9);
  EXPECT_EQ(s.str(), "value 9");
  CXString t("%s!");
  t.Format(t.c_str(), t);
  EXPECT_EQ(t.str(), "%s!!");
}

TEST(CXStringGeometry, PointAndRect) {
  EXPECT_EQ(CXString::toPoint("10,20"), CXPoint(10, 20));
  EXPECT_EQ(CXString::toPoint(" 5 , -3"), CXPoint(5, -3));
  EXPECT_EQ(CXString::toPoint("7"), CXPoint(7, 0));
  EXPECT_EQ(CXString::toPoint(""), CXPoint(0, 0));
  EXPECT_EQ(CXString::toRect("1,2,3,4"), CXRect(1, 2, 3, 4));
  EXPECT_EQ(CXString::toRect("1,2,,4"), CXRect(1, 2, 0, 4));
  EXPECT_EQ(CXString::toRect("1,2"), CXRect(1, 2, 0, 0));
  EXPECT_EQ(CXString::toRect("1,2,3,4,5"), CXRect(1, 2, 3, 4));
}

TEST(CXStringVector, SplitsAtDefaultDelimitersSkippingEmptyPieces) {
  CXArray* parts = CXString::toVector("A, B,C\r\nD  E,,");
  ASSERT_NE(parts, nullptr);
  ASSERT_EQ(parts->size(), 5);
  const char* expected[] = {"A", "B", "C", "D", "E"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(parts->stringAt(i)->str(), expected[i]);
  EXPECT_TRUE(parts->containsString("C"));
  EXPECT_FALSE(parts->containsString("F"));
  CXString::releaseToVector(parts);

  CXArray* empty = CXString::toVector(" , ");
  EXPECT_EQ(empty->size(), 0);
  CXString::releaseToVector(empty);

  CXArray* custom = CXString::toVector("a;b c", ";");
  ASSERT_EQ(custom->size(), 2);
  EXPECT_EQ(custom->stringAt(1)->str(), "b c");
  CXString::releaseToVector(custom);
  CXString::releaseToVector(nullptr);
}

TEST(CXStringHash, KnownValues) {
  EXPECT_EQ(xstringHash(""), 0);
  EXPECT_EQ(xstringHash("A"), 1 + 65);
  EXPECT_EQ(xstringHash("AB"), (1 + 65) + (2 + 2 * 66));
  EXPECT_EQ(xstringHash("\xFF"), 1 - 1);
  EXPECT_NE(xstringHash("abc"), xstringHash("ABC"));
  // Position 16 uses the shift 0 again.
  std::string seventeen(17, '\0');
  int32_t expected = 0;
  for (int i = 0; i < 17; ++i) expected += 1 << (i % 16);
  EXPECT_EQ(xstringHash(seventeen), expected);
  EXPECT_EQ(CXString("key").hashCode(), xstringHash("key"));
}
