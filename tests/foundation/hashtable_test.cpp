// CHashtable: lookups, growth, collisions, insertion order, ownership and copies.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/hashtable.h"

namespace {

int g_live = 0;

// Counts live instances so tests can see what an owning table deletes.
class TrackedKey : public CStringHashCode {
 public:
  explicit TrackedKey(const char* text) : CStringHashCode(CXString(text)) { ++g_live; }
  TrackedKey(const TrackedKey& other) : CStringHashCode(other) { ++g_live; }
  ~TrackedKey() override { --g_live; }
  CXObject* clone() const override { return new TrackedKey(*this); }
};

class TrackedValue : public CXObject {
 public:
  explicit TrackedValue(int v) : value(v) { ++g_live; }
  TrackedValue(const TrackedValue& other) : CXObject(other), value(other.value) { ++g_live; }
  ~TrackedValue() override { --g_live; }
  CXObject* clone() const override { return new TrackedValue(*this); }
  int value;
};

class Uncloneable : public CXObject {
 public:
  Uncloneable() { ++g_live; }
  ~Uncloneable() override { --g_live; }
};

int valueOf(const CHashtable& t, const char* key) {
  CStringHashCode k{CXString(key)};
  auto* v = dynamic_cast<TrackedValue*>(t.get(&k));
  return v ? v->value : -1;
}

// Two different key texts that fall into the same slot of a table of the given capacity.
std::pair<std::string, std::string> collidingKeys(int capacity) {
  std::vector<int> seen(capacity, -1);
  for (int i = 0;; ++i) {
    std::string text = "key" + std::to_string(i);
    int slot = ((xstringHash(text) % capacity) + capacity) % capacity;
    if (seen[slot] >= 0) return {"key" + std::to_string(seen[slot]), text};
    seen[slot] = i;
  }
}

class HashtableTest : public ::testing::Test {
 protected:
  void SetUp() override { g_live = 0; }
  void TearDown() override { EXPECT_EQ(g_live, 0) << "objects leaked or deleted twice"; }
};

}  // namespace

TEST_F(HashtableTest, StringKeyHashIsPrecomputedAndExact) {
  CStringHashCode k(CXString("Name"));
  EXPECT_EQ(k.hashCode(), xstringHash("Name"));
  CStringHashCode other(CXString("name"));
  EXPECT_FALSE(k.equals(&other));
  k.set("other");
  EXPECT_EQ(k.hashCode(), xstringHash("other"));
}

TEST_F(HashtableTest, IntegerKeys) {
  CHashtable t(7, 0.75, true);
  for (int i = -20; i <= 20; ++i) t.put(new CInteger(i), new CInteger(i * 10));
  CInteger probe(-13);
  auto* v = dynamic_cast<CInteger*>(t.get(&probe));
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->getValue(), -130);
  CInteger minKey(INT32_MIN);
  EXPECT_GE(t.slotOf(&minKey), 0);
  EXPECT_EQ(t.get(&minKey), nullptr);
  EXPECT_EQ(t.size(), 41);
}

// "k" and the number (built by appending: GCC 12 warns falsely on "k" + std::to_string(i)).
std::string keyName(int i) {
  std::string name = "k";
  name += std::to_string(i);
  return name;
}

TEST_F(HashtableTest, GrowsToTwoHundredTwoSlotsAtTheSeventySixthPair) {
  CHashtable t(101, 0.75, true);
  for (int i = 0; i < 75; ++i) t.put(new TrackedKey(keyName(i).c_str()), new TrackedValue(i));
  EXPECT_EQ(t.getCapacity(), 101);
  t.put(new TrackedKey("k75"), new TrackedValue(75));
  EXPECT_EQ(t.getCapacity(), 202);
  EXPECT_EQ(t.size(), 76);
  for (int i = 0; i < 76; ++i) EXPECT_EQ(valueOf(t, keyName(i).c_str()), i);
  // Replacing an existing key does not count as a new pair.
  CHashtable u(4, 0.75, false);
  CStringHashCode a("a"), b("b"), c("c");
  u.put(&a, &a);
  u.put(&b, &b);
  u.put(&c, &c);
  EXPECT_EQ(u.getCapacity(), 4);
  u.put(&c, &a);
  EXPECT_EQ(u.getCapacity(), 4);
}

TEST_F(HashtableTest, CollidingKeysAreFoundAndRemovedIndependently) {
  auto [first, second] = collidingKeys(101);
  CHashtable t(101, 0.75, true);
  t.put(new TrackedKey(first.c_str()), new TrackedValue(1));
  t.put(new TrackedKey(second.c_str()), new TrackedValue(2));
  CStringHashCode k1{CXString(first)}, k2{CXString(second)};
  ASSERT_EQ(t.slotOf(&k1), t.slotOf(&k2));
  EXPECT_EQ(t.slotSize(t.slotOf(&k1)), 2);
  EXPECT_EQ(valueOf(t, first.c_str()), 1);
  EXPECT_EQ(valueOf(t, second.c_str()), 2);

  EXPECT_TRUE(t.remove(&k1));
  EXPECT_FALSE(t.contains(&k1));
  EXPECT_EQ(valueOf(t, second.c_str()), 2);
  EXPECT_FALSE(t.remove(&k1));

  t.put(new TrackedKey(first.c_str()), new TrackedValue(3));
  EXPECT_TRUE(t.remove(&k2));
  EXPECT_EQ(valueOf(t, first.c_str()), 3);
  EXPECT_EQ(t.size(), 1);
}

TEST_F(HashtableTest, KeysKeepInsertionOrderThroughGrowthAndRemoval) {
  CHashtable t(3, 0.75, true);
  const char* names[] = {"zeta", "alpha", "mid", "beta", "omega", "x"};
  for (int i = 0; i < 6; ++i) t.put(new TrackedKey(names[i]), new TrackedValue(i));
  EXPECT_GT(t.getCapacity(), 3);
  CStringHashCode mid("mid");
  t.remove(&mid);
  t.put(new TrackedKey("mid"), new TrackedValue(9));
  const char* expected[] = {"zeta", "alpha", "beta", "omega", "x", "mid"};
  const CXVector* keys = t.getKeys();
  ASSERT_EQ(keys->size(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(keys->elementAt(i)->toString().str(), expected[i]);
}

TEST_F(HashtableTest, OwningTableDeletesOnRemoveReplaceClearAndDestruction) {
  {
    CHashtable t(11, 0.75, true);
    t.put(new TrackedKey("a"), new TrackedValue(1));
    t.put(new TrackedKey("b"), new TrackedValue(2));
    EXPECT_EQ(g_live, 4);
    // Replacing: the old value and the duplicate key go, the stored key stays.
    t.put(new TrackedKey("a"), new TrackedValue(3));
    EXPECT_EQ(g_live, 4);
    EXPECT_EQ(valueOf(t, "a"), 3);
    // Putting the same value again must not delete it.
    CStringHashCode a("a");
    CXObject* current = t.get(&a);
    CXObject* storedKey = t.getKeys()->elementAt(0);
    t.put(storedKey, current);
    EXPECT_EQ(valueOf(t, "a"), 3);
    EXPECT_EQ(g_live, 4);
    // Removing with the stored key object itself.
    EXPECT_TRUE(t.remove(storedKey));
    EXPECT_EQ(g_live, 2);
    t.put(new TrackedKey("c"), new TrackedValue(4));
    t.clear();
    EXPECT_EQ(g_live, 0);
    EXPECT_TRUE(t.isEmpty());
    EXPECT_EQ(t.getKeys()->size(), 0);
    t.put(new TrackedKey("d"), new TrackedValue(5));
    auto* selfValued = new TrackedKey("self");
    t.put(selfValued, selfValued);
  }
  EXPECT_EQ(g_live, 0);
}

TEST_F(HashtableTest, DetachHandsThePairBack) {
  CHashtable t(11, 0.75, true);
  auto* key = new TrackedKey("k");
  t.put(key, new TrackedValue(7));
  std::unique_ptr<CXObject> value(t.detach(key));
  std::unique_ptr<CXObject> keyOwner(key);
  EXPECT_EQ(static_cast<TrackedValue*>(value.get())->value, 7);
  EXPECT_FALSE(t.contains(key));
  EXPECT_EQ(t.detach(key), nullptr);
}

TEST_F(HashtableTest, NonOwningTableDeletesNothing) {
  TrackedKey k("k");
  TrackedValue v1(1), v2(2);
  {
    CHashtable t(11, 0.75, false);
    t.put(&k, &v1);
    t.put(&k, &v2);
    EXPECT_EQ(t.get(&k), &v2);
    EXPECT_TRUE(t.remove(&k));
    t.put(&k, &v1);
    CHashtable copy(t);
    EXPECT_EQ(copy.get(&k), &v1);
    t.clear();
    t.put(&k, &v1);
  }
  EXPECT_EQ(g_live, 3);
  EXPECT_EQ(v1.value, 1);
}

TEST_F(HashtableTest, NullKeysAreRefused) {
  CHashtable t;
  TrackedValue v(1);
  EXPECT_FALSE(t.put(nullptr, &v));
  EXPECT_EQ(t.get(nullptr), nullptr);
  EXPECT_FALSE(t.contains(nullptr));
  EXPECT_FALSE(t.remove(nullptr));
  EXPECT_EQ(t.slotOf(nullptr), -1);
  EXPECT_EQ(t.size(), 0);
}

TEST_F(HashtableTest, DegenerateShapesStillWork) {
  CHashtable t(0, 0.0, true);
  for (int i = 0; i < 50; ++i) t.put(new CInteger(i), new CInteger(i));
  EXPECT_EQ(t.size(), 50);
  EXPECT_LE(t.getCapacity(), 128);
  CInteger k(49);
  EXPECT_TRUE(t.contains(&k));
}

TEST_F(HashtableTest, OwningCopiesAreDeepAndIndependent) {
  auto original = std::make_unique<CHashtable>(5, 0.75, true);
  original->put(new TrackedKey("a"), new TrackedValue(1));
  original->put(new TrackedKey("b"), new TrackedValue(2));
  std::unique_ptr<CHashtable> cloned(static_cast<CHashtable*>(original->clone()));
  CHashtable copied(*original);
  CHashtable assigned(3, 0.5, false);
  TrackedValue outside(0);
  TrackedKey outsideKey("z");
  assigned.put(&outsideKey, &outside);
  assigned = *original;
  EXPECT_TRUE(assigned.isOwner());
  EXPECT_EQ(g_live, 2 + 4 * 4);
  CStringHashCode b("b");
  EXPECT_NE(cloned->get(&b), original->get(&b));
  original.reset();
  for (CHashtable* t : {cloned.get(), &copied, &assigned}) {
    EXPECT_EQ(valueOf(*t, "a"), 1);
    EXPECT_EQ(valueOf(*t, "b"), 2);
    EXPECT_EQ(t->getKeys()->elementAt(0)->toString().str(), "a");
    EXPECT_EQ(t->getCapacity(), 5);
  }
  CHashtable& alias = assigned;
  assigned = alias;
  EXPECT_EQ(valueOf(assigned, "b"), 2);
}

TEST_F(HashtableTest, OwningCopySkipsKeysThatCannotBeCloned) {
  CHashtable t(11, 0.75, true);
  t.put(new TrackedKey("v"), new Uncloneable());
  t.put(new Uncloneable(), new TrackedValue(2));
  CHashtable copy(t);
  EXPECT_EQ(copy.size(), 1);
  CStringHashCode v("v");
  EXPECT_TRUE(copy.contains(&v));
  EXPECT_EQ(copy.get(&v), nullptr);
}
