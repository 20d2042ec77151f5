// CXArray and CXVector: growth rules, editing operations and string helpers.
#include <gtest/gtest.h>

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
