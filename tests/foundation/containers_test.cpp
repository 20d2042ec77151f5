// CXArray and CXVector: growth rules, editing operations and string helpers; the small-object pool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/small_pool.h"
#include "foundation/xarray.h"
#include "foundation/xstring.h"

namespace {
int g_items[64];
void* item(int i) { return &g_items[i]; }
}  // namespace

TEST(CXArrayGrowth, AddDoublesWhenCountReachesCapacityTimesFactor) {
  CXArray a(4, 0.75f);
  a.add(item(0));
  a.add(item(1));
  EXPECT_EQ(a.getCapacity(), 4);
  a.add(item(2));  // 3 >= 4 x 0.75
  EXPECT_EQ(a.getCapacity(), 8);
  for (int i = 3; i < 6; ++i) a.add(item(i));
  EXPECT_EQ(a.getCapacity(), 16);  // 6 >= 8 x 0.75
  for (int i = 0; i < 6; ++i) EXPECT_EQ(a[i], item(i));
  EXPECT_EQ(a[6], nullptr);
}

TEST(CXArrayGrowth, HundredAndOneSlotsGrowAtTheSeventySixthItem) {
  CXArray a(101, 0.75f);
  for (int i = 0; i < 75; ++i) a.add(item(i % 64));
  EXPECT_EQ(a.getCapacity(), 101);
  a.add(item(0));
  EXPECT_EQ(a.getCapacity(), 202);
  EXPECT_EQ(a.size(), 76);
}

TEST(CXArrayGrowth, InsertAtDoublesUntilIndexBelowThreshold) {
  CXArray a(4, 0.5f);
  EXPECT_TRUE(a.insertAt(0, item(1)));
  EXPECT_TRUE(a.insertAt(0, item(0)));
  EXPECT_EQ(a.getCapacity(), 4);
  EXPECT_TRUE(a.insertAt(2, item(2)));  // index 2 is not below 4 x 0.5
  EXPECT_EQ(a.getCapacity(), 8);
  EXPECT_EQ(a.size(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(a[i], item(i));
}

TEST(CXArrayGrowth, FactorAboveOneNeverOverrunsTheBuffer) {
  CXArray a(2, 4.0f);
  for (int i = 0; i < 40; ++i) a.add(item(i));
  for (int i = 0; i < 40; ++i) a.insertAt(i, item(i % 64));
  ASSERT_EQ(a.size(), 80);
  EXPECT_GE(a.getCapacity(), 80);
}

TEST(CXArrayGrowth, DegenerateCapacityAndFactorAreMended) {
  CXArray zero(0, 0.0f);
  for (int i = 0; i < 20; ++i) zero.add(item(i));
  EXPECT_EQ(zero.size(), 20);
  EXPECT_LE(zero.getCapacity(), 64);
  EXPECT_FLOAT_EQ(zero.getFactor(), 0.75f);
  EXPECT_FLOAT_EQ(CXArray(1, 0.001f).getFactor(), 0.75f);
  CXArray negative(-5, -1.0f);
  negative.add(item(0));
  EXPECT_EQ(negative[0], item(0));
}

TEST(CXArrayEditing, InsertRemoveFindSet) {
  CXArray a(10, 0.75f);
  a.add(item(0));
  a.add(item(2));
  a.add(item(0));
  EXPECT_TRUE(a.insertAt(1, item(1)));
  EXPECT_TRUE(a.insertAt(4, item(3)));  // at the end
  EXPECT_FALSE(a.insertAt(6, item(9)));
  EXPECT_FALSE(a.insertAt(-1, item(9)));
  ASSERT_EQ(a.size(), 5);
  EXPECT_EQ(a.find(item(0)), 0);
  EXPECT_EQ(a.find(item(3)), 4);
  EXPECT_EQ(a.find(item(9)), -1);

  EXPECT_TRUE(a.remove(item(0)));  // first occurrence only
  EXPECT_EQ(a[0], item(1));
  EXPECT_TRUE(a.contains(item(0)));

  EXPECT_EQ(a.removeAt(7), nullptr);
  EXPECT_EQ(a.removeAt(-1), nullptr);
  EXPECT_EQ(a.size(), 4);
  EXPECT_EQ(a.setAt(0, item(5)), item(1));
  EXPECT_EQ(a.setAt(4, item(5)), nullptr);
  EXPECT_EQ(a.size(), 4);
  a.removeAll();
  EXPECT_EQ(a[0], nullptr);
}

TEST(CXVectorObjects, StringsAndCopies) {
  CXString a("alpha"), b("beta");
  CXObject plain;
  CXVector v(2, 0.75f);
  v.add(&a);
  v.add(&plain);
  v.add(&b);
  EXPECT_TRUE(v.containsString("beta"));
  EXPECT_FALSE(v.containsString("gamma"));
  EXPECT_EQ(v.stringAt(0), &a);
  EXPECT_EQ(v.stringAt(1), nullptr);
  EXPECT_EQ(v.stringAt(9), nullptr);

  CXObject* out[2] = {nullptr, nullptr};
  EXPECT_EQ(v.copyInto(out, 2), 2);
  EXPECT_EQ(out[1], &plain);
  EXPECT_EQ(v.copyInto(nullptr, 5), 0);

  CXVector target;
  target.add(&plain);
  v.copyInto(target);
  ASSERT_EQ(target.size(), 3);
  EXPECT_EQ(target[2], &b);
  v.copyInto(v);
  EXPECT_EQ(v.size(), 3);

  int n = 0;
  for (CXObject* o : v) n += o != nullptr;
  EXPECT_EQ(n, 3);
}

namespace {

// Live blocks of the given sizes, each filled with its own byte: none may overlap another.
struct Blocks {
  std::vector<std::pair<unsigned char*, size_t>> live;
  void take(size_t size) {
    auto* p = static_cast<unsigned char*>(tarnvik::pool::allocate(size));
    std::memset(p, static_cast<int>(live.size() % 251), size);
    live.emplace_back(p, size);
  }
  bool intact() const {
    for (size_t i = 0; i < live.size(); ++i)
      for (size_t b = 0; b < live[i].second; ++b)
        if (live[i].first[b] != static_cast<unsigned char>(i % 251)) return false;
    return true;
  }
  void giveBack() {
    for (auto [p, size] : live) tarnvik::pool::release(p, size);
    live.clear();
  }
};

}  // namespace

TEST(SmallPool, BlocksOfEverySizeAreAlignedAndDistinct) {
  Blocks blocks;
  for (size_t size : {1, 8, 15, 16, 17, 100, 208, 224, 1000, 1023, 1024, 1025, 4096, 70000})
    for (int copy = 0; copy < 50; ++copy) blocks.take(size);
  for (auto [p, size] : blocks.live) EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u) << size;
  EXPECT_TRUE(blocks.intact());
  blocks.giveBack();
}

TEST(SmallPool, WhatIsReleasedServesTheNextRequestOfItsSize) {
  if (!tarnvik::pool::active()) GTEST_SKIP() << "the pool steps aside in this build";
  const auto before = tarnvik::pool::usage();
  void* first = tarnvik::pool::allocate(200);
  void* other = tarnvik::pool::allocate(40);
  EXPECT_EQ(tarnvik::pool::usage().inUse, before.inUse + 208 + 48);
  tarnvik::pool::release(first, 200);
  void* again = tarnvik::pool::allocate(193);  // the same size class (193 to 208 bytes)
  EXPECT_EQ(again, first);
  void* fresh = tarnvik::pool::allocate(200);
  EXPECT_NE(fresh, first);
  tarnvik::pool::release(other, 40);
  void* small = tarnvik::pool::allocate(33);
  EXPECT_EQ(small, other);
  // 2 MB of one size fill what is left of the current block and at most one new one.
  std::vector<void*> many;
  for (int i = 0; i < 2048; ++i) many.push_back(tarnvik::pool::allocate(1024));
  EXPECT_LE(tarnvik::pool::usage().reserved, before.reserved + 2 * (size_t{2} << 20));
  for (void* p : many) tarnvik::pool::release(p, 1024);
  for (auto [p, size] : {std::pair{again, 193}, {fresh, 200}, {small, 33}}) tarnvik::pool::release(p, size);
  EXPECT_EQ(tarnvik::pool::usage().inUse, before.inUse);
}

TEST(SmallPool, ThreadsTakingAndGivingBackAtOnceNeverShareABlock) {
  auto work = [](int seed, bool* ok) {
    Blocks blocks;
    for (int round = 0; round < 20; ++round) {
      for (int i = 0; i < 200; ++i) blocks.take(static_cast<size_t>(16 + (i * 37 + seed) % 900));
      *ok = *ok && blocks.intact();
      blocks.giveBack();
    }
  };
  bool ok1 = true, ok2 = true;
  std::thread a(work, 1, &ok1), b(work, 2, &ok2);
  a.join();
  b.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
}
