// The pool of temporaries: ring allocation, release, exhaustion and copies.
#include <gtest/gtest.h>

#include <set>

#include "runtime/variable_factory.h"

namespace {

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CMC_VariableFactory::initialize();
    CMC_VariableFactory::clearPool();
  }
  void TearDown() override { CMC_VariableFactory::clearPool(); }
};

TEST_F(PoolTest, ExhaustionGrowsInsteadOfReusingALiveSlot) {
  const int n = CMC_VariableFactory::POOL_SIZE;
  std::set<CMC_Variable*> live;
  std::set<int> slots;
  for (int i = 0; i < n + 10; ++i) {
    CMC_Integer* v = CMC_VariableFactory::allocInteger();
    ASSERT_NE(v, nullptr);
    v->setValue(i);
    EXPECT_TRUE(live.insert(v).second) << "slot handed out twice at " << i;
    slots.insert(v->getPoolIndex());
  }
  EXPECT_EQ(slots.size(), static_cast<size_t>(n + 10));
  EXPECT_GE(CMC_VariableFactory::capacity(mc::TYPE_INTEGER), n + 10);
  EXPECT_EQ(CMC_VariableFactory::inUse(mc::TYPE_INTEGER), n + 10);
  // Values written earlier survived: nothing was reset under its holder.
  int sum = 0;
  for (auto* v : live) sum += v->asInteger();
  EXPECT_EQ(sum, (n + 9) * (n + 10) / 2);
  CMC_VariableFactory::clearPool();
  EXPECT_EQ(CMC_VariableFactory::inUse(mc::TYPE_INTEGER), 0);
}

TEST_F(PoolTest, FreedSlotsAreReusedAndHandedOutClean) {
  CMC_String* s = CMC_VariableFactory::allocString();
  s->setValue("left over");
  s->setName("xtemp");
  s->setINI(true);
  CMC_VariableFactory::free(s);
  CMC_VariableFactory::free(s);  // twice is harmless
  EXPECT_EQ(CMC_VariableFactory::inUse(mc::TYPE_STRING), 0);
  // Going once round the ring comes back to the same slot, reset.
  CMC_String* again = nullptr;
  for (int i = 0; i < CMC_VariableFactory::POOL_SIZE; ++i) {
    CMC_String* t = CMC_VariableFactory::allocString();
    if (t == s) again = t;
    CMC_Object::flush(t);
  }
  ASSERT_EQ(again, s);
  EXPECT_TRUE(again->getValue().isEmpty());
  EXPECT_TRUE(again->getName().isEmpty());
  EXPECT_FALSE(again->isINI());
}

TEST_F(PoolTest, OnlyPoolMembersAreFreed) {
  CMC_Integer named("N", 1);
  CMC_VariableFactory::free(&named);
  CMC_VariableFactory::free(nullptr);
  CMC_VariableFactory::free(reinterpret_cast<CMC_Variable*>(static_cast<intptr_t>(-3)));
  CMC_Integer* a = CMC_VariableFactory::allocInteger();
  // A foreign object claiming a pool slot does not release the real holder.
  CMC_Integer impostor("I", 0);
  impostor.setPoolIndex(a->getPoolIndex());
  CMC_VariableFactory::free(&impostor);
  EXPECT_EQ(CMC_VariableFactory::inUse(mc::TYPE_INTEGER), 1);
  CMC_Object::flush(a);
  EXPECT_EQ(CMC_VariableFactory::inUse(mc::TYPE_INTEGER), 0);
}

TEST_F(PoolTest, AllocByTypeAndCopies) {
  EXPECT_EQ(CMC_VariableFactory::alloc(mc::TYPE_BOOL)->getType(), mc::TYPE_BOOL);
  EXPECT_EQ(CMC_VariableFactory::alloc(mc::TYPE_EXPRESSION), nullptr);
  CMC_Double d("D", 2.5);
  CMC_Variable* copy = CMC_VariableFactory::copyVariable(&d);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->getType(), mc::TYPE_DOUBLE);
  EXPECT_DOUBLE_EQ(copy->asDouble(), 2.5);
  EXPECT_GE(copy->getPoolIndex(), 0);
  EXPECT_EQ(CMC_VariableFactory::copyVariable(nullptr), nullptr);
}

}  // namespace
