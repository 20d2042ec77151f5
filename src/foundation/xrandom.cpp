// CXRandom draws.
#include "foundation/xrandom.h"

#include <atomic>
#include <cstdlib>
#include <unordered_set>

#include "foundation/log.h"
#include "platform/clock.h"

namespace {

// The linear congruential generator of the platform runtime the games were made for: a 15-bit
// range, so r stays non-negative until the clock passes 2^31 - 32768 ms, on every host library.
std::atomic<uint32_t> g_state{1};

}  // namespace

void CXRandom::seed(unsigned value) { g_state.store(value); }

uint32_t CXRandom::state() { return g_state.load(); }

int CXRandom::rand() {
  uint32_t state = g_state.load(std::memory_order_relaxed);
  uint32_t next;
  do {
    next = state * 214013u + 2531011u;
  } while (!g_state.compare_exchange_weak(state, next, std::memory_order_relaxed));
  return static_cast<int>((next >> 16) & 0x7FFFu);
}

int32_t CXRandom::draw() {
  uint32_t sum = static_cast<uint32_t>(rand()) + tarnvik::engineClock().now();
  return static_cast<int32_t>(sum);
}

int CXRandom::random(int n) {
  int32_t r = draw();
  // n == -1 would overflow for the smallest r; the remainder is 0 for every r anyway.
  if (n == 0 || n == -1) return 0;
  return r % n;
}

int CXRandom::random(int a, int n) {
  if (n == 0) {
    draw();
    return a;
  }
  int remainder = random(n);
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(remainder));
}

bool CXRandom::randomVector(int first, int n, int count, bool unique, std::vector<int>& out) {
  out.clear();
  if (count == 0) count = static_cast<int>(static_cast<int64_t>(n) - first);
  if (count > kMaxPlenty || count < 0) {
    TLOG_WARN("Arguments error: Random::getPlenty( ) with count " << count);
    return false;
  }
  int64_t range = n == 0 ? 1 : std::llabs(static_cast<int64_t>(n));
  if (unique && count > range) {
    TLOG_WARN("RAND^GETPLENTY: " << count << " different values asked from a range of " << range);
    return false;
  }
  std::unordered_set<int> seen;
  out.reserve(static_cast<size_t>(count));
  while (static_cast<int>(out.size()) < count) {
    int value = random(first, n);
    if (unique && !seen.insert(value).second) continue;
    out.push_back(value);
  }
  return true;
}
