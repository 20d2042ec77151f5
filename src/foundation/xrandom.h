// CXRandom: the engine's shared random draws (a 15-bit generator plus the engine clock).
#pragma once

#include <cstdint>
#include <vector>

class CXRandom {
 public:
  // r mod n (remainder of truncating division, so it has the sign of r); 0 when n is 0.
  static int random(int n);
  // a + (r mod n): n is a count, not an upper bound. With n == 0 the result is a.
  static int random(int a, int n);
  // Restarts the generator (the player's --seed); the same seed and clock give the same draws.
  static void seed(unsigned value);
  // The generator's state, kept by saves (seed() puts one back).
  static uint32_t state();
  // One value of the generator alone, 0..32767, as the platform runtime's rand() gives it.
  static int rand();
  // r = rand() + the engine clock's milliseconds, summed as a signed 32-bit integer.
  static int32_t draw();

  static constexpr int kMaxPlenty = 10000;
  // The list draw: count values first + (r mod n) (count 0 means n - first); with unique no value
  // repeats. False, and nothing drawn, for a count above kMaxPlenty, or a unique draw that asks for
  // more values than the range holds (it could never finish).
  static bool randomVector(int first, int n, int count, bool unique, std::vector<int>& out);
};
