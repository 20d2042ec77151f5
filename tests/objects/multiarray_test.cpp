// MULTIARRAY addressing, growing, counting and its binary file, byte for byte.
#include "files/bytereader.h"
#include "objects/data_fixture.h"
#include "objects/data/multiarray.h"

namespace {

class MultiArrayTest : public DataObjectsTest {
 protected:
  CMC_MultiArray* grid(const char* name = "M", const char* dimensions = "2") {
    declare({{name, {{"TYPE", "MULTIARRAY"}, {"DIMENSIONS", dimensions}}}});
    return static_cast<CMC_MultiArray*>(scene()->getObject(name));
  }
  static std::string bytesOf(std::initializer_list<int32_t> words, const std::string& tail = "") {
    tarnvik::ByteWriter w;
    for (int32_t v : words) w.i32(v);
    std::vector<uint8_t> b = w.take();
    return std::string(b.begin(), b.end()) + tail;
  }
};

TEST_F(MultiArrayTest, CellsAreAddressedByTheFirstTwoCoordinates) {
  CMC_MultiArray* m = grid();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->getCellCount(), 256);
  EXPECT_EQ(call("M", "GETSIZE", "0"), "16");
  EXPECT_EQ(call("M", "GETSIZE", "1"), "16");
  EXPECT_EQ(call("M", "GETSIZE", "2"), "0");
  EXPECT_EQ(call("M", "GETSIZE", "-1"), "0");
  run("M^SET(3,4,7);");
  EXPECT_EQ(call("M", "GET", "3,4"), "7");
  EXPECT_EQ(call("M", "GET", "4,3"), "NULL");
  EXPECT_EQ(call("M", "SAFEGET", "4,3"), "0");
  EXPECT_EQ(call("M", "GET", "20,0"), "NULL");  // past the first dimension: no cell, no aliasing
  EXPECT_EQ(call("M", "GET", "-1,0"), "NULL");
  EXPECT_EQ(call("M", "GET", "3,4,99"), "7");    // further coordinates do not address
  run("M^SET(\"text\");");                       // no coordinates: cell 0
  EXPECT_EQ(call("M", "GET", ""), "text");
}

TEST_F(MultiArrayTest, GrowingDoublesAndKeepsCellsInPlace) {
  CMC_MultiArray* m = grid();
  run("M^SET(3,4,7);M^SET(20,0,1);");
  EXPECT_EQ(m->getSize(0), 32);
  EXPECT_EQ(call("M", "GET", "3,4"), "7");
  EXPECT_EQ(call("M", "GET", "20,0"), "1");
  CMC_MultiArray* fresh = grid("N");
  run("N^SET(40,0,1);N^SET(0,0,2,5);");
  EXPECT_EQ(fresh->getSize(0), 64);
  EXPECT_EQ(fresh->getSize(1), 16);
  CMC_MultiArray* cube = grid("C", "3");
  run("C^SET(1,1,40,9);");  // the third coordinate only grows its dimension
  EXPECT_EQ(cube->getSize(2), 64);
  EXPECT_EQ(cube->getCellCount(), 16 * 16 * 64);
  EXPECT_EQ(call("C", "GET", "1,1"), "9");
}

TEST_F(MultiArrayTest, BadCoordinatesAndSizesAreRefused) {
  CMC_MultiArray* m = grid();
  captureLog(tarnvik::log::Level::warn);
  run("M^SET(-1,0,5);M^SET(0,-3,5);M^SET(2147483647,0,5);M^SET(65536,65536,5);");
  EXPECT_EQ(m->getFilledCount(), 0);
  EXPECT_EQ(m->getSize(0), 16);
  EXPECT_EQ(m->getSize(1), 16);
  EXPECT_EQ(logLines().size(), 4u);
  // One dimension: a second coordinate has nowhere to go.
  CMC_MultiArray* line = grid("L", "1");
  run("L^SET(5,1,5);L^SET(5,2);");
  EXPECT_EQ(line->getFilledCount(), 1);
  EXPECT_EQ(call("L", "GET", "5"), "2");
  // Dimensions outside 1..7 are brought into range.
  EXPECT_EQ(grid("Z", "0")->getDimensions(), 1);
  EXPECT_EQ(grid("H", "9")->getDimensions(), CMC_MultiArray::kMaxDimensions);
}

TEST_F(MultiArrayTest, CountComparesByTheCellsValues) {
  grid();
  run("M^SET(0,0,7);M^SET(1,0,7);M^SET(2,0,8);M^SET(3,0,\"7\");");
  EXPECT_EQ(call("M", "COUNT", "7"), "3");  // the STRING "7" equals 7 converted
  EXPECT_EQ(call("M", "COUNT", "9"), "0");
}

TEST_F(MultiArrayTest, FileLayoutIsByteExact) {
  CMC_MultiArray* m = grid();
  run("M^SET(1,0,5);M^SET(0,1,\"AB\");M^SET(2,0,TRUE);M^SET(3,0,1.5);M^SAVE(\"grid.bin\");");
  std::string expected = bytesOf({2, 16, 16, 1, 1, 5, 2, 3, 1, 3, 4, 1500, 16, 2, 2}) + "AB" + bytesOf({256});
  EXPECT_EQ(readFile("grid.bin"), expected);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m->toBytes().data()), m->toBytes().size()), expected);
  CMC_MultiArray* back = grid("B");
  run("B^LOAD(\"GRID.BIN\");");
  EXPECT_EQ(back->toBytes(), m->toBytes());
  EXPECT_EQ(call("B", "GET", "0,1"), "AB");
  EXPECT_EQ(call("B", "GET", "2,0"), "TRUE");
}

TEST_F(MultiArrayTest, ALoadedFileSavesTheSameBytesEveryTime) {
  // Found by the fuzzer: a DOUBLE of -16450.780 lost a thousandth at every save.
  CMC_MultiArray* m = grid();
  std::string file = bytesOf({2, 65568, 144, 69, 1, -218103838, 0, 4, -16450780, 222208, 65536});
  ASSERT_TRUE(m->fromBytes(reinterpret_cast<const uint8_t*>(file.data()), file.size()));
  std::vector<uint8_t> once = m->toBytes();
  CMC_MultiArray* back = grid("B");
  ASSERT_TRUE(back->fromBytes(once.data(), once.size()));
  EXPECT_EQ(back->toBytes(), once);
  EXPECT_EQ(call("B", "GET", "0,0"), "-16450.78000");
}

TEST_F(MultiArrayTest, HostileFilesAreRefusedOrCutShort) {
  CMC_MultiArray* m = grid();
  run("M^SET(1,1,42);");
  std::vector<uint8_t> before = m->toBytes();
  captureLog(tarnvik::log::Level::warn);
  auto load = [&](const std::string& bytes) {
    return m->fromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  };
  // Refused whole, the grid unchanged: sizes of 0 (growth would never end) or below, too many cells
  // (2^31 would overflow), dimension counts out of range, a short header.
  EXPECT_FALSE(load(bytesOf({2, 0, 16, 256})));
  EXPECT_FALSE(load(bytesOf({2, -4, 16, 0})));
  EXPECT_FALSE(load(bytesOf({2, 65536, 32768, 0})));
  EXPECT_FALSE(load(bytesOf({1, INT32_MIN})));
  EXPECT_FALSE(load(bytesOf({0})));
  EXPECT_FALSE(load(bytesOf({400000000, 1})));
  EXPECT_FALSE(load(bytesOf({2, 16})));
  EXPECT_EQ(m->toBytes(), before);
  // Read up to the trouble: a negative index is skipped, an unknown type or a cut ends the cells.
  EXPECT_TRUE(load(bytesOf({2, 16, 16, -5, 1, 9, 3, 1, 11, 4, 9, 77, 5, 1, 12})));
  EXPECT_EQ(m->getFilledCount(), 1);
  EXPECT_EQ(call("M", "GET", "3,0"), "11");
  EXPECT_TRUE(load(bytesOf({1, 16, 2, 2, 1000}, "abc")));  // a string longer than the data
  EXPECT_EQ(m->getFilledCount(), 0);
  EXPECT_EQ(m->getDimensions(), 1);
  // A missing file keeps the grid as it was.
  run("M^SET(2,9);M^LOAD(\"nothing.bin\");");
  EXPECT_EQ(call("M", "GET", "2"), "9");
}

}  // namespace
