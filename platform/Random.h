#pragma once
// The runtime's pseudo-random generator: a 32-bit linear congruential generator whose whole
// state is RandSeed, so a test can set the seed and get the same numbers again.

#include <cstdint>

namespace platform {

extern uint32_t RandSeed;

// Seeds the generator from the wall clock.
void Randomize();
// A number from 0 to Range - 1; 0 when Range is 0 or negative.
int Random(int range);
// A number from 0 up to but not including 1.
double Random();

}  // namespace platform
