#include "pattern/pattern_random.h"

namespace fw::PatternRandom {
namespace {
uint32_t g_state = 0;
}  // namespace

void seed(uint32_t s) {
    g_state = s;
}

int32_t next() {
    g_state = g_state * 214013u + 2531011u;  // unsigned: wraps modulo 2^32
    return static_cast<int32_t>((g_state >> 16) & 0x7FFF);
}

uint32_t state() {
    return g_state;
}

}  // namespace fw::PatternRandom
