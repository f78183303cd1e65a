// Vector lanes shared by the shading and the rasteriser: 4 floats or ints in SSE2 registers,
// 8 in AVX2 ones (only in files compiled for AVX2). Internal linkage, so that no AVX2 copy
// of a function can stand in for the SSE2 one at link time.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>

namespace fw::prismcore {
namespace {  // NOLINT: internal linkage on purpose, see above

template <int N>
struct Lanes;
template <>
struct Lanes<4> {
    using F = float __attribute__((vector_size(16)));
    using I = int32_t __attribute__((vector_size(16)));
    static F Sqrt(F v) { return _mm_sqrt_ps(v); }
    // One bit per lane of a comparison result (all bits set or none).
    static int Signs(I m) { return _mm_movemask_ps(__m128(m)); }
};
#ifdef __AVX2__
template <>
struct Lanes<8> {
    using F = float __attribute__((vector_size(32)));
    using I = int32_t __attribute__((vector_size(32)));
    static F Sqrt(F v) { return _mm256_sqrt_ps(v); }
    static int Signs(I m) { return _mm256_movemask_ps(__m256(m)); }
};
#endif

// Loads and stores at any alignment: tile buffers and callers' arrays need not be aligned.
template <class V, class T>
V LoadLanes(const T* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V, class T>
void StoreLanes(T* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace
}  // namespace fw::prismcore
