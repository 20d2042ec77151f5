// Steady-state statements allocate no heap memory (global operator new counts while a test asks, and
// the small-object pool counts what it serves).
#include <atomic>
#include <cstdlib>
#include <new>

#include "foundation/small_pool.h"
#include "runtime/script_fixture.h"

namespace {
std::atomic<long> g_allocations{0};
std::atomic<bool> g_counting{false};
}  // namespace

void* operator new(std::size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

class ScriptAllocation : public ScriptTest {
 protected:
  long allocationsOf(CMC_Behaviour* b, int runs) {
    b->run(nullptr, nullptr, false);  // warm: slots and result variables are made on first use
    g_allocations = 0;
    const size_t pooled = tarnvik::pool::usage().served;
    g_counting = true;
    for (int i = 0; i < runs; ++i) b->run(nullptr, nullptr, false);
    g_counting = false;
    return g_allocations.load() + static_cast<long>(tarnvik::pool::usage().served - pooled);
  }
};

TEST_F(ScriptAllocation, CountingAndExpressionStatementsAllocateNothing) {
  integer("COUNT", 0);
  integer("A", 3);
  integer("B", 4);
  integer("C", 5);
  integer("R", 0);
  CMC_Behaviour* body = behaviour("BODY", "COUNT^ADD(1);R^SET([A*B+C]);");
  EXPECT_EQ(allocationsOf(body, 1000), 0);
  EXPECT_EQ(intValue("COUNT"), 1001);
  EXPECT_EQ(intValue("R"), 17);
}

TEST_F(ScriptAllocation, LoopOverABodyAllocatesNothing) {
  integer("COUNT", 0);
  behaviour("BODY", "COUNT^ADD(1);");
  CMC_Behaviour* loop = behaviour("LOOPER", "@LOOP(BODY,0,500,1);");
  EXPECT_EQ(allocationsOf(loop, 20), 0);
  EXPECT_EQ(intValue("COUNT"), 21 * 500);
}

TEST_F(ScriptAllocation, ConditionsAndMethodResultsAllocateNothing) {
  integer("N", 0);
  number("X", 1.5);
  behaviour("INCR", "N^INC();");
  CMC_Behaviour* b = behaviour("CHECKER", "@IF(N,\"<\",1000000,INCR,\"\");X^SET(X^GET());N^ADD(X^ROUND());");
  EXPECT_EQ(allocationsOf(b, 200), 0);
  EXPECT_EQ(intValue("N"), 201 * 3);
  // The counter does see allocations: declaring a temporary makes an object on every run.
  EXPECT_GT(allocationsOf(behaviour("MAKER", "@INT(T,1);"), 5), 0);
}

}  // namespace
