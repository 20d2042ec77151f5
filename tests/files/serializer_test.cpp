// Tests of the byte reader/writer and of CXArchive's encodings, round trips and truncated input.
#include <gtest/gtest.h>

#include <climits>
#include <bit>
#include <cmath>
#include <limits>

#include "files/bytereader.h"
#include "files/file.h"
#include "files/memory_sink.h"
#include "files/state_fields.h"
#include "files/xarchive.h"
#include "temp_tree.h"

using tarnvik::ByteReader;
using tarnvik::ByteWriter;
using tarnvik::test::TempTree;

namespace {

TEST(ByteReader, ReadsLittleEndianValues) {
  const uint8_t data[] = {0x01, 0x34, 0x12, 0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12,
                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
  ByteReader r(data, sizeof data);
  EXPECT_EQ(r.u8(), 1);
  EXPECT_EQ(r.u16(), 0x1234);
  EXPECT_EQ(r.i16(), -2);
  EXPECT_EQ(r.u32(), 0x12345678u);
  EXPECT_EQ(r.i64(), INT64_MAX);
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(r.atEnd());
}

TEST(ByteReader, ShortReadFailsWithNeutralValuesAndStaysFailed) {
  const uint8_t data[] = {1, 2, 3};
  ByteReader r(data, sizeof data);
  EXPECT_EQ(r.u32(), 0u);
  EXPECT_TRUE(r.failed());
  EXPECT_EQ(r.position(), 0u);
  EXPECT_EQ(r.u8(), 0);  // even though a byte remains
  EXPECT_TRUE(r.view(1).empty());
}

TEST(ByteReader, CountsAreCheckedBeforeAllocating) {
  ByteWriter w;
  w.i32(INT32_MAX);
  w.bytes("abc", 3);
  ByteReader r(w.data());
  EXPECT_EQ(r.string32(), "");
  EXPECT_TRUE(r.failed());

  ByteReader huge(w.data());
  EXPECT_TRUE(huge.bytes(int64_t{1} << 40).empty());
  EXPECT_TRUE(huge.failed());

  ByteWriter neg;
  neg.i32(-1);
  ByteReader n(neg.data());
  EXPECT_EQ(n.string32(), "");
  EXPECT_TRUE(n.failed());

  ByteReader s(w.data());
  EXPECT_FALSE(s.seek(8));
  EXPECT_TRUE(s.failed());
  ByteReader k(w.data());
  EXPECT_FALSE(k.skip(8));
  EXPECT_FALSE(k.skip(0));
}

TEST(ByteReader, WriterRoundTrip) {
  ByteWriter w;
  w.i8(-5);
  w.i16(-300);
  w.i32(INT32_MIN);
  w.u64(0x0102030405060708ull);
  w.f32(1.5f);
  w.string8("short");
  w.string16("middle");
  w.string32("long");
  w.fixedString("ab", 4);
  w.fixedString("toolong", 3);
  size_t at = w.size();
  w.u32(0);
  EXPECT_TRUE(w.patchU32(at, 0xCAFEBABE));
  EXPECT_FALSE(w.patchU32(w.size() - 2, 1));

  ByteReader r(w.data());
  EXPECT_EQ(r.i8(), -5);
  EXPECT_EQ(r.i16(), -300);
  EXPECT_EQ(r.i32(), INT32_MIN);
  EXPECT_EQ(r.u64(), 0x0102030405060708ull);
  EXPECT_EQ(r.f32(), 1.5f);
  EXPECT_EQ(r.string8(), "short");
  EXPECT_EQ(r.string16(), "middle");
  EXPECT_EQ(r.string32(), "long");
  EXPECT_EQ(r.fixedString(4), "ab");
  EXPECT_EQ(r.fixedString(3), "too");
  EXPECT_EQ(r.u32(), 0xCAFEBABEu);
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(r.atEnd());
}

class Archive : public TempTree {
 protected:
  // Writes with `store`, then returns the file's bytes.
  template <typename F>
  std::string stored(F store) {
    CFile file(nullptr, CXString("ar.bin"), 22);
    EXPECT_EQ(file.getErrorCode(), 0);
    CXArchive ar(&file, true);
    store(ar);
    EXPECT_TRUE(ar.isOk());
    file.Close();
    return read("ar.bin");
  }
  std::unique_ptr<CFile> loading(const std::string& bytes) {
    write("in.bin", bytes);
    auto file = std::make_unique<CFile>(nullptr, CXString("in.bin"), 17);
    EXPECT_EQ(file->getErrorCode(), 0);
    return file;
  }
};

TEST_F(Archive, EncodingsAreExact) {
  EXPECT_EQ(stored([](CXArchive& a) { a << int32_t{-2}; }), std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_EQ(stored([](CXArchive& a) { a << true << false; }), std::string("\x01\x00", 2));
  EXPECT_EQ(stored([](CXArchive& a) { a << int64_t{0x0102030405060708}; }), std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8));
  EXPECT_EQ(stored([](CXArchive& a) { a << 1.2345; }), std::string("\xD2\x04\x00\x00", 4));  // 1234
  EXPECT_EQ(stored([](CXArchive& a) { a << CXString(); }), std::string(4, '\0'));
  EXPECT_EQ(stored([](CXArchive& a) { a << CXString("ab"); }), std::string("\x02\0\0\0ab", 6));
  EXPECT_EQ(stored([](CXArchive& a) { a << "xyz"; }), std::string("\x03\0\0\0xyz", 7));
  EXPECT_EQ(stored([](CXArchive& a) { a.writeShortString(CXString("hi")); }), std::string("\x02hi", 3));
  EXPECT_EQ(stored([](CXArchive& a) { a << CXRect(1, 2, 3, 4); }),
            std::string("\1\0\0\0\2\0\0\0\3\0\0\0\4\0\0\0", 16));
  EXPECT_EQ(stored([](CXArchive& a) { a.FWrite(CXString("raw")); }), "raw");
}

TEST_F(Archive, DoublesTruncateTowardZeroAndSaturate) {
  std::string bytes = stored([](CXArchive& a) {
    a << 1.2345 << -1.2345 << 1e12 << -1e12 << std::nan("") << std::numeric_limits<double>::infinity() << 0.0009;
  });
  auto file = loading(bytes);
  CXArchive ar(file.get(), false);
  double v[7];
  for (double& d : v) ar >> d;
  EXPECT_TRUE(ar.isOk());
  EXPECT_DOUBLE_EQ(v[0], 1.234);
  EXPECT_DOUBLE_EQ(v[1], -1.234);
  EXPECT_DOUBLE_EQ(v[2], INT32_MAX * 0.001);
  EXPECT_DOUBLE_EQ(v[3], INT32_MIN * 0.001);
  EXPECT_EQ(v[4], 0.0);
  EXPECT_DOUBLE_EQ(v[5], INT32_MAX * 0.001);
  EXPECT_EQ(v[6], 0.0);
}

TEST(ArchiveDoubles, AValueReadBackStoresTheSameThousandths) {
  // n * 0.001 is sometimes a rounding step below n / 1000; saving it again must not lose a thousandth.
  for (int32_t n : {-16450780, -1, 1, 7, 1234, 16450780, 999999, -2147483, INT32_MAX, INT32_MIN + 1})
    EXPECT_EQ(CXArchive::scaledDouble(n * 0.001), n) << n;
  EXPECT_EQ(CXArchive::scaledDouble(1.2345), 1234);  // real fractions of a thousandth still truncate
  EXPECT_EQ(CXArchive::scaledDouble(-0.0019), -1);
}

TEST_F(Archive, EveryTypeRoundTrips) {
  std::string longest(127, 'q');
  std::string bytes = stored([&](CXArchive& a) {
    a << int32_t{123456} << true << int64_t{-9876543210} << -7.5 << CXString("text\0with zero") << "chars"
      << CXRect(-1, -2, 30, 40);
    a.writeShortString(CXString(longest));
    a.writeShortString(CXString());
    a.FWrite(CXString("tail"));
  });
  std::string source = "copied";
  write("src.bin", source);
  {
    CFile file(nullptr, CXString("ar.bin"), 1 | 4 | 16);
    file.Seek(0, SEEK_END);
    CXArchive ar(&file, true);
    EXPECT_TRUE(ar.CopyFileA(CXString("SRC.BIN")));
    EXPECT_FALSE(ar.CopyFileA(CXString("missing.bin")));
  }
  auto file = loading(read("ar.bin"));
  CXArchive ar(file.get(), false);
  int32_t i;
  bool b;
  int64_t l;
  double d;
  CXString s;
  std::unique_ptr<char[]> chars;
  CXRect r;
  CXString shortText, emptyShort, tail("    "), copied;
  ar >> i >> b >> l >> d >> s >> chars >> r;
  EXPECT_TRUE(ar.readShortString(shortText));
  EXPECT_TRUE(ar.readShortString(emptyShort));
  EXPECT_TRUE(ar.FRead(tail));
  EXPECT_TRUE(ar.FRead(copied, 6));
  EXPECT_TRUE(ar.isOk());
  EXPECT_EQ(i, 123456);
  EXPECT_TRUE(b);
  EXPECT_EQ(l, -9876543210);
  EXPECT_DOUBLE_EQ(d, -7.5);
  EXPECT_EQ(s.str(), "text");  // a C string literal ends at its zero
  ASSERT_TRUE(chars);
  EXPECT_STREQ(chars.get(), "chars");
  EXPECT_EQ(r.left, -1);
  EXPECT_EQ(r.bottom, 40);
  EXPECT_EQ(shortText.str(), longest);
  EXPECT_EQ(emptyShort.str(), "");
  EXPECT_EQ(tail.str(), "tail");
  EXPECT_EQ(copied.str(), "copied");
  EXPECT_TRUE(file->eof() || file->Tell() == file->Length());
}

TEST_F(Archive, StringsWithZeroBytesSurvive) {
  std::string bytes = stored([](CXArchive& a) { a << CXString(std::string("a\0b", 3)); });
  auto file = loading(bytes);
  CXArchive ar(file.get(), false);
  CXString s;
  ar >> s;
  EXPECT_EQ(s.str(), std::string("a\0b", 3));
}

TEST_F(Archive, ShortStringLimit) {
  std::string bytes = stored([](CXArchive& a) { EXPECT_FALSE(a.writeShortString(CXString(std::string(128, 'x')))); });
  EXPECT_EQ(bytes, "");
  auto file = loading(std::string("\x80") + std::string(128, 'x'));
  CXArchive ar(file.get(), false);
  CXString s("before");
  EXPECT_FALSE(ar.readShortString(s));
  EXPECT_EQ(s.str(), "");
  EXPECT_FALSE(ar.isOk());
}

TEST_F(Archive, TruncatedInputFailsCleanly) {
  // A string claiming 100 bytes with 3 present, then nothing.
  auto file = loading(std::string("\x64\0\0\0abc", 7));
  CXArchive ar(file.get(), false);
  CXString s("before");
  ar >> s;
  EXPECT_EQ(s.str(), "");
  EXPECT_FALSE(ar.isOk());
  int32_t after = 99;
  ar >> after;
  EXPECT_EQ(after, 0);

  auto half = loading(std::string("\x01\x02", 2));
  CXArchive ar2(half.get(), false);
  int32_t v = 5;
  ar2 >> v;
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(ar2.isOk());
}

TEST_F(Archive, NegativeAndHugeLengthsFail) {
  auto neg = loading(std::string("\xFF\xFF\xFF\xFFxyz", 7));
  CXArchive a(neg.get(), false);
  std::unique_ptr<char[]> chars(new char[1]);
  a >> chars;
  EXPECT_FALSE(chars);
  EXPECT_FALSE(a.isOk());

  auto huge = loading(std::string("\xFF\xFF\xFF\x7F", 4));
  CXArchive b(huge.get(), false);
  CXString s;
  b >> s;
  EXPECT_TRUE(s.isEmpty());
  EXPECT_FALSE(b.isOk());

  auto raw = loading("ab");
  CXArchive c(raw.get(), false);
  CXString r;
  EXPECT_FALSE(c.FRead(r, 3));
  EXPECT_FALSE(c.FRead(r, -1));
}

TEST_F(Archive, WrongDirectionOrNoFileFails) {
  auto file = loading("abcd");
  CXArchive ar(file.get(), false);
  ar << int32_t{1};
  EXPECT_FALSE(ar.isOk());
  CXArchive none(nullptr, false);
  int32_t v = 3;
  none >> v;
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(none.isOk());
  CFile closed;
  CXArchive onClosed(&closed, true);
  onClosed << true;
  EXPECT_FALSE(onClosed.isOk());
  EXPECT_EQ(onClosed.getSeparator(), ' ');
  onClosed.Separator(';');
  EXPECT_EQ(onClosed.getSeparator(), ';');
}

TEST_F(Archive, SceneWithNoObjectsIsThreeStringsAndZero) {
  std::string bytes = stored([](CXArchive& a) { a << CXString() << CXString() << CXString() << int32_t{0}; });
  EXPECT_EQ(bytes, std::string(16, '\0'));
}

}  // namespace

TEST(StateFields, EveryKindReadsBackAsWrittenAndDoublesKeepEveryBit) {
  int32_t i = -7;
  bool b = true;
  int64_t l = INT64_MIN + 3;
  uint32_t u = 0xFFFFFFF0u;
  uint64_t q = 0x123456789ABCDEFull;
  double d = 1.0 / 3.0;
  CXString s("saved text");
  CFile_Sink sink;
  CXArchive out(&sink, true);
  ASSERT_TRUE(saved::fields(&out, i, b, l, u, q, d, s));
  std::vector<uint8_t> bytes = sink.bytes();
  EXPECT_EQ(bytes.size(), 4u + 1 + 8 + 4 + 8 + 8 + 4 + 10);
  int32_t i2 = 0;
  bool b2 = false;
  int64_t l2 = 0;
  uint32_t u2 = 0;
  uint64_t q2 = 0;
  double d2 = 0;
  CXString s2;
  CFile_Stream stream(bytes.data(), static_cast<long>(bytes.size()));
  CXArchive in(&stream, false);
  ASSERT_TRUE(saved::fields(&in, i2, b2, l2, u2, q2, d2, s2));
  EXPECT_EQ(i2, i);
  EXPECT_EQ(b2, b);
  EXPECT_EQ(l2, l);
  EXPECT_EQ(u2, u);
  EXPECT_EQ(q2, q);
  EXPECT_EQ(std::bit_cast<int64_t>(d2), std::bit_cast<int64_t>(d)) << "not the serializer's three decimals";
  EXPECT_EQ(s2, s);
  // One field more than written: the reading fails.
  CFile_Stream shortStream(bytes.data(), static_cast<long>(bytes.size()));
  CXArchive shortIn(&shortStream, false);
  int32_t extra = 0;
  EXPECT_FALSE(saved::fields(&shortIn, i2, b2, l2, u2, q2, d2, s2, extra));
}
