// tarnvik: the player. The host program arrives with the application structure; for now it says so.
#include <cstdio>

int main() {
  std::printf("tarnvik: the player is not built yet; the engine library and its tests are.\n");
  return 0;
}
