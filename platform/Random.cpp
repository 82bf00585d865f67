#include "platform/Random.h"

#include <chrono>

namespace platform {

uint32_t RandSeed = 0;

namespace {

uint32_t Next() {
  RandSeed = RandSeed * 134775813u + 1u;
  return RandSeed;
}

}  // namespace

void Randomize() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  RandSeed = static_cast<uint32_t>(ns ^ (ns >> 32));
}

int Random(int range) {
  const uint32_t next = Next();
  if (range <= 0) return 0;
  // The high bits of the product: the generator's low bits are its weakest.
  return static_cast<int>((static_cast<uint64_t>(next) * static_cast<uint64_t>(range)) >> 32);
}

double Random() {
  return static_cast<double>(Next()) / 4294967296.0;
}

}  // namespace platform
