// Queues, tokenizer, string arrays, pairs, geometry, versions, random draws and whole-file replacement.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "foundation/atomic_file.h"
#include "foundation/geometry.h"
#include "foundation/quene.h"
#include "foundation/tokenizer.h"
#include "foundation/xpair.h"
#include "foundation/xrandom.h"
#include "foundation/xversion.h"
#include "platform/clock.h"

namespace {

int g_alive = 0;
class Counted : public CXObject {
 public:
  explicit Counted(int v) : value(v) { ++g_alive; }
  ~Counted() override { --g_alive; }
  int value;
};

int valueOf(CXObject* o) { return static_cast<Counted*>(o)->value; }

}  // namespace

TEST(Queues, FifoAndLifoOrder) {
  Counted a(1), b(2), c(3);
  CFifoQuene fifo;
  CLifoQuene lifo;
  for (Counted* x : {&a, &b, &c}) {
    fifo.push(x);
    lifo.push(x);
  }
  EXPECT_EQ(valueOf(fifo.peek()), 1);
  EXPECT_EQ(valueOf(lifo.peek()), 3);
  EXPECT_EQ(valueOf(fifo.pop()), 1);
  EXPECT_EQ(valueOf(lifo.pop()), 3);
  EXPECT_EQ(valueOf(lifo.pop()), 2);
  fifo.clear();
  EXPECT_EQ(fifo.pop(), nullptr);
  EXPECT_FALSE(fifo.push(nullptr));
  EXPECT_EQ(fifo.size(), 0);
}

TEST(Queues, OwningQueuesDeleteWhatIsLeft) {
  g_alive = 0;
  {
    CXFifoQuene fifo;
    CXLifoQuene lifo;
    for (int i = 0; i < 3; ++i) {
      fifo.push(new Counted(i));
      lifo.push(new Counted(10 + i));
    }
    std::unique_ptr<CXObject> taken(fifo.pop());
    EXPECT_EQ(valueOf(taken.get()), 0);
    taken.reset(lifo.pop());
    EXPECT_EQ(valueOf(taken.get()), 12);
    lifo.clear();
    EXPECT_EQ(g_alive, 3);
    CQuene* base = &fifo;
    EXPECT_TRUE(base->isOwner());
    EXPECT_FALSE(base->isLifo());
  }
  EXPECT_EQ(g_alive, 0);
}

TEST(Tokenizer, SkipsRunsOfDelimiters) {
  CStringTokenizer t("  a,,b c,", ", ");
  EXPECT_EQ(t.countTokens(), 3);
  EXPECT_TRUE(t.hasMoreTokens());
  EXPECT_EQ(t.nextToken().str(), "a");
  EXPECT_EQ(t.nextToken().str(), "b");
  EXPECT_EQ(t.countTokens(), 1);
  EXPECT_EQ(t.nextToken().str(), "c");
  EXPECT_FALSE(t.hasMoreTokens());
  EXPECT_EQ(t.nextToken().str(), "");

  CStringTokenizer change("k=v;x=y", "=");
  EXPECT_EQ(change.nextToken().str(), "k");
  EXPECT_EQ(change.nextToken(";").str(), "=v");
  EXPECT_EQ(change.nextToken().str(), "x=y");

  CStringTokenizer noDelimiters("whole text", "");
  EXPECT_EQ(noDelimiters.nextToken().str(), "whole text");
}

TEST(StringArray, EditAndJoin) {
  CStringArray a = CStringArray::split("one two  three", " ");
  EXPECT_EQ(a.getAt(3).str(), "");
  EXPECT_TRUE(a.insertAt(0, "zero"));
  EXPECT_FALSE(a.insertAt(9, "x"));
  EXPECT_TRUE(a.removeAt(2));
  EXPECT_FALSE(a.removeAt(3));
  EXPECT_EQ(a.join(", ").str(), "zero, one, three");
}

TEST(Pairs, TextPairOwnsItsCopy) {
  Counted target(5);
  auto pair = std::make_unique<CXPair>(CXString("name"), &target);
  CXPair copy(*pair);
  CXPair assigned;
  assigned = *pair;
  pair.reset();
  EXPECT_EQ(copy.getString().str(), "name");
  EXPECT_EQ(static_cast<CXString*>(copy.first)->str(), "name");
  EXPECT_EQ(static_cast<CXString*>(assigned.first)->str(), "name");
  EXPECT_EQ(copy.second, &target);
}

TEST(Geometry, RectangleOperations) {
  CXRect r(0, 0, 10, 10);
  EXPECT_TRUE(r.contains(0, 0));
  EXPECT_TRUE(r.contains(CXPoint(9, 9)));
  EXPECT_FALSE(r.contains(10, 5));
  EXPECT_EQ(r.intersection(CXRect(5, 5, 20, 20)), CXRect(5, 5, 10, 10));
  EXPECT_TRUE(r.intersection(CXRect(10, 0, 20, 10)).isEmpty());
  EXPECT_EQ(r.united(CXRect(-5, 2, 3, 12)), CXRect(-5, 0, 10, 12));
  EXPECT_EQ(r.united(CXRect()), r);
  CXRect flipped(10, 8, 2, 1);
  flipped.normalize();
  EXPECT_EQ(flipped, CXRect(2, 1, 10, 8));
}

TEST(Geometry, ExtremeCoordinatesSaturate) {
  CXRect wide(INT32_MIN, 0, INT32_MAX, 1);
  EXPECT_EQ(wide.width(), INT32_MAX);
  wide.offset(INT32_MAX, 0);
  EXPECT_EQ(wide.right, INT32_MAX);
  EXPECT_EQ(CXRect(CXPoint(INT32_MAX, 0), CXSize(5, 5)).right, INT32_MAX);
  EXPECT_EQ(CXPoint(INT32_MIN, 0) - CXPoint(1, 0), CXPoint(INT32_MIN, 0));
}

TEST(Version, ParsePrintCompare) {
  CXVersion v(CXString("1.2.3"));
  EXPECT_EQ(v.getType(), 0);
  EXPECT_EQ(v.getMajor(), 1);
  EXPECT_EQ(v.getMinor(), 2);
  EXPECT_EQ(v.getBuild(), 3);
  EXPECT_EQ(v.toString().str(), "1.2.3");
  CXVersion typed(CXString("4.1.2.3"));
  EXPECT_EQ(typed.getType(), 4);
  EXPECT_EQ(typed.toString().str(), "4.1.2.3");
  EXPECT_EQ(CXVersion(CXString("junk")).toString().str(), "0.0.0");
  EXPECT_EQ(CXVersion(CXString("1.2.3.4.5")).getBuild(), 4);

  CXVersion older(0, 1, 2, 2), newer(0, 1, 10, 0);
  EXPECT_TRUE(v.verify(&older));
  EXPECT_TRUE(v.verify(&v));
  EXPECT_FALSE(v.verify(&newer));
  EXPECT_TRUE(v.verify(nullptr));
  EXPECT_LT(v.compare(&newer), 0);
}

TEST(Version, CurrentVersionIsTheBuildVersion) {
  const CXVersion* current = CXVersion::getCurrentVersion();
  ASSERT_NE(current, nullptr);
  CXVersion expected{CXString(TARNVIK_VERSION_STRING)};
  EXPECT_TRUE(current->equals(&expected));
  EXPECT_EQ(current->toString().str(), expected.toString().str());
  EXPECT_TRUE(current->verify(current));
}

class RandomTest : public ::testing::Test {
 protected:
  void SetUp() override { tarnvik::setEngineClock(&clock_); }
  void TearDown() override { tarnvik::setEngineClock(nullptr); }
  tarnvik::VirtualClock clock_{1000};
};

TEST_F(RandomTest, GeneratorIsTheFifteenBitRuntimeSequence) {
  CXRandom::seed(1);
  EXPECT_EQ(CXRandom::rand(), 41);
  EXPECT_EQ(CXRandom::rand(), 18467);
  EXPECT_EQ(CXRandom::rand(), 6334);
  EXPECT_EQ(CXRandom::rand(), 26500);
  EXPECT_EQ(CXRandom::draw(), 19169 + 1000);  // the fifth value plus the clock
}

TEST_F(RandomTest, RangesAndZeroCount) {
  CXRandom::seed(7);
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    clock_.advance(16);
    int v = CXRandom::random(10);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 10);
    seen.insert(v);
    int w = CXRandom::random(5, 3);
    ASSERT_GE(w, 5);
    ASSERT_LE(w, 7);
  }
  EXPECT_EQ(seen.size(), 10u);
  EXPECT_EQ(CXRandom::random(0), 0);
  EXPECT_EQ(CXRandom::random(1), 0);
  EXPECT_EQ(CXRandom::random(5, 0), 5);
  EXPECT_EQ(CXRandom::random(-3, 1), -3);
}

TEST_F(RandomTest, SameSeedAndClockRepeatTheDraws) {
  std::vector<int> first, second;
  CXRandom::seed(1234);
  clock_.set(500);
  for (int i = 0; i < 20; ++i) first.push_back(CXRandom::random(100));
  CXRandom::seed(1234);
  clock_.set(500);
  for (int i = 0; i < 20; ++i) second.push_back(CXRandom::random(100));
  EXPECT_EQ(first, second);
}

TEST_F(RandomTest, LateClockGivesNegativeRemaindersWithoutOverflow) {
  CXRandom::seed(99);
  int next = CXRandom::rand();
  // Make the sum exactly the smallest 32-bit value.
  clock_.set(0x80000000u - static_cast<uint32_t>(next));
  CXRandom::seed(99);
  EXPECT_EQ(CXRandom::draw(), INT32_MIN);
  CXRandom::seed(99);
  EXPECT_EQ(CXRandom::random(-1), 0);
  CXRandom::seed(99);
  EXPECT_EQ(CXRandom::random(INT_MAX, 10), INT_MAX + (INT32_MIN % 10) );
  clock_.set(0xFFFFFFF0u);
  for (int i = 0; i < 100; ++i) {
    int v = CXRandom::random(10);
    ASSERT_GT(v, -10);
    ASSERT_LT(v, 10);
  }
}

TEST(AtomicFile, ReplacesWholeKeepsAnExactModeAndLeavesNothingBehindOnFailure) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tarnvik-atomic-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string file = (dir / "f.txt").string();
  auto content = [&] {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  std::string error;
  ASSERT_TRUE(tarnvik::replaceFileAtomically(file, "first", 5, 0644, false, error)) << error;
  ASSERT_TRUE(tarnvik::replaceFileAtomically(file, "2nd", 3, 0600, true, error)) << error;
  EXPECT_EQ(content(), "2nd");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  // A folder that does not exist: refused with a reason, nothing written anywhere.
  EXPECT_FALSE(tarnvik::replaceFileAtomically((dir / "no/such/f.txt").string(), "x", 1, 0644, false, error));
  EXPECT_EQ(error.rfind("cannot create a temporary file beside", 0), 0u) << error;
  // A folder in the way of the rename: the temporary file is removed again.
  fs::create_directories(dir / "taken");
  EXPECT_FALSE(tarnvik::replaceFileAtomically((dir / "taken").string(), "x", 1, 0644, false, error));
  EXPECT_EQ(error.rfind("cannot write", 0), 0u) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2) << "only f.txt and taken";
  fs::remove_all(dir);
}
