// PatternRandom: the one random source of the frost pattern.
//
// A 32-bit linear congruential generator (state * 214013 + 2531011, result bits 16..30).
// Presets are reproduced bit for bit from RandomSeed, so this rule is fixed forever; never
// replace it with a platform generator. The state is module-wide and unguarded: the pattern
// is grown on the host's calling thread only, and the walk re-seeds it before every use.
#pragma once

#include <cstdint>

namespace fw::PatternRandom {

void seed(uint32_t s);
// Next value, 0 ... 32767.
int32_t next();
// Current state, for tests.
uint32_t state();

}  // namespace fw::PatternRandom
