// The pixel codecs: run-length groups at their edges, PackBits rows, LZO1X blocks and the LZW
// dictionary, each with data that must be refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "graphics/formats/codecs.h"

namespace {

std::vector<uint8_t> units16(const std::vector<uint16_t>& values) {
  std::vector<uint8_t> bytes;
  for (uint16_t v : values) {
    bytes.push_back(static_cast<uint8_t>(v));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
  }
  return bytes;
}

std::vector<uint8_t> noise(size_t n, uint32_t seed, int range = 256) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = static_cast<uint8_t>(random() % range);
  return out;
}

std::vector<uint8_t> rle16Roundtrip(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> packed = CRLECompression::__compress(bytes.data(), bytes.size());
  std::vector<uint8_t> back(bytes.size());
  EXPECT_TRUE(CRLECompression::__decompress(packed.data(), packed.size(), back.data(), back.size()));
  return back;
}

}  // namespace

TEST(RunLength, GroupsAtTheRunEdges) {
  const uint16_t a = 0x1234, b = 0xBEEF;
  // Three equal units stay literal; four make one repeat group.
  EXPECT_EQ(CRLECompression::__compress(units16({a, a, a}).data(), 6),
            (std::vector<uint8_t>{3, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12}));
  EXPECT_EQ(CRLECompression::__compress(units16({a, a, a, a}).data(), 8), (std::vector<uint8_t>{132, 0x34, 0x12}));
  // A literal before a run is written first.
  EXPECT_EQ(CRLECompression::__compress(units16({b, a, a, a, a, a}).data(), 12),
            (std::vector<uint8_t>{1, 0xEF, 0xBE, 133, 0x34, 0x12}));
  // 200 equal units: a repeat of 127, then one of the remaining 73.
  std::vector<uint8_t> two = CRLECompression::__compresschar(std::vector<uint8_t>(200, 7).data(), 200);
  EXPECT_EQ(two, (std::vector<uint8_t>{255, 7, 128 + 73, 7}));
  // 130 different bytes: a full literal group of 127, then the full group's rule takes two, then one.
  std::vector<uint8_t> distinct(130);
  for (int i = 0; i < 130; ++i) distinct[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> packed = CRLECompression::__compresschar(distinct.data(), distinct.size());
  ASSERT_EQ(packed.size(), 130u + 3);
  EXPECT_EQ(packed[0], 127);
  EXPECT_EQ(packed[128], 2);
  EXPECT_EQ(packed[131], 1);
  // A single unit and an empty input.
  EXPECT_EQ(CRLECompression::__compresschar(distinct.data(), 1), (std::vector<uint8_t>{1, 0}));
  EXPECT_TRUE(CRLECompression::__compresschar(distinct.data(), 0).empty());
}

TEST(RunLength, RoundTripsMixedData) {
  std::vector<uint8_t> art = noise(3000, 1);
  std::fill(art.begin() + 100, art.begin() + 900, 0x55);           // flat, same bytes
  for (size_t i = 1000; i < 1600; i += 2) art[i] = 0x12, art[i + 1] = 0x34;  // flat, different bytes
  EXPECT_EQ(rle16Roundtrip(art), art);
  std::vector<uint8_t> bytes = noise(5000, 2, 3);  // many short runs
  std::vector<uint8_t> packed = CRLECompression::__compresschar(bytes.data(), bytes.size());
  std::vector<uint8_t> back(bytes.size());
  ASSERT_TRUE(CRLECompression::__decompresschar(packed.data(), packed.size(), back.data(), back.size()));
  EXPECT_EQ(back, bytes);
  EXPECT_LE(bytes.size(), CRLECompression::maxExpansion(packed.size(), 1));
}

TEST(RunLength, ALastGroupRunningPastTheOutputIsCutThere) {
  std::vector<uint8_t> out(8, 0xEE);
  const std::vector<uint8_t> repeat{3, 7, 8, 9, 128 + 9, 1};
  ASSERT_TRUE(CRLECompression::__decompresschar(repeat.data(), repeat.size(), out.data(), 8));
  EXPECT_EQ(out, (std::vector<uint8_t>{7, 8, 9, 1, 1, 1, 1, 1}));
  const std::vector<uint8_t> literal{128 + 2, 5, 0, 6, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0};
  ASSERT_TRUE(CRLECompression::__decompress(literal.data(), literal.size(), out.data(), 8));
  EXPECT_EQ(out, (std::vector<uint8_t>{5, 0, 5, 0, 1, 0, 2, 0}));
  // Cut, a literal needs only the units that fit.
  const std::vector<uint8_t> cutLiteral{128 + 4, 1, 9, 7, 6, 5, 2, 3};
  ASSERT_TRUE(CRLECompression::__decompresschar(cutLiteral.data(), cutLiteral.size(), out.data(), 8));
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 1, 1, 1, 7, 6, 5, 2}));
}

TEST(RunLength, RefusesDataThatCannotFillTheOutput) {
  std::vector<uint8_t> out(8, 0xEE);
  // A literal reaching past the input, input ending early.
  const std::vector<uint8_t> shortLiteral{5, 1, 2};
  EXPECT_FALSE(CRLECompression::__decompresschar(shortLiteral.data(), shortLiteral.size(), out.data(), 8));
  const std::vector<uint8_t> tooFew{128 + 4, 1};
  EXPECT_FALSE(CRLECompression::__decompresschar(tooFew.data(), tooFew.size(), out.data(), 8));
  const std::vector<uint8_t> missingUnit{128 + 4, 1};
  EXPECT_FALSE(CRLECompression::__decompress(missingUnit.data(), missingUnit.size(), out.data(), 8));
  // Groups that fill the output exactly, with data left over, are fine.
  const std::vector<uint8_t> exact{128 + 4, 1, 0, 0, 9, 9};
  EXPECT_TRUE(CRLECompression::__decompress(exact.data(), exact.size(), out.data(), 8));
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 0, 1, 0, 1, 0, 1, 0}));
}

TEST(PackBits, RowsDecodeAndRefuseOverflow) {
  const std::vector<uint8_t> row{2, 'a', 'b', 'c', 0xFE, 'z', 0x80, 0, 'q'};
  std::vector<uint8_t> out(7);
  ASSERT_TRUE(CRLECompression2::decodeRow(row.data(), row.size(), out.data(), out.size()));
  EXPECT_EQ(std::string(out.begin(), out.end()), "abczzzq");
  std::vector<uint8_t> small(5);
  EXPECT_FALSE(CRLECompression2::decodeRow(row.data(), row.size(), small.data(), small.size()));
  EXPECT_FALSE(CRLECompression2::decodeRow(row.data(), 3, out.data(), out.size()));
  std::vector<uint8_t> data = noise(1000, 3, 2);
  std::vector<uint8_t> packed = CRLECompression2::encodeRow(data.data(), data.size());
  std::vector<uint8_t> back(data.size());
  ASSERT_TRUE(CRLECompression2::decodeRow(packed.data(), packed.size(), back.data(), back.size()));
  EXPECT_EQ(back, data);
}

TEST(LzoBlock, RoundTripsAndChecksSizes) {
  for (size_t n : {size_t(1), size_t(2), size_t(17), size_t(100000)}) {
    std::vector<uint8_t> data = noise(n, static_cast<uint32_t>(n));
    std::vector<uint8_t> block = CLZWCompression2::compress(data.data(), data.size());
    ASSERT_FALSE(block.empty()) << n;
    std::vector<uint8_t> back;
    size_t used = 0;
    ASSERT_TRUE(CLZWCompression2::decompress(block.data(), block.size(), n, n, back, &used));
    EXPECT_EQ(back, data);
    EXPECT_EQ(used, block.size());
    // The stated size outside what the caller allows, or a cut stream, is refused.
    EXPECT_FALSE(CLZWCompression2::decompress(block.data(), block.size(), n + 1, n + 1, back));
    EXPECT_FALSE(CLZWCompression2::decompress(block.data(), block.size() - 1, n, n, back));
    EXPECT_TRUE(back.empty());
  }
  // A stated unpacked size far beyond what the packed bytes can hold is refused before allocating.
  std::vector<uint8_t> hostile{0xFF, 0xFF, 0xFF, 0x7F, 4, 0, 0, 0, 1, 2, 3, 4};
  std::vector<uint8_t> out;
  EXPECT_FALSE(CLZWCompression2::decompress(hostile.data(), hostile.size(), 0, SIZE_MAX, out));
}

namespace {

// Writes codes least-significant bit first, the width chosen by the caller.
struct CodeWriter {
  std::vector<uint8_t> bytes;
  uint64_t bits = 0;
  uint32_t count = 0;
  void put(uint32_t code, int width) {
    for (int i = 0; i < width; ++i, ++bits) {
      if (bits % 8 == 0) bytes.push_back(0);
      if (code >> i & 1) bytes.back() |= static_cast<uint8_t>(1 << (bits % 8));
    }
    ++count;
  }
  std::vector<uint8_t> block(uint32_t unpacked) const {
    std::vector<uint8_t> out;
    for (uint32_t v : {unpacked, static_cast<uint32_t>(bytes.size()), count})
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
  }
};

}  // namespace

TEST(Lzw, RoundTripsTextNoiseAndLongRuns) {
  std::string text;
  for (int i = 0; i < 4000; ++i) text += "the quick brown fox " + std::to_string(i % 97) + " ";
  std::vector<std::vector<uint8_t>> inputs{std::vector<uint8_t>(text.begin(), text.end()), noise(300000, 4),
                                           std::vector<uint8_t>(200000, 'a'), {42}};
  for (const auto& data : inputs) {
    std::vector<uint8_t> block = CLZWCompression::compress(data.data(), data.size());
    std::vector<uint8_t> back;
    ASSERT_TRUE(CLZWCompression::decompress(block.data(), block.size(), data.size(), back)) << data.size();
    EXPECT_EQ(back, data);
  }
}

TEST(Lzw, FullDictionaryKeepsItsWidthUntilAClear) {
  // Literal codes after a clear: each but the first adds an entry (previous + first byte of this one).
  CodeWriter w;
  std::vector<uint8_t> expected;
  w.put(256, 9);
  int width = 9;
  uint32_t next = 257;
  const int literals = 66000;  // more than the dictionary holds
  for (int i = 0; i < literals; ++i) {
    const uint8_t byte = static_cast<uint8_t>((i * 7 + i / 256) & 0xFF);
    w.put(byte, width);
    expected.push_back(byte);
    if (i > 0) {
      if (next < 65536) ++next;
      if (width < 16 && next == (1u << width)) ++width;
    }
  }
  ASSERT_EQ(next, 65536u);
  ASSERT_EQ(width, 16);
  // Entry 65535 is the pair of literals 65278 and 65279; it still decodes at width 16.
  w.put(65535, 16);
  expected.push_back(expected[65278]);
  expected.push_back(expected[65279]);
  w.put(256, 16);
  w.put('x', 9);
  expected.push_back('x');
  std::vector<uint8_t> block = w.block(static_cast<uint32_t>(expected.size()));
  std::vector<uint8_t> out;
  ASSERT_TRUE(CLZWCompression::decompress(block.data(), block.size(), expected.size(), out));
  EXPECT_EQ(out, expected);
}

TEST(Lzw, RefusesBadStreams) {
  std::vector<uint8_t> out;
  CodeWriter unknown;  // a code beyond the next free one
  unknown.put(256, 9);
  unknown.put('a', 9);
  unknown.put(300, 9);
  EXPECT_FALSE(CLZWCompression::decompress(unknown.block(2).data(), unknown.block(2).size(), 2, out));
  CodeWriter firstTooHigh;  // the code after a clear must be a byte
  firstTooHigh.put(256, 9);
  firstTooHigh.put(257, 9);
  EXPECT_FALSE(CLZWCompression::decompress(firstTooHigh.block(2).data(), firstTooHigh.block(2).size(), 2, out));
  std::vector<uint8_t> data(1000, 'q');
  std::vector<uint8_t> block = CLZWCompression::compress(data.data(), data.size());
  EXPECT_FALSE(CLZWCompression::decompress(block.data(), block.size(), 999, out));    // size disagrees
  EXPECT_FALSE(CLZWCompression::decompress(block.data(), block.size() - 1, 1000, out));  // cut short
  std::vector<uint8_t> moreCodes = block;
  moreCodes[8] = 0xFF, moreCodes[9] = 0xFF;  // more codes than the bytes hold
  EXPECT_FALSE(CLZWCompression::decompress(moreCodes.data(), moreCodes.size(), 1000, out));
  std::vector<uint8_t> longer = block;
  longer[0] = 0xE7, longer[1] = 0x03;  // 999 stated, the codes produce 1000
  EXPECT_FALSE(CLZWCompression::decompress(longer.data(), longer.size(), 999, out));
  EXPECT_TRUE(out.empty());
}
